#include "calib/SamBaseCalib.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "bus/Interface.h"
#include "bus/Link.h"
#include "core/DebugLog.h"
#include "core/ErrorReport.h"
#include "core/Session.h"
#include "core/TextFormat.h"
#include "platform/Clock.h"
#include "protocol/ModuleList.h"
#include "protocol/VornProt.h"
#include "protocol/VornProtCommands.h"
#include "ui/Ui.h"

namespace {

struct SamBaseRecords {
  SamAdcStatus adc[2];
};

constexpr int kWriteWaitMs = 200;
constexpr int kSourceWaitMs = 1000;

int Byte(const CanMsg& m, int n) { return int(m.data[n] & 0xFF); }
int Word(const CanMsg& m, int n) { return Byte(m, n) | Byte(m, n + 1) << 8; }

int SubCommandByte(int adc, int subCommand) { return (subCommand & 0x7F) | (adc ? 0x80 : 0); }

}  // namespace

SamAdcStatus& SamBaseCalib_Status(int adc) {
  return Session_Part<SamBaseRecords>().adc[adc ? 1 : 0];
}

void SamBaseCalib_ClearStatus() {
  SamBaseCalib_Status(0) = SamAdcStatus{};
  SamBaseCalib_Status(1) = SamAdcStatus{};
}

void SamBaseCalib_TakeReply(SamAdcStatus& r, int subCommand, const CanMsg& reply) {
  switch (subCommand) {
    case SAMBASE_CLIPPING:
    case SAMBASE_LOW_PAIR:
    case SAMBASE_HIGH_PAIR:
    case SAMBASE_STATUS:
      r.status = uint8_t(Byte(reply, 1) & SAMBASE_ALL_SET);
      r.actualResult = uint16_t(Word(reply, 2));
      break;
    case SAMBASE_LOW_REFERENCE:
    case SAMBASE_HIGH_REFERENCE:
      r.inputMode = (Byte(reply, 1) & 0x10) ? 1 : (Byte(reply, 1) & 0x20) ? 2 : 0;
      break;
    default:
      return;
  }
  switch (subCommand) {
    case SAMBASE_CLIPPING:
      r.zeroClipping = int16_t(Word(reply, 4));
      break;
    case SAMBASE_LOW_PAIR:
      r.lowActual = int16_t(Word(reply, 4));
      r.lowWanted = int16_t(Word(reply, 6));
      break;
    case SAMBASE_HIGH_PAIR:
      r.highActual = int16_t(Word(reply, 4));
      r.highWanted = int16_t(Word(reply, 6));
      break;
    case SAMBASE_STATUS:
      r.inputMask = uint16_t(Word(reply, 4));
      r.available = r.inputMask > 0;
      break;
    case SAMBASE_LOW_REFERENCE:
    case SAMBASE_HIGH_REFERENCE: {
      const uint32_t bits = uint32_t(Word(reply, 2)) | uint32_t(Word(reply, 4)) << 16;
      float reference = 0;
      std::memcpy(&reference, &bits, sizeof reference);
      const uint16_t digits = uint16_t(Word(reply, 6));
      if (subCommand == SAMBASE_LOW_REFERENCE) {
        r.lowReference = reference;
        r.lowReferenceDigits = digits;
      } else {
        r.highReference = reference;
        r.highReferenceDigits = digits;
      }
      break;
    }
  }
}

int SamBaseCalib_Read(const ModuleRec& module, int adc, int subCommand) {
  SamAdcStatus& record = SamBaseCalib_Status(adc);
  CanMsg reply;
  if (!VornProt_RequestMessage(reply, module.node, 8, VORN_CMD_BASE_CALIB_READ,
                               {SubCommandByte(adc, subCommand), record.inputMask & 0xFF,
                                (record.inputMask >> 8) & 0xFF, 0, 0, 0, 0})) {
    return 0;
  }
  SamBaseCalib_TakeReply(record, subCommand, reply);
  return 1;
}

int SamBaseCalib_Write(const ModuleRec& module, int adc, int subCommand, int first, int second) {
  CanMsg msg;
  return VornProt_SendMessage(msg, module.node, 8, VORN_CMD_BASE_CALIB_WRITE,
                              {SubCommandByte(adc, subCommand), 0, 0, first & 0xFF, (first >> 8) & 0xFF,
                               second & 0xFF, (second >> 8) & 0xFF}) == 0
             ? 1
             : 0;
}

CanMsg SamBaseCalib_CalibratorFrame(int n) {
  CanMsg msg;
  msg.id = Wire::CANOPEN_SDO_REQUEST_BASE + SAMBASE_SOURCE_NODE;
  msg.len = 8;
  // An expedited download of one byte to the source's object 0x3200.0.
  const int bytes[8] = {Wire::CANOPEN_SDO_DOWNLOAD_1BYTE, Wire::VORN_REFSOURCE_OBJECT & 0xFF,
                        Wire::VORN_REFSOURCE_OBJECT >> 8, 0x00, Wire::VORN_REFSOURCE_SET + n, 0x00, 0x00, 0x00};
  for (int i = 0; i < 8; ++i) msg.data[i] = uint32_t(bytes[i] & 0xFF);
  return msg;
}

int SamBaseCalib_SendCalibrator(int n) {
  // The reference source hangs on the CAN adapter's bus; no other interface reaches it.
  Link* adapter = Interface_Link(kInterfacePcanUsb);
  if (!adapter || !InterfaceActive() || GetInterfaceType() != kInterfacePcanUsb) {
    DebugLog("SamBaseCalib_SendCalibrator(%d): the CAN adapter is not the active interface", n);
    return 0;
  }
  const LinkResult result = adapter->send(SamBaseCalib_CalibratorFrame(n));
  if (!result.ok()) {
    DebugLog("SamBaseCalib_SendCalibrator(%d): %s", n, result.text.c_str());
    return 0;
  }
  return 1;
}

std::string SamBaseCalib_InputsText(const SamAdcStatus& record) {
  std::string text;
  for (int bit = 0; bit < 12; ++bit)
    if (record.inputMask & (1u << bit)) text += Text_Format("%d ", bit);
  return text;
}

std::string SamBaseCalib_ReferenceText(const SamAdcStatus& record, bool high) {
  const double value = high ? record.highReference : record.lowReference;
  const char* unit = record.inputMode == 1 ? "Volt" : record.inputMode == 2 ? "mA" : "";
  return Text_Format("%.1f %s", value, unit);
}

bool SamBaseCalib_ParseField(const std::string& text, int& value) {
  const char* start = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long number = std::strtol(start, &end, 10);
  if (end == start || errno == ERANGE || number < -32768 || number > 32767) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end) return false;
  value = int(number);
  return true;
}

// ---- automatic calibration --------------------------------------------------------------

void SamAutoCalib::start(int adc) {
  adc_ = adc ? 1 : 0;
  state_ = 1;
}

void SamAutoCalib::fail(const char* text) {
  ShowErrorBox("%s", text);
  failed_ = true;
  state_ = 9000;
}

// States 25 and 45: the reference source's point must come out near the
// expected digits; then it becomes the pair's actual value.
bool SamAutoCalib::pairStep(const ModuleRec& module, bool high) {
  SamAdcStatus& r = SamBaseCalib_Status(adc_);
  // The result read now is both the one checked and the one stored.
  SamBaseCalib_Read(module, adc_, SAMBASE_STATUS);
  const int expected = high ? r.highReferenceDigits : r.lowReferenceDigits;
  const int actual = r.actualResult;
  if (actual < expected - SAMBASE_TOLERANCE || actual > expected + SAMBASE_TOLERANCE) {
    fail("Actual ADC result out of range or calibrator not connected!");
    return false;
  }
  if (high) {
    r.highActual = int16_t(actual);
    r.highWanted = int16_t(expected);
  } else {
    r.lowActual = int16_t(actual);
    r.lowWanted = int16_t(expected);
  }
  return true;
}

int SamAutoCalib::tick(const ModuleRec& module) {
  SamAdcStatus& r = SamBaseCalib_Status(adc_);
  auto write = [&](int sub, int first, int second) {
    SamBaseCalib_Write(module, adc_, sub, first, second);
    Clock_SleepMs(kWriteWaitMs);
  };
  auto source = [&](int n) {
    if (!SamBaseCalib_SendCalibrator(n)) {
      fail("Cannot send CAN message to calibrator!");
      return false;
    }
    Clock_SleepMs(kSourceWaitMs);
    return true;
  };

  switch (state_) {
    case 1: {
      const char* range = r.inputMode == 1 ? "0-10 V" : r.inputMode == 2 ? "0-20 mA" : nullptr;
      state_ = 5;
      if (range) {
        const std::string question = Text_Format(
            "Connect the VAR Eriz Ivirizaruz and\nconfigure analog inputs to %s range.", range);
        if (Ui_MessageBox(question, "SAM base calibration", UiButtons::OkCancel, UiIcon::Warning) ==
            UiAnswer::Cancel) {
          state_ = 0;
          return 1;
        }
      }
      return 0;
    }
    case 5:
      text_ = "Auto calibration starting...";
      failed_ = false;
      state_ = 10;
      return 0;
    case 10:
      write(SAMBASE_DISABLE, 0, 0);
      write(SAMBASE_RESET_PAIRS, 0, 0);
      write(SAMBASE_CLIPPING, 0, 0);
      SamBaseCalib_Read(module, adc_, SAMBASE_LOW_PAIR);
      SamBaseCalib_Read(module, adc_, SAMBASE_HIGH_PAIR);
      SamBaseCalib_Read(module, adc_, SAMBASE_CLIPPING);
      state_ = 12;
      return 0;
    case 12:
      state_ = 15;
      if (r.status & SAMBASE_ENABLED) fail("Failed to disable offset/gain correction!");
      return 0;
    case 15:
      text_ = "Offset/gain correction low...";
      state_ = 20;
      return 0;
    case 20:
      if (source(SAMBASE_SOURCE_LOW)) state_ = 25;
      return 0;
    case 25:
      if (pairStep(module, false)) state_ = 30;
      return 0;
    case 30:
      write(SAMBASE_LOW_PAIR, r.lowActual, r.lowWanted);
      SamBaseCalib_Read(module, adc_, SAMBASE_LOW_PAIR);
      state_ = 35;
      return 0;
    case 35:
      text_ = "Offset/gain correction high...";
      state_ = 40;
      return 0;
    case 40:
      if (source(SAMBASE_SOURCE_HIGH)) state_ = 45;
      return 0;
    case 45:
      if (pairStep(module, true)) state_ = 50;
      return 0;
    case 50:
      write(SAMBASE_HIGH_PAIR, r.highActual, r.highWanted);
      SamBaseCalib_Read(module, adc_, SAMBASE_HIGH_PAIR);
      state_ = 55;
      return 0;
    case 55:
      text_ = "Enabling offset/gain correction...";
      state_ = 60;
      return 0;
    case 60:
      write(SAMBASE_ENABLE, 0, 0);
      SamBaseCalib_Read(module, adc_, SAMBASE_HIGH_PAIR);
      state_ = 70;
      return 0;
    case 70:
      state_ = 75;
      if ((r.status & SAMBASE_ALL_SET) != SAMBASE_ALL_SET) fail("Failed to enable offset/gain correction!");
      return 0;
    case 75:
      text_ = "Zero offset clipping...";
      state_ = 80;
      return 0;
    case 80:
      if (source(SAMBASE_SOURCE_OFF)) {
        SamBaseCalib_Read(module, adc_, SAMBASE_STATUS);
        r.zeroClipping = int16_t(r.actualResult);
        state_ = 90;
      }
      return 0;
    case 90:
      write(SAMBASE_CLIPPING, r.zeroClipping, 0);
      SamBaseCalib_Read(module, adc_, SAMBASE_CLIPPING);
      state_ = 9000;
      return 0;
    case 9000:
      if (failed_) {
        ShowErrorBox("Calibration failed!");
        text_ = "Auto calibration error!";
      } else {
        text_ = "Auto calibration finished successfully.";
      }
      state_ = 0;
      return 1;
    default:
      state_ = 0;
      return 1;
  }
}
