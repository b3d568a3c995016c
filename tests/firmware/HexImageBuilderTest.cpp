// Test firmware images: the info table layout that firmware readers rely on,
// and HEX text in the shapes tool chains produce, read back by the HEX reader.
// The word layout and the marker placement are read end to end by the info
// table tests.
#include <gtest/gtest.h>

#include "firmware/HexFileTestSupport.h"
#include "firmware/HexImageBuilder.h"

namespace {

std::string AsText(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Entry(const char* key16, const char* value4) {
  return std::string(key16, 16) + std::string(value4, 4);
}

TEST(FwInfoTableTest, ByteLayoutOfEveryEntry) {
  FwInfoValues values;
  values.infoType = 1;
  values.moduleType = 0x1234;
  values.hardwareVersion = 0x0203;
  values.softwareMajor = 2;
  values.softwareMinor = 17;
  std::string expected = Entry("~KVXINFOSTRUCT~\0", "\0\0\0\0") +
                         Entry("INFO_TYPE\0\0\0\0\0\0\0", "\0\0\0\x01") +
                         Entry("MODULE_TYPE\0\0\0\0\0", "\0\0\x12\x34") +
                         Entry("HARDW_VERSION\0\0\0", "\0\0\x02\x03") +
                         Entry("SOFTW_VERSION\0\0\0", "\0\x02\0\x11") +
                         Entry("~KVXINFOSTRUCT~\0", "\0\0\0\0");
  EXPECT_EQ(AsText(FwInfo_Table(values)), expected);

  // Other terminators; left-out values leave their entries out.
  FwInfoValues sparse;
  sparse.infoType = 0;
  sparse.keyTerminator = '=';
  sparse.closingMarker = false;
  EXPECT_EQ(AsText(FwInfo_Table(sparse)), Entry("~KVXINFOSTRUCT~\0", "\0\0\0\0") +
                                              Entry("INFO_TYPE=\0\0\0\0\0\0", "\0\0\0\0"));
  // A 16-character key has no room for a terminator.
  EXPECT_EQ(AsText(FwInfo_Entry("ABCDEFGHIJKLMNOPQ", 1, 2, 3, 4, ' ')),
            Entry("ABCDEFGHIJKLMNOP", "\x01\x02\x03\x04"));
}

// ---- HEX text read back ------------------------------------------------------

struct TextShape {
  const char* what;
  HexTextOptions options;
};

HexTextOptions Shape(int recordLength, HexTextOptions::Addressing addressing, const char* lineEnd,
                     bool lowerCase, std::optional<uint32_t> start = {}) {
  HexTextOptions o;
  o.recordLength = recordLength;
  o.addressing = addressing;
  o.lineEnd = lineEnd;
  o.lowerCase = lowerCase;
  o.startAddress = start;
  return o;
}

TEST(FwImageHexTextTest, EveryShapeReadsIntoTheSameImage) {
  using A = HexTextOptions::Addressing;
  const TextShape shapes[] = {
      {"16 bytes, linear, CR LF", Shape(16, A::Linear, "\r\n", false)},
      {"1 byte per record", Shape(1, A::Linear, "\n", false)},
      {"7 bytes, lower case", Shape(7, A::Linear, "\n", true, 0x1234)},
      {"255 bytes, segment addresses", Shape(255, A::Segment, "\r\n", false, 0x5678)},
      {"32 bytes, segment addresses, LF", Shape(32, A::Segment, "\n", true)},
  };
  FwImageLayout firmware;
  firmware.address = 0x0FC00;  // runs across the 64 KiB page
  firmware.codeBytes = 3000;
  HexImageBuilder b;
  b.addFirmware(firmware).addPattern(0x80000, 100, 7).addPattern(0x400, 33, 8).addPattern(0x421, 5, 9);
  std::vector<SegmentValue> expected = {{0x0FC00, FwImage_FirmwareBytes(firmware)},
                                        {0x80000, FwImage_Pattern(100, 7)},
                                        {0x400, FwImage_Pattern(33, 8)}};
  std::vector<uint8_t> joined = FwImage_Pattern(5, 9);
  expected.back().bytes.insert(expected.back().bytes.end(), joined.begin(), joined.end());
  for (const TextShape& shape : shapes) {
    SCOPED_TRACE(shape.what);
    HexTextReader r;
    ASSERT_EQ(r.read(b.hexText(shape.options)), 0) << HexFile_GetErrorText();
    EXPECT_EQ(r.segments(), expected);
  }
}

}  // namespace
