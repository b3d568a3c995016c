// The calibrator and thermometer drivers against the simulated instruments:
// the commands on the line, the answers they accept, every failure text, and
// the time-outs on the program clock.
#include <optional>
#include <string>
#include <vector>

#include "calib/Calibrator.h"
#include "calib/MetraHit.h"
#include "calib/Testo.h"
#include "calib/VornCalib.h"
#include "core/TextFormat.h"
#include "calib/InstrumentFixture.h"
#include "platform/SerialPort.h"

namespace {

using Commands = std::vector<std::string>;
const std::string kAddr = "ADDR 15";

TEST(MetraHitNumber, MantissaBetweenATenthAndOneWithSignedExponent) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {5.0, "0.500000E+1"},     {10.0, "0.100000E+2"},   {-0.05, "-0.500000E-1"}, {0.0, "0.999999E-9"},
      {-1e-12, "0.999999E-9"},  {23.5, "0.235000E+2"},   {0.1, "0.100000E+0"},    {1e-5, "0.100000E-4"},
      {1234.5, "0.123450E+4"},  {-20.0, "-0.200000E+2"},
  };
  for (const auto& c : cases) EXPECT_EQ(MetraHit_FormatNumber(c.value), c.text) << c.value;
}

class CalibratorDriver : public InstrumentTest {};

TEST_F(CalibratorDriver, EachOutputTypeSendsItsCommands) {
  const struct {
    int calibrator, type;
    double value;
    int tcExternal;  // -1: no reference set
    double tcValue;
    int result;
    Commands commands;
    const char* error;
  } cases[] = {
      {1, -1, 0.0, -1, 0, 1, {}, ""},
      {2, -1, 0.0, -1, 0, 1, {kAddr, kAddr, "OUT OFF"}, ""},
      {1, 1, 0.0, -1, 0, 1, {kAddr, kAddr, "SOUR:VOLT:RANG 0.15E+2,VAL 0.999999E-9"}, ""},
      {1, 16, -7.25, -1, 0, 1, {kAddr, kAddr, "SOUR:VOLT:RANG 0.15E+2,VAL -0.725000E+1"}, ""},
      {1, 2, 12.0, -1, 0, 1, {kAddr, kAddr, "SOUR:CURR:ISOUR,RANG 0-24,VAL 0.120000E+2"}, ""},
      {1, 17, 50.0, -1, 0, 1, {kAddr, kAddr, "SOUR:VOLT:RANG 0.1E+2,VAL 0.500000E+2"}, ""},
      {1, 3, 100.0, 1, 23.5, 1,
       {kAddr, kAddr, "SET:TEMP:UNIT C", "SET:TEMP:COMP EXT", "SET:TEMP:EREF 0.235000E+2",
        "SOUR:TEMP:TC K::VAL 0.100000E+3"}, ""},
      {1, 13, 300.0, 0, 0, 1,
       {kAddr, kAddr, "SET:TEMP:UNIT C", "SET:TEMP:COMP INT", "SET:TEMP:EREF 0.999999E-9",
        "SOUR:TEMP:TC S::VAL 0.300000E+3"}, ""},
      {1, 6, 20.0, -1, 0, 1,
       {kAddr, kAddr, "SET:TEMP:UNIT C", "SET:TEMP:R_L 0.999999E-9", "SOUR:TEMP:RTD PT1000::VAL 0.200000E+2"}, ""},
      // The calibrator refuses a voltage beyond its range.
      {1, 1, 20.0, -1, 0, 0, {kAddr, kAddr, "SOUR:VOLT:RANG 0.15E+2,VAL 0.200000E+2"},
       "Metrahit 28c: ERR:RANGE\nThe command was:\nSOUR:VOLT:RANG 0.15E+2,VAL 0.200000E+2"},
      {2, 1, 5.0, -1, 0, 1, {kAddr, kAddr, "OUT VOLTAGE 5.000000"}, ""},
      {2, 13, -12.5, -1, 0, 1, {kAddr, kAddr, "OUT TCS -12.500000"}, ""},
      {2, 2, 12.0, -1, 0, 1, {kAddr, kAddr, "OUT CURRENT 12.000000"}, ""},
      {2, 3, 100.0, -1, 0, 1, {kAddr, kAddr, "OUT TCK 100.000000"}, ""},
      {2, 4, 0.5, -1, 0, 1, {kAddr, kAddr, "OUT TCJ 0.500000"}, ""},
      {2, 5, -20.0, -1, 0, 1, {kAddr, kAddr, "OUT PT100 -20.000000"}, ""},
      {2, 6, 850.0, -1, 0, 1, {kAddr, kAddr, "OUT PT1000 850.000000"}, ""},
      {2, 7, 60.0, -1, 0, 1, {kAddr, kAddr, "OUT NI100 60.000000"}, ""},
      {2, 8, 180.0, -1, 0, 1, {kAddr, kAddr, "OUT NI1000 180.000000"}, ""},
      {1, 10, 1.0, -1, 0, 0, {}, "Metrahit 28c: Unsupported output type 10"},
      {2, 10, 1.0, -1, 0, 0, {}, "Vorn Box: Unsupported output type 10"},
      {0, 1, 1.0, -1, 0, 0, {}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "calibrator " << c.calibrator << ", type " << c.type);
    SimSerialDevice& device = c.calibrator == 2 ? vornbox.device() : metrahit.device();
    if (c.tcExternal >= 0) {
      EXPECT_EQ(Calibrator_SetTcReference(c.calibrator, c.tcExternal, c.tcValue), 1);
    }
    EXPECT_EQ(Calibrator_SetOutput(c.calibrator, c.type, c.value), c.result);
    EXPECT_EQ(heard(device, c.commands.size()), c.commands);
    if (!c.result) {
      EXPECT_EQ(Calibrator_ErrorText(c.calibrator), c.error);
    }
  }
  EXPECT_EQ(Calibrator_SetTcReference(2, 1, 20.0), 0);
  // What the instruments were left at: the wired inputs see it.
  double level = 0;
  ASSERT_TRUE(metrahit.level(level));
  EXPECT_EQ(metrahit.output().function, "TEMP:RTD PT1000::");
  EXPECT_DOUBLE_EQ(level, 20.0);
  Calibrator_SetOutput(2, -1, 0.0);
  EXPECT_FALSE(vornbox.level(level));
}

TEST_F(CalibratorDriver, OffOnlyAddressesAndReportsEveryFault) {
  SimInstrumentFaults wrong;
  wrong.wrongCommand = "ADDR";
  wrong.wrongAnswer = "ERR:BUSY";
  SimInstrumentFaults silent, garbage, split, tooLong;
  silent.silent = true;
  garbage.garbage = true;
  split.splitBytes = 1;
  split.splitPauseMs = 2;
  tooLong.longAnswer = 3000;
  const std::string tail = "\nThe command was:\nADDR 15";
  const struct {
    const char* name;
    SimInstrumentFaults faults;
    int result;
    const char* error;  // "" = checked below
  } cases[] = {
      {"good", {}, 1, ""},
      {"silent", silent, 0, "Metrahit 28c: Timeout, no response from MetraHit"},
      {"wrong", wrong, 0, "Metrahit 28c: ERR:BUSY\nThe command was:\nADDR 15"},
      {"split", split, 1, ""},
      {"garbage", garbage, 0, ""},
      {"long", tooLong, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    faults(metrahit.device(), c.faults);
    expectSilence(c.faults.silent);
    const int64_t start = clock.nowMs();
    EXPECT_EQ(Calibrator_Off(1), c.result);
    if (c.faults.silent) {
      // Two unanswered addressings, each given up after 100 idle reads of 2 ms.
      EXPECT_EQ(clock.nowMs() - start, 400);
    }
    expectSilence(false);
    // A second addressing only after the first failed.
    const Commands expected = c.result ? Commands{kAddr} : Commands{kAddr, kAddr};
    EXPECT_EQ(heard(metrahit.device(), expected.size()), expected);
    const std::string error = Calibrator_ErrorText(1);
    if (*c.error) {
      EXPECT_EQ(error, c.error);
    }
    if (std::string(c.name) == "garbage") {
      EXPECT_EQ(error.compare(error.size() - tail.size(), tail.size(), tail), 0) << error;
      EXPECT_EQ(error.find("OK"), std::string::npos);
    }
    if (std::string(c.name) == "long") {
      // The answer is kept to 1023 characters; the rest does not spill into the next exchange.
      EXPECT_EQ(error.size(), std::string("Metrahit 28c: ").size() + 1023 + tail.size());
      faults(metrahit.device(), {});
      EXPECT_EQ(Calibrator_Off(1), 1);
      heard(metrahit.device(), 1);
    }
  }
}

TEST_F(CalibratorDriver, OnlyItsOwnAddressOrTheBroadcastIsAnswered) {
  vornbox.setAddress(3);
  const struct {
    int addr, result;
  } cases[] = {{3, 1}, {7, 0}, {15, 1}};
  for (const auto& c : cases) {
    Option_SetInt("VORNBOX1_ADDR", c.addr);
    expectSilence(!c.result);
    EXPECT_EQ(Calibrator_SetOutput(2, 1, 2.5), c.result) << c.addr;
    expectSilence(false);
    if (!c.result) {
      EXPECT_EQ(Calibrator_ErrorText(2), "Vorn Box: Timeout, no response from Vorn Box");
    }
  }
  EXPECT_EQ(vornbox.output().value, 2.5);
}

TEST_F(CalibratorDriver, ThePortIsOpenedForEachOperationOnly) {
  EXPECT_EQ(Calibrator_Off(1), 1);
  // Closed again: the port can be taken exclusively at once.
  SerialPort holder;
  ASSERT_TRUE(holder.open(metrahit.devicePath()));
  EXPECT_EQ(Calibrator_Off(1), 0);
  EXPECT_EQ(MetraHit_LastError(),
            "Cannot open Serial Port " + metrahit.devicePath() + "\n(Windows error #16)");
  holder.close();

  Option_SetString("METRAHIT_COMPORTNAME", "/nonexistent/tty");
  EXPECT_EQ(Calibrator_SetOutput(1, 1, 1.0), 0);
  EXPECT_EQ(MetraHit_LastError(), "Cannot open Serial Port /nonexistent/tty\n(Windows error #2)");

  // Without autoInit a closed port stays closed and the exchange fails at its write.
  EXPECT_EQ(VornCalib_SetInt("autoInit", 0), 1);
  EXPECT_EQ(Calibrator_Off(2), 0);
  EXPECT_EQ(VornCalib_LastError(), "Windows WriteFile() error #9");
  EXPECT_TRUE(heard(vornbox.device()).empty());
}

TEST_F(CalibratorDriver, ParametersAreTakenByTheirExactNames) {
  const struct {
    int (*set)();
    int result;
    const std::string& (*error)();
    const char* text;
  } cases[] = {
      {[] { return MetraHit_SetInt("tempTcRefExt", 7); }, 1, MetraHit_LastError, ""},
      {[] { return MetraHit_SetInt("Addr", 3); }, 0, MetraHit_LastError, "Cannot set unknown INT parameter Addr to 3"},
      {[] { return MetraHit_SetDouble("tempUnit", 1.5); }, 0, MetraHit_LastError,
       "Cannot set unknown DOUBLE parameter tempUnit to 1.500000"},
      {[] { return MetraHit_SetString("addr", "3"); }, 0, MetraHit_LastError,
       "Cannot set unknown STRING parameter addr to 3"},
      {[] { return VornCalib_SetDouble("tempTcRefExtVal", 2); }, 0, VornCalib_LastError,
       "Cannot set unknown DOUBLE parameter tempTcRefExtVal to 2.000000"},
      {[] { return VornCalib_SetInt("tempTcRefExt", 1); }, 0, VornCalib_LastError,
       "Cannot set unknown INT parameter tempTcRefExt to 1"},
      {[] { return VornCalib_SetString("tempUnit", "C"); }, 0, VornCalib_LastError,
       "Cannot set unknown STRING parameter tempUnit to C"},
      // A bare exchange is no device operation: it does not open the port.
      {[] { return VornCalib_Send("OUT %s %d", "VOLTAGE", 1); }, 0, VornCalib_LastError,
       "Windows WriteFile() error #9"},
      {[] { return Testo_SetInt("channel", 3); }, 0, Testo_LastError, "Cannot set INT parameter channel to 3"},
      {[] { return Testo_SetInt("addr", 1); }, 0, Testo_LastError, "Cannot set unknown INT parameter addr to 1"},
      {[] { return Testo_SetString("tempUnit", "C"); }, 0, Testo_LastError,
       "Cannot set unknown STRING parameter tempUnit to C"},
      {[] { return Testo_SetInt("channel", 2); }, 1, Testo_LastError, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.set(), c.result) << c.text;
    if (!c.result) {
      EXPECT_EQ(c.error(), c.text);
    }
  }
}

class TestoDriver : public InstrumentTest {
 protected:
  void SetUp() override {
    InstrumentTest::SetUp();
    Testo_SetString("comPortName", testo.devicePath().c_str());
  }
};

TEST_F(TestoDriver, ReadingsNoSensorAndOtherAnswers) {
  SimInstrumentFaults silent, split, otherProbe, noNumber;
  silent.silent = true;
  split.splitBytes = 3;
  split.splitPauseMs = 2;
  otherProbe.wrongCommand = noNumber.wrongCommand = "J1";
  otherProbe.wrongAnswer = "C+012.00C";
  noNumber.wrongAnswer = "BxxxxxxxC";
  const struct {
    const char* name;
    int channel;
    std::optional<double> temperature;
    SimInstrumentFaults faults;
    int get;
    double celsius;
    const char* error;
    int check;
  } cases[] = {
      {"probe 1", 1, 23.5, {}, 1, 23.5, "", 2},
      {"probe 2", 2, -5.25, {}, 1, -5.25, "", 2},
      {"no sensor", 1, std::nullopt, {}, 0, 0, "No sensor connected to Testo 701 channel 1", 1},
      {"split", 1, 99.75, split, 1, 99.75, "", 2},
      {"other probe", 1, 23.5, otherProbe, 0, 0,
       "Unknown answer format\nThe command was: 'J1'\nThe answer was: 'C+012.00C'", 1},
      {"no number", 1, 23.5, noNumber, 0, 0,
       "Unknown answer format\nThe command was: 'J1'\nThe answer was: 'BxxxxxxxC'", 2},
      {"silent", 1, 23.5, silent, 0, 0, "Timeout, no response from Testo 701\nThe command was: 'J1'", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testo.setTemperature(c.channel, c.temperature);
    faults(testo.device(), c.faults);
    Testo_SetInt("channel", c.channel);
    expectSilence(c.faults.silent);
    double celsius = 0;
    EXPECT_EQ(Testo_Get(celsius), c.get);
    if (c.get) {
      EXPECT_DOUBLE_EQ(celsius, c.celsius);
    }
    if (!c.get) {
      EXPECT_EQ(Testo_LastError(), c.error);
    }
    const int64_t start = clock.nowMs();
    EXPECT_EQ(Testo_Check(), c.check);
    if (c.faults.silent) {
      // Two queries, each given up after 50 idle reads of 2 ms.
      EXPECT_EQ(clock.nowMs() - start, 200);
    }
    // The reading asks once; the check asks again only when the first query failed.
    const size_t asked = 1 + (c.check == 0 ? 2 : 1);
    EXPECT_EQ(heard(testo.device(), asked), Commands(asked, Text_Format("J%d", c.channel)));
  }
}

TEST_F(TestoDriver, ExchangesAreWrittenToTheDebugLog) {
  TempFolder folder;
  const std::string log = folder.file("debug.log");
  DebugLog_Open(log.c_str(), 'w');
  double celsius = 0;
  EXPECT_EQ(Testo_Get(celsius), 1);
  EXPECT_EQ(Calibrator_Off(2), 1);
  faults(vornbox.device(), [] {
    SimInstrumentFaults f;
    f.silent = true;
    return f;
  }());
  expectSilence(true);
  EXPECT_EQ(Calibrator_Off(2), 0);
  const std::string text = ReadWholeFile(log);
  for (const char* line : {"Testo_Cmd: 'J1'", "Testo_Get: --> 'B+023.50C'", "VornCalib_Send: 'ADDR 15'",
                           "VornCalib_Send: --> 'OK'", "VornCalib_Send: Timeout"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
  }
}

}  // namespace
