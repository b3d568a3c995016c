// Writing Intel HEX files: the exact records, the splits, and failures.
#include <gtest/gtest.h>

#include "firmware/HexFileTestSupport.h"

namespace {

class HexWriteTest : public ::testing::Test {
 protected:
  TempFolder folder;
  std::string path = folder.file("out.hex");

  int write(const std::vector<SegmentValue>& image) {
    HexSegmentList list = ListOf(image);
    return HexFile_Write(list.head(), path, HEXFILE_TYPE_INTEL);
  }
};

TEST_F(HexWriteTest, EverySegmentStartsWithALinearAddressRecord) {
  // Both segments lie in page 0; the second still gets its own address record.
  ASSERT_EQ(write({{0x0010, Bytes({0x01, 0x02, 0x03})}, {0x0100, Bytes({0xFF})}}), 0);
  EXPECT_EQ(ReadWholeFile(path),
            ":020000040000FA\r\n"
            ":03001000010203E7\r\n"
            ":020000040000FA\r\n"
            ":01010000FFFF\r\n"
            ":00000001FF\r\n");
  EXPECT_STREQ(HexFile_GetErrorText(), "(No error)");
}

TEST_F(HexWriteTest, RecordsHold16BytesCountedFromTheirFirstByte) {
  ASSERT_EQ(write({{0x12340005, Counting(20, 0x30)}}), 0);
  EXPECT_EQ(ReadWholeFile(path),
            ":020000041234B4\r\n"
            ":10000500303132333435363738393A3B3C3D3E3F73\r\n"
            ":0400150040414243E1\r\n"
            ":00000001FF\r\n");
}

TEST_F(HexWriteTest, RecordsSplitAtEvery64KiBPage) {
  ASSERT_EQ(write({{0x1FFF8, Counting(16)}}), 0);
  EXPECT_EQ(ReadWholeFile(path),
            ":020000040001F9\r\n"
            ":08FFF8000001020304050607E5\r\n"
            ":020000040002F8\r\n"
            ":0800000008090A0B0C0D0E0F9C\r\n"
            ":00000001FF\r\n");

  // A segment across several pages: every page gets one address record, and
  // reading the file gives the segment back whole.
  std::vector<uint8_t> big = Counting(3 * 65536 + 77, 5);
  ASSERT_EQ(write({{0x2FFF9, big}}), 0);
  std::string text = ReadWholeFile(path);
  size_t addressRecords = 0;
  for (size_t at = 0; (at = text.find(":02000004", at)) != std::string::npos; at++) addressRecords++;
  EXPECT_EQ(addressRecords, 5u);  // pages 2, 3, 4, 5, 6
  HexSegmentList image;
  ASSERT_EQ(HexFile_Read(image.out(), path), 0);
  EXPECT_EQ(SegmentsOf(image.head()), (std::vector<SegmentValue>{{0x2FFF9, big}}));
}

TEST_F(HexWriteTest, EmptyImagesWriteOnlyTheEndRecord) {
  ASSERT_EQ(HexFile_Write(nullptr, path, HEXFILE_TYPE_INTEL), 0);
  EXPECT_EQ(ReadWholeFile(path), ":00000001FF\r\n");
  ASSERT_EQ(write({{0x1234, {}}}), 0);
  EXPECT_EQ(ReadWholeFile(path), ":00000001FF\r\n");
}

TEST_F(HexWriteTest, WrittenImagesReadBackSegmentBySegment) {
  std::vector<SegmentValue> image = {
      {0x08000000, Counting(1000, 1)},
      {0x00000000, Counting(3, 9)},       // lower than the one before
      {0x08000400, Counting(17, 2)},      // after a gap
      {0xFFFFFFF0, Counting(16, 3)},      // the last bytes of the address space
      {0x00000003, Counting(1, 4)},       // contiguous with a segment further up only
  };
  ASSERT_EQ(write(image), 0);
  HexSegmentList back;
  ASSERT_EQ(HexFile_Read(back.out(), path), 0) << HexFile_GetErrorText();
  EXPECT_EQ(SegmentsOf(back.head()), image);

  // Segments written back to back in address order come back joined.
  ASSERT_EQ(write({{0x100, Counting(5)}, {0x105, Counting(5, 5)}}), 0);
  ASSERT_EQ(HexFile_Read(back.out(), path), 0);
  EXPECT_EQ(SegmentsOf(back.head()), (std::vector<SegmentValue>{{0x100, Counting(10)}}));
}

TEST_F(HexWriteTest, Failures) {
  HexSegmentList list = ListOf({{0, Counting(4)}});
  EXPECT_EQ(HexFile_Write(list.head(), std::string(), HEXFILE_TYPE_INTEL), -14);
  EXPECT_STREQ(HexFile_GetErrorText(), "Empty filename");
  EXPECT_EQ(HexFile_Write(list.head(), std::wstring(), HEXFILE_TYPE_INTEL), -14);

  EXPECT_EQ(HexFile_Write(list.head(), path, 2), -10);
  EXPECT_EQ(HexFile_GetErrorText(), "Unknown file type, file '" + path + "'");

  std::string nowhere = folder.file("missing/out.hex");
  EXPECT_EQ(HexFile_Write(list.head(), nowhere, HEXFILE_TYPE_INTEL), -9);
  EXPECT_EQ(HexFile_GetErrorText(), "Can't write file, file '" + nowhere + "'");
  EXPECT_EQ(HexFile_GetLastError(), -9);
}

TEST_F(HexWriteTest, FullDiskIsAFailedWrite) {
  // /dev/full opens, but every write reaching it fails.
  HexSegmentList list = ListOf({{0, Counting(100000)}});
  EXPECT_EQ(HexFile_Write(list.head(), "/dev/full", HEXFILE_TYPE_INTEL), -9);
  EXPECT_STREQ(HexFile_GetErrorText(), "Can't write file, file '/dev/full'");
  // Even a file of one short line.
  EXPECT_EQ(HexFile_Write(nullptr, std::wstring(L"/dev/full"), HEXFILE_TYPE_INTEL), -9);
}

TEST_F(HexWriteTest, AWriteStartsWithAFreshErrorState) {
  HexTextReader r;
  ASSERT_EQ(r.read(":0100000055AB\n"), -7);
  ASSERT_EQ(write({{0, Counting(1)}}), 0);
  EXPECT_EQ(HexFile_GetLastError(), 0);
  EXPECT_STREQ(HexFile_GetErrorText(), "(No error)");
}

}  // namespace
