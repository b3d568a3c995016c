#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "io/ChanInfo.h"
#include "io/ChanType.h"

namespace {

const std::string kDegC = "\xC2\xB0" "C";  // UTF-8 degree sign

struct InfoCase {
  int code;
  const char* name;
  std::string rawUnit, physUnit;
  double rawMin, rawMax, physMin, physMax;
};

std::string Hex(int code) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", code);
  return text;
}

TEST(ChanTypeInfo, NamesUnitsAndRangesOfValidCodes) {
  const InfoCase cases[] = {
      {0x0105, "Voltage, -1...+1 V", "V", "V", -2048, 2047, -1, 1},
      {0x0100, "Voltage, 0...10 V", "V", "V", 0, 65535, 0, 10},
      {0x0102, "Voltage, -5...+5 V", "V", "V", 0, 65535, -5, 5},
      {0x0110, "Voltage, -1.25...+1.25 V", "V", "V", -32768, 32767, -1.25, 1.25},
      {0x0113, "Voltage, -10...+10 V", "V", "V", -32768, 32767, -10, 10},
      {0x0201, "Current, 4...20 mA", "mA", "mA", 0, 65535, 4, 20},
      {0x0208, "Current, -2.5...2.5 mA", "mA", "mA", -32768, 32767, -2.5, 2.5},
      {0x0300, "TC Type K, 0...800 \xC2\xB0" "C", kDegC, kDegC, 0, 800, 0, 800},
      {0x0506, "Pt100, -200...200 \xC2\xB0" "C", kDegC, kDegC, -200, 200, -200, 200},
      {0x0904, "Analog Digits, -128...127 Digits", "", "Digits", -128, 127, -128, 127},
      {0x0A00, "Frequency, 0...5 Hz", "Hz", "Hz", 0, 5, 0, 5},
      {0x0B03, "Temp., -273...999 \xC2\xB0" "C", kDegC, kDegC, -273, 999, -273, 999},
      {0x0C01, "Analog Val, 0...100 %", "%", "%", 0, 100, 0, 100},
      {0x0F00, "Temp., 0...350 K", "K", "K", 0, 350, 0, 350},
      {0x1003, "Voltage, -10...10 V", "V", "V", -10, 10, -10, 10},
      {0x1200, "Pressure, -2.5...2.5 mbar", "mbar", "mbar", -2.5, 2.5, -2.5, 2.5},
      {0x1300, "Oxygen, 0...100 %", "%", "%", 0, 100, 0, 100},
      {0x1301, "COe, 0...100 %", "%", "%", 0, 100, 0, 100},
      {0x1400, "Lambda, 0.5...2.5", "Lambda", "", 0.5, 2.5, 0.5, 2.5},
      {0x1E00, "Digital I/O", "", "", 0, 1, 0, 1},
      {0x1E0F, "Digital I/O", "", "", 0, 65535, 0, 65535},
  };
  for (const InfoCase& c : cases) {
    SCOPED_TRACE(Hex(c.code));
    for (const bool physical : {false, true}) {
      std::string name, unit;
      double min = 99, max = 99;
      EXPECT_EQ(ChanType_GetInfo(c.code, physical, &name, &unit, &min, &max), 0);
      EXPECT_EQ(name, c.name);
      EXPECT_EQ(unit, physical ? c.physUnit : c.rawUnit);
      EXPECT_EQ(min, physical ? c.physMin : c.rawMin);
      EXPECT_EQ(max, physical ? c.physMax : c.rawMax);
    }
  }
}

TEST(ChanTypeInfo, InvalidCodesGiveQuestionMarkAndEmptyRange) {
  for (const int code : {0x0114, 0x0000, 0x0042, 0x1500, 0xFF00, 0x020F, 0x0E01, 0x1E10, 0x1F00,
                         0x1D00, CHANTYPE_CODE_INVALID, -1, 0x10100}) {
    SCOPED_TRACE(Hex(code));
    for (const bool physical : {false, true}) {
      std::string name = "old", unit = "old";
      double min = 5, max = 5;
      EXPECT_EQ(ChanType_GetInfo(code, physical, &name, &unit, &min, &max), -1);
      EXPECT_EQ(name, "?");
      EXPECT_EQ(unit, "");
      EXPECT_EQ(min, 0);
      EXPECT_EQ(max, 0);
    }
  }
}

TEST(ChanTypeInfo, EachKindEndsAtItsLastConfiguration) {
  const struct { int kind, configs; } kinds[] = {
      {1, 20}, {2, 15}, {3, 6}, {4, 6}, {5, 7}, {6, 9}, {7, 2}, {8, 3}, {9, 8}, {10, 3},
      {11, 4}, {12, 3}, {13, 6}, {14, 1}, {15, 1}, {16, 6}, {17, 4}, {18, 3}, {19, 2}, {20, 1},
      {30, 16},
  };
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.kind);
    EXPECT_EQ(ChanType_GetInfo(k.kind << 8, true), 0);
    EXPECT_EQ(ChanType_GetInfo(k.kind << 8 | (k.configs - 1), true), 0);
    EXPECT_EQ(ChanType_GetInfo(k.kind << 8 | k.configs, true), -1);
  }
  for (const int kind : {0, 21, 29, 31, 255}) EXPECT_EQ(ChanType_GetInfo(kind << 8, true), -1);
}

TEST(ChanTypeInfo, OutputsAreOptional) {
  double max = 0;
  EXPECT_EQ(ChanType_GetInfo(0x0104, false, nullptr, nullptr, nullptr, &max), 0);
  EXPECT_EQ(max, 4095);
  EXPECT_EQ(ChanType_GetInfo(0x1500, false), -1);
}

// ---- value conversion ------------------------------------------------------

double Decode(int code, ChanValueBytes bytes, int aligned, int* result = nullptr) {
  double value = -999;
  const int r = ChanType_ConvertValue('g', value, code, bytes, aligned);
  if (result) *result = r;
  return value;
}

ChanValueBytes Encode(int code, double value, int aligned, int* result = nullptr,
                      double* product = nullptr) {
  ChanValueBytes bytes = {0xAA, 0xAA, 0xAA, 0xAA};  // stale content must not survive
  const int r = ChanType_ConvertValue('s', value, code, bytes, aligned);
  if (result) *result = r;
  if (product) *product = value;
  return bytes;
}

TEST(ChanTypeConvert, DecodesIntegersWithShiftOnlyWhenAligned) {
  const struct {
    int code;
    ChanValueBytes bytes;
    double aligned, plain;
  } cases[] = {
      {0x0104, {0xF0, 0xFF, 0x12, 0x34}, 4095, 65520},    // u16, shift 4; bytes 2..3 ignored
      {0x0105, {0x00, 0x80, 0, 0}, -2048, -32768},        // i16, arithmetic shift
      {0x0105, {0xF0, 0xFF, 0, 0}, -1, -16},
      {0x010B, {0xC0, 0x7F, 0, 0}, 511, 32704},           // i16, shift 6
      {0x0B00, {0xE8, 0x03, 0, 0}, 100, 100},             // i16 / 10, no shift
      {0x0B00, {0x0C, 0xFE, 0, 0}, -50, -50},
      {0x0A00, {0xC4, 0x09, 0, 0}, 2.5, 2.5},             // u16 / 1000
      {0x0904, {0xFF, 0x7F, 0, 0}, -1, -1},               // i8: byte 0 only
      {0x0900, {0xC8, 0xFF, 0, 0}, 200, 200},             // u8: byte 0 only
      {0x1E00, {0x80, 0xFF, 0, 0}, 1, 128},               // 1 bit, u8 shift 7
      {0x1E07, {0xFF, 0, 0, 0}, 255, 255},                // 8 bits, no shift
      {0x1E08, {0x80, 0xFF, 0, 0}, 511, 65408},           // 9 bits, u16 shift 7
      {0x0042, {0x34, 0x12, 0, 0}, 0x1234, 0x1234},       // kind 0: plain u16
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.code));
    int result = -1;
    EXPECT_EQ(Decode(c.code, c.bytes, 1, &result), c.aligned);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(Decode(c.code, c.bytes, 0), c.plain);
  }
}

TEST(ChanTypeConvert, DecodesSingleFloatLittleEndian) {
  EXPECT_EQ(Decode(0x0103, {0x00, 0x00, 0x20, 0x40}, 1), 2.5);
  EXPECT_FLOAT_EQ(float(Decode(0x0103, {0x33, 0x33, 0x33, 0xBF}, 0)), -0.7f);
}

TEST(ChanTypeConvert, InvalidCodeOrDirectionFails) {
  int result = 0;
  EXPECT_EQ(Decode(0x1500, {1, 2, 3, 4}, 1, &result), 0);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(Encode(CHANTYPE_CODE_INVALID, 5, 1, &result), (ChanValueBytes{0, 0, 0, 0}));
  EXPECT_EQ(result, 1);
  // An i8 value is decoded but never encoded.
  result = 0;
  EXPECT_EQ(Encode(0x0904, -1, 1, &result), (ChanValueBytes{0, 0, 0, 0}));
  EXPECT_EQ(result, 1);

  double value = 3;
  ChanValueBytes bytes = {1, 2, 3, 4};
  EXPECT_EQ(ChanType_ConvertValue('x', value, 0x0104, bytes, 1), 1);
  EXPECT_EQ(value, 3);
  EXPECT_EQ(bytes, (ChanValueBytes{1, 2, 3, 4}));
}

TEST(ChanTypeConvert, EncodesScaledTruncatedValueAndReturnsProduct) {
  int result = -1;
  double product = 0;
  EXPECT_EQ(Encode(0x0B00, 12.34, 1, &result, &product), (ChanValueBytes{0x7B, 0, 0, 0}));
  EXPECT_EQ(result, 0);
  EXPECT_DOUBLE_EQ(product, 123.4);
  // Toward zero for negative values too.
  EXPECT_EQ(Encode(0x0B00, -12.37, 1), (ChanValueBytes{0x85, 0xFF, 0, 0}));
  // A decimal entry whose product falls just short of an integer keeps that integer.
  EXPECT_EQ(Encode(0x0A01, 0.57, 1), (ChanValueBytes{57, 0, 0, 0}));
  EXPECT_EQ(Encode(0x0A01, 0.29, 0), (ChanValueBytes{29, 0, 0, 0}));
  EXPECT_EQ(Encode(0x0A01, -0.29, 0), (ChanValueBytes{0xE3, 0xFF, 0, 0}));
}

TEST(ChanTypeConvert, EncodesSingleFloat) {
  int result = -1;
  double product = 0;
  EXPECT_EQ(Encode(0x0103, -0.7, 1, &result, &product), (ChanValueBytes{0x33, 0x33, 0x33, 0xBF}));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(product, -0.7);  // no divisor for floats
  EXPECT_EQ(Encode(0x0100, 1e39, 1), (ChanValueBytes{0x00, 0x00, 0x80, 0x7F}));  // +infinity
}

TEST(ChanTypeConvert, EncodesAlignedValuesIntoTheirBits) {
  const struct {
    int code;
    double value;
    int aligned;
    ChanValueBytes bytes;
  } cases[] = {
      {0x0104, 4095, 1, {0xF0, 0xFF, 0, 0}},    // full scale of a 12-bit output
      {0x0104, 4095, 0, {0xFF, 0x0F, 0, 0}},
      {0x0104, 31, 1, {0xF0, 0x01, 0, 0}},
      {0x0104, 5000, 1, {0x80, 0x38, 0, 0}},    // out of range wraps; callers limit first
      {0x0105, -2048, 1, {0x00, 0x80, 0, 0}},
      {0x010D, -1, 0, {0xFF, 0xFF, 0, 0}},
      {0x1E00, 1, 1, {0x80, 0, 0, 0}},          // one bit at the top of byte 0
      {0x1E02, 7, 1, {0xE0, 0, 0, 0}},
      {0x1E0F, 0xABCD, 1, {0xCD, 0xAB, 0, 0}},
      {0x0900, 0x1FF, 1, {0xFF, 0, 0, 0}},      // u8 keeps byte 0 only
      {0x0042, 0x1234, 1, {0x34, 0x12, 0, 0}},  // kind 0
      {0x010C, 1e12, 1, {0x00, 0x10, 0, 0}},    // huge values wrap modulo 2^32
      {0x010C, std::nan(""), 1, {0, 0, 0, 0}},
      {0x010C, -std::numeric_limits<double>::infinity(), 1, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(Hex(c.code) + " " + std::to_string(c.value));
    int result = -1;
    EXPECT_EQ(Encode(c.code, c.value, c.aligned, &result), c.bytes);
    EXPECT_EQ(result, 0);
  }
}

TEST(ChanTypeConvert, HexEntryRoundTripsThroughAnAlignedOutput) {
  ChanValueBytes bytes = Encode(0x0104, 0x1F, 1);
  EXPECT_EQ(Decode(0x0104, bytes, 1), 0x1F);
}

// Every configuration's raw range survives a write and a read back, aligned or not:
// catches a wrong encoding, sign, divisor or shift in any table row. The one
// i8 row (0x0904) is read only.
TEST(ChanTypeConvert, EveryRangeLimitRoundTrips) {
  int valid = 0;
  for (int code = 0x0100; code <= 0x1FFF; ++code) {
    double min = 0, max = 0;
    if (ChanType_GetInfo(code, false, nullptr, nullptr, &min, &max) != 0) continue;
    ++valid;
    if (code == 0x0904) continue;
    for (const int aligned : {0, 1}) {
      for (const double limit : {min, max}) {
        SCOPED_TRACE(Hex(code) + " " + std::to_string(limit));
        int result = -1;
        const ChanValueBytes bytes = Encode(code, limit, aligned, &result);
        ASSERT_EQ(result, 0);
        EXPECT_DOUBLE_EQ(Decode(code, bytes, aligned), limit);
      }
    }
  }
  EXPECT_EQ(valid, 20 + 15 + 6 * 3 + 7 + 9 + 2 + 3 + 8 + 3 + 4 + 3 + 1 + 1 + 6 + 4 + 3 + 2 + 1 + 16);
}

// ---- channel record ---------------------------------------------------------

TEST(ChanInfoRecord, ChannelsOfOneTypeShareTheirListAndCopiesStayWhole) {
  ChanInfo info;
  info.configListCount = 1;
  info.configLists[0].typeIndex = 0x3105;
  info.configLists[0].count = 3;
  info.configLists[0].codes[0] = 0x0104;
  info.configLists[0].codes[1] = 0x0105;
  info.configLists[0].codes[2] = 0x0B00;
  info.channelCount = 3;
  for (int ch = 0; ch < 3; ++ch) info.channels[ch].configList = 0;
  info.channels[0].configInUse = 2;
  info.channels[1].configInUse = CHANINFO_CONFIG_OFF;
  info.channels[2].configInUse = 3;  // beyond the list

  const ChanInfo copy = info;
  info.configLists[0].codes[2] = 0x0100;
  EXPECT_EQ(ChanInfo_ConfigListOf(copy, 0), ChanInfo_ConfigListOf(copy, 2));
  EXPECT_EQ(ChanInfo_ActiveCode(copy, 0), 0x0B00);
  EXPECT_EQ(ChanInfo_ActiveCode(copy, 1), CHANTYPE_CODE_INVALID);
  EXPECT_EQ(ChanInfo_ActiveCode(copy, 2), CHANTYPE_CODE_INVALID);
  EXPECT_EQ(ChanInfo_ActiveCode(copy, 3), CHANTYPE_CODE_INVALID);  // beyond the count
  EXPECT_EQ(ChanInfo_ActiveCode(copy, -1), CHANTYPE_CODE_INVALID);
  EXPECT_EQ(ChanInfo_ConfigCode(copy, 1, 1), 0x0105);
  EXPECT_EQ(ChanInfo_ActiveCode(info, 0), 0x0100);
}

}  // namespace
