#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "io/CalibValue.h"

namespace {

constexpr int kVoltage12Bit = 0x0104;  // raw 0..4095, 0..10 V
constexpr int kVoltageFloat = 0x0100;
constexpr int kCurrent4To20 = 0x0201;  // raw 0..65535, 4..20 mA
constexpr int kCurrent10Bit = 0x0204;  // raw 0..1023, 0..20 mA
constexpr int kPt100 = 0x0500;
constexpr int kKelvin = 0x0F00;
constexpr int kDigits = 0x0900;
constexpr int kFrequency = 0x0A00;
constexpr int kAnalogValue = 0x0C02;

std::string Trace(int code, int mode, const std::string& what) {
  char text[64];
  std::snprintf(text, sizeof text, "code 0x%04X mode %d: ", code, mode);
  return text + what;
}

TEST(CalibValueFormat, EachTypeAndDisplayMode) {
  const struct {
    double value;
    int code, mode;
    const char* text;
  } cases[] = {
      {-26.7, kVoltageFloat, 1, "-0x1A"},
      {0.0, kVoltageFloat, 1, "0x0"},
      {26.7, kVoltage12Bit, 1, "0x1A"},
      {4095, kVoltage12Bit, 0, "4095"},
      {4095, kVoltage12Bit, 2, "10.000 V"},
      {1000, kCurrent10Bit, 2, "19.550 mA"},  // span ratio only, no offset
      {5e9, kVoltageFloat, 1, "0x2A05F200"},  // wraps as a 32-bit number
      {20.0, kPt100, 0, "20.00 \xC2\xB0" "C"},
      {20.0, kPt100, 1, "293.15 K"},
      {20.0, kPt100, 2, "20.00 \xC2\xB0" "C"},
      {300.0, kKelvin, 0, "300.00 K"},
      {300.0, kKelvin, 1, "26.85 \xC2\xB0" "C"},
      {12.5, kDigits, 0, "12.5 Digits"},
      {255, kDigits, 1, "0xFF"},
      {2.5, kFrequency, 1, "2.5 Hz"},
      {50, kAnalogValue, 2, "50 %"},
      {7, 0x1400, 0, "7 "},                  // Lambda: empty physical unit
      {7, 0x1500, 0, "7 "},                  // unknown code: no unit
      {1.5, 0x0114, 2, "1.5"},               // voltage code without ranges cannot scale
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Trace(c.code, c.mode, c.text));
    EXPECT_EQ(CalibData_FormatValue(c.value, c.code, c.mode), c.text);
  }
}

TEST(CalibValueParse, EntriesReadBackIntoTheStoredForm) {
  const struct {
    int code, mode;
    const char* text;
    double value;
  } cases[] = {
      {kVoltageFloat, 1, "1A", 26},           // bare hexadecimal for voltage in mode 1
      {kVoltageFloat, 1, "-0x1A", -26},       // what mode 1 shows reads back
      {kVoltageFloat, 1, "-1a", -26},
      {kVoltageFloat, 0, "0x1A", 26},
      {kVoltageFloat, 0, "0xFFFFFFFF", 4294967295.0},
      {kPt100, 0, "0x1A", 26},                // the prefix works for every type
      {kPt100, 1, "293.15", 20.0},
      {kPt100, 1, "293.15 K", 20.0},          // the shown unit may stay
      {kPt100, 0, " -12.5\t", -12.5},
      {kPt100, 0, "20 \xC2\xB0" "C", 20},
      {kKelvin, 1, "26.85", 300.0},
      {kVoltage12Bit, 2, "10", 4095},
      {kVoltage12Bit, 2, "5 V", 2047.5},
      {kCurrent4To20, 2, "12", 32767.5},      // physical minimum subtracted on entry
      {kDigits, 0, "1e3", 1000},
      {kDigits, 0, "+.5", 0.5},
      {kDigits, 1, "0x1A", 26},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Trace(c.code, c.mode, c.text));
    double value = -1;
    EXPECT_EQ(CalibData_ParseValue(value, c.code, c.mode, c.text), 1);
    EXPECT_NEAR(value, c.value, 1e-9);
  }
}

TEST(CalibValueParse, TextsThatAreNoNumberLeaveTheValue) {
  const struct {
    int code, mode;
    const char* text;
  } cases[] = {
      {kVoltageFloat, 0, "1A"},            // hexadecimal only in mode 1 or with the prefix
      {kDigits, 1, "1A"},                  // bare hexadecimal only for voltage and current
      {kVoltageFloat, 1, "0x"},
      {kVoltageFloat, 1, "1G"},
      {kVoltageFloat, 0, "0x100000000"},   // beyond 32 bits
      {kPt100, 0, ""},
      {kPt100, 0, "   "},
      {kPt100, 0, "12abc"},
      {kPt100, 0, "1,5"},
      {kPt100, 0, "inf"},
      {kPt100, 0, "nan"},
      {kPt100, 0, "1e999"},
      {kPt100, 0, "- 5"},
      {kPt100, 1, "293.15 \xC2\xB0" "C"},  // mode 1 shows kelvin
      {0x0114, 2, "5"},                    // no physical range to convert from
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Trace(c.code, c.mode, c.text));
    double value = 42;
    EXPECT_EQ(CalibData_ParseValue(value, c.code, c.mode, c.text), 0);
    EXPECT_EQ(value, 42);
  }
}

TEST(CalibValueParse, ShownTextsOfEveryModeReadBack) {
  const struct {
    int code;
    double value;
  } cases[] = {{kVoltage12Bit, 1234}, {kPt100, -37.25}, {kKelvin, 310.5}, {kDigits, 77},
               {kCurrent10Bit, 512}};
  for (const auto& c : cases) {
    for (int mode = 0; mode <= 2; ++mode) {
      const std::string shown = CalibData_FormatValue(c.value, c.code, mode);
      SCOPED_TRACE(Trace(c.code, mode, shown));
      double back = 0;
      ASSERT_EQ(CalibData_ParseValue(back, c.code, mode, shown), 1);
      EXPECT_NEAR(back, c.value, 0.5);  // within the precision of the text
    }
  }
}

// ---- stored point values ----------------------------------------------------

const CalibValueBytes kEmpty = {0xFF, 0xFF, 0xFF, 0xFF};

TEST(CalibPointValue, SingleFloatBytesAndTheEmptyMark) {
  EXPECT_EQ(CalibValue_Encode(-0.7), (CalibValueBytes{0x33, 0x33, 0x33, 0xBF}));
  EXPECT_EQ(CalibValue_Encode(0.0), (CalibValueBytes{0, 0, 0, 0}));
  EXPECT_EQ(CalibValue_Decode({0x00, 0x00, 0x20, 0x40}), 2.5);
  EXPECT_TRUE(CalibValue_IsEmpty(kEmpty));
  EXPECT_FALSE(CalibValue_IsEmpty({0xFF, 0xFF, 0xFF, 0xFE}));
  EXPECT_FALSE(CalibValue_IsEmpty({0, 0, 0, 0}));
}

TEST(CalibPointValue, FieldTextsShowRawAndReferenceValue) {
  std::string x, y;
  CalibData_PointTexts(CalibValue_Encode(2.5), CalibValue_Encode(0.25), kVoltageFloat, 0, x, y);
  EXPECT_EQ(x, "2.5");
  EXPECT_EQ(y, "2.75");  // reference = X + Y

  CalibData_PointTexts(CalibValue_Encode(20), CalibValue_Encode(1), kPt100, 1, x, y);
  EXPECT_EQ(x, "293.15 K");
  EXPECT_EQ(y, "294.15 K");

  CalibData_PointTexts(CalibValue_Encode(3), kEmpty, kVoltageFloat, 0, x, y);
  EXPECT_EQ(x, "3");
  EXPECT_EQ(y, "-");

  // Without X there is no reference value, even when Y is set.
  CalibData_PointTexts(kEmpty, CalibValue_Encode(1), kVoltageFloat, 0, x, y);
  EXPECT_EQ(x, "-");
  EXPECT_EQ(y, "-");
}

TEST(CalibPointValue, TinyStoredValuesShowAsZero) {
  std::string x, y;
  const CalibValueBytes tiny = CalibValue_Encode(1e-40);
  EXPECT_NE(CalibValue_Decode(tiny), 0.0);
  CalibData_PointTexts(tiny, tiny, kVoltageFloat, 0, x, y);
  EXPECT_EQ(x, "0");
  EXPECT_EQ(y, "0");
  CalibData_PointTexts(CalibValue_Encode(-1e-39), CalibValue_Encode(5), kPt100, 0, x, y);
  EXPECT_EQ(x, "0.00 \xC2\xB0" "C");
  EXPECT_EQ(y, "5.00 \xC2\xB0" "C");
}

}  // namespace
