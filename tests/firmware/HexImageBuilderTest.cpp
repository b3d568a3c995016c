// Test firmware images: the info table layout that firmware readers rely on,
// and HEX text in the shapes tool chains produce, read back by the HEX reader.
#include <gtest/gtest.h>

#include <stdexcept>

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

TEST(FwInfoTableTest, WordLayoutKeepsTwoBytesOfEveryFour) {
  FwImageLayout layout;
  layout.codeBytes = 200;
  layout.tableOffset = 20;
  layout.wordData = true;
  layout.info.moduleType = 0xABCD;
  std::vector<uint8_t> image = FwImage_FirmwareBytes(layout);
  ASSERT_EQ(image.size(), 400u);
  // The marker entry starts at byte 40; its key characters sit at 0, 1, 4, 5, ...
  std::string key;
  for (size_t i = 0; i < 16; i++) key += static_cast<char>(image[40 + i / 2 * 4 + i % 2]);
  EXPECT_EQ(key, std::string("~KVXINFOSTRUCT~\0", 16));
  // Every upper byte pair is 0.
  for (size_t i = 2; i < image.size(); i += 4) {
    ASSERT_EQ(image[i], 0) << i;
    ASSERT_EQ(image[i + 1], 0) << i;
  }
  // The module type is the third entry (after INFO_TYPE): value bytes at 32, 33, 36, 37.
  const uint8_t* moduleEntry = &image[40 + 2 * 40];
  EXPECT_EQ(AsText({moduleEntry, moduleEntry + 2}) + AsText({moduleEntry + 4, moduleEntry + 6}),
            "MODU");
  EXPECT_EQ(moduleEntry[32], 0);
  EXPECT_EQ(moduleEntry[33], 0);
  EXPECT_EQ(moduleEntry[36], 0xAB);
  EXPECT_EQ(moduleEntry[37], 0xCD);
}

TEST(FwImageTest, MarkerOnlyWhereAsked) {
  auto holdsMarker = [](const std::vector<uint8_t>& bytes) {
    return AsText(bytes).find(kFwInfoMarker) != std::string::npos;
  };
  FwImageLayout layout;
  layout.codeBytes = 64 * 1024;
  layout.tableOffset.reset();
  for (uint32_t seed = 1; seed < 20; seed++) {
    layout.seed = seed;
    EXPECT_FALSE(holdsMarker(FwImage_FirmwareBytes(layout)));
  }
  layout.tableOffset = 100;
  EXPECT_TRUE(holdsMarker(FwImage_FirmwareBytes(layout)));
}

TEST(FwImageTest, TextOptionsThatCannotBeWrittenAreRefused) {
  HexImageBuilder b;
  b.add(0x100, Counting(8));
  HexTextOptions noRecords;
  noRecords.recordLength = 0;
  EXPECT_THROW(b.hexText(noRecords), std::invalid_argument);
  HexImageBuilder high;
  high.add(0x100000, Counting(1));
  HexTextOptions segment;
  segment.addressing = HexTextOptions::Addressing::Segment;
  EXPECT_THROW(high.hexText(segment), std::invalid_argument);
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

TEST(FwImageHexTextTest, MarkerAtTheVeryEndOfASegment) {
  for (bool wordData : {false, true}) {
    SCOPED_TRACE(wordData ? "word data" : "byte data");
    FwImageLayout layout;
    layout.address = 0x2000;
    layout.codeBytes = 1000;
    layout.tableOffset = 1000 - 15;  // marker text ends with the segment, its NUL is cut off
    layout.wordData = wordData;
    HexImageBuilder b;
    b.addFirmware(layout).addPattern(0x2000 + 4000, 64, 3);
    HexTextReader r;
    ASSERT_TRUE(b.writeHexFile(r.path));
    ASSERT_EQ(HexFile_Read(r.image.out(), r.path), 0);
    auto segs = r.segments();
    ASSERT_EQ(segs.size(), 2u);
    std::vector<uint8_t> last = segs[0].bytes;
    if (wordData) {
      ASSERT_EQ(last.size(), 2000u);
      std::vector<uint8_t> useful;
      for (size_t i = 0; i < last.size(); i++) {
        if ((i & 2) == 0) useful.push_back(last[i]);
      }
      last = useful;
    }
    ASSERT_EQ(last.size(), 1000u);
    EXPECT_EQ(AsText({last.end() - 15, last.end()}), kFwInfoMarker);
    EXPECT_EQ(AsText(last).find(kFwInfoMarker), 985u);
  }
}

}  // namespace
