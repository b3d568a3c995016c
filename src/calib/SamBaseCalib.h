// Base calibration of the analog-to-digital converters of SAMC21 modules:
// each converter (ADC 0, ADC 1) has a hardware offset/gain correction given
// by a low and a high pair of actual and wanted conversion results, and a
// zero offset clipping value. The module reports and takes them with the
// base calibration command (0x35); a CAN-connected reference source on node
// 124 (the "VAR Eriz Ivirizaruz") is told what to output with a CANopen SDO
// download sent straight through the CAN adapter.
#pragma once

#include <cstdint>
#include <string>

#include "core/CanMsg.h"
#include "protocol/WireConstants.h"

struct ModuleRec;

// Sub-commands of the base calibration command (byte 1; +0x80 for ADC 1).
enum {
  SAMBASE_CLIPPING = Wire::VORN_BASECAL_CLIPPING,
  SAMBASE_LOW_PAIR = Wire::VORN_BASECAL_LOW_PAIR,
  SAMBASE_HIGH_PAIR = Wire::VORN_BASECAL_HIGH_PAIR,
  SAMBASE_RESET_PAIRS = Wire::VORN_BASECAL_RESET_PAIRS,
  SAMBASE_ENABLE = Wire::VORN_BASECAL_ENABLE,
  SAMBASE_DISABLE = Wire::VORN_BASECAL_DISABLE,
  SAMBASE_STATUS = Wire::VORN_BASECAL_STATUS,
  SAMBASE_LOW_REFERENCE = Wire::VORN_BASECAL_LOW_REFERENCE,
  SAMBASE_HIGH_REFERENCE = Wire::VORN_BASECAL_HIGH_REFERENCE,
};

// Status bits.
enum { SAMBASE_LOW_VALID = 1, SAMBASE_HIGH_VALID = 2, SAMBASE_ENABLED = 4, SAMBASE_ALL_SET = 7 };

// Reference source outputs.
enum {
  SAMBASE_SOURCE_LOW = Wire::VORN_REFSOURCE_LOW,
  SAMBASE_SOURCE_HIGH = Wire::VORN_REFSOURCE_HIGH,
  SAMBASE_SOURCE_OFF = Wire::VORN_REFSOURCE_OFF,
};
// Node of the reference source.
constexpr int SAMBASE_SOURCE_NODE = Wire::VORN_REFSOURCE_NODE;

// Allowed distance of an actual result from the expected digits.
constexpr int SAMBASE_TOLERANCE = 400;

struct SamAdcStatus {
  bool available = false;  // input mask non-zero
  uint16_t inputMask = 0;  // bit n: module input n is converted here
  uint16_t actualResult = 0;
  uint8_t status = 0;      // SAMBASE_LOW_VALID | SAMBASE_HIGH_VALID | SAMBASE_ENABLED
  int16_t lowActual = 0, lowWanted = 0;
  int16_t highActual = 0, highWanted = 0;
  int16_t zeroClipping = 0;
  int inputMode = 0;       // 0 unknown, 1 voltage inputs, 2 current inputs
  float lowReference = 0;
  uint16_t lowReferenceDigits = 0;
  float highReference = 0;
  uint16_t highReferenceDigits = 0;
};

// The two converters' records of the current session.
SamAdcStatus& SamBaseCalib_Status(int adc);
void SamBaseCalib_ClearStatus();

// Reads a sub-command's values of one converter into its record. 1 when the
// reply was taken, 0 otherwise (a failed exchange is reported by the module
// protocol; the record stays as it was).
int SamBaseCalib_Read(const ModuleRec& module, int adc, int subCommand);
// Takes a reply to sub-command `subCommand` into a record; an unknown
// sub-command leaves it unchanged.
void SamBaseCalib_TakeReply(SamAdcStatus& record, int subCommand, const CanMsg& reply);
// Writes a sub-command (0x35, no answer awaited). 1 when sent.
int SamBaseCalib_Write(const ModuleRec& module, int adc, int subCommand, int first, int second);
// Tells the reference source to output the low point (1), the high point (2)
// or nothing (3). Needs the CAN adapter as the active interface. 1 when the
// adapter took the frame.
int SamBaseCalib_SendCalibrator(int n);
// The frame of that command.
CanMsg SamBaseCalib_CalibratorFrame(int n);

// Display texts of a converter.
std::string SamBaseCalib_InputsText(const SamAdcStatus& record);                 // "0 1 2 "
std::string SamBaseCalib_ReferenceText(const SamAdcStatus& record, bool high);   // "2.0 Volt"
// A correction field as a signed 16-bit number; false when it is none.
bool SamBaseCalib_ParseField(const std::string& text, int& value);

// The automatic calibration of one converter: one state per tick of a
// 500 ms timer. Waits of 200 ms after a write and 1000 ms after the
// reference source was set are taken on the spot (Clock_SleepMs).
class SamAutoCalib {
 public:
  static constexpr int TICK_MS = 500;

  // "Auto Calibrate ADC n".
  void start(int adc);
  // The close box: stops without finishing.
  void stop() { state_ = 0; }
  bool running() const { return state_ != 0; }
  int state() const { return state_; }
  int adc() const { return adc_; }
  const std::string& text() const { return text_; }
  void clearText() { text_.clear(); }

  // One state. 1 when the run has ended (state 0), 0 to tick again.
  int tick(const ModuleRec& module);

 private:
  void fail(const char* text);
  bool pairStep(const ModuleRec& module, bool high);

  int state_ = 0;
  int adc_ = 0;
  bool failed_ = false;
  std::string text_;
};
