// Agreement with an independent tool: srec_cat's HEX files read into the
// bytes srec_cat itself sees, and srec_cat accepts the files we write.
#include <gtest/gtest.h>

#include "firmware/HexFileTestSupport.h"

namespace {

// The image laid out flat from `base`, holes as 0 (what srec_cat's binary output holds).
std::vector<uint8_t> Flatten(const std::vector<SegmentValue>& image, uint32_t base) {
  std::vector<uint8_t> flat;
  for (const SegmentValue& s : image) {
    size_t at = s.address - base;
    if (flat.size() < at + s.bytes.size()) flat.resize(at + s.bytes.size(), 0);
    std::copy(s.bytes.begin(), s.bytes.end(), flat.begin() + static_cast<ptrdiff_t>(at));
  }
  return flat;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::string text = ReadWholeFile(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

int Shell(const std::string& command) { return std::system((command + " 2>&1").c_str()); }

class SrecCatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveSrecCat()) GTEST_SKIP() << "srec_cat is not installed";
  }
  TempFolder folder;
};

struct SrecLayout {
  const char* what;
  const char* regions;  // srec_cat generator arguments
  const char* options;  // output options
  uint32_t lowest;
  size_t segments;  // contiguous runs
};

TEST_F(SrecCatTest, FilesWrittenBySrecCatReadIntoTheSameBytes) {
  const SrecLayout layouts[] = {
      {"linear addresses, 16-byte records",
       "-generate 0x0800FFF0 0x08010100 -random -generate 0x08020000 0x08020011 -random",
       "-address-length=4", 0x0800FFF0, 2},
      {"segment addresses, 32-byte records",
       "-generate 0x0FFF0 0x10033 -random -generate 0x30000 0x30400 -random",
       "-address-length=3 -output-block-size=32", 0x0FFF0, 2},
      {"16-bit addresses, 255-byte records", "-generate 0x0100 0x2000 -random",
       "-address-length=2 -output-block-size=255", 0x0100, 1},
  };
  for (const SrecLayout& l : layouts) {
    SCOPED_TRACE(l.what);
    std::string hex = folder.file("in.hex"), bin = folder.file("in.bin");
    ASSERT_EQ(Shell("srec_cat " + std::string(l.regions) + " -o " + hex + " -intel " + l.options), 0);
    char offset[32];
    snprintf(offset, sizeof offset, "-0x%X", l.lowest);
    ASSERT_EQ(Shell("srec_cat " + hex + " -intel -offset " + offset + " -o " + bin + " -binary"), 0);

    HexSegmentList image;
    ASSERT_EQ(HexFile_Read(image.out(), hex), 0) << HexFile_GetErrorText();
    std::vector<SegmentValue> segs = SegmentsOf(image.head());
    EXPECT_EQ(segs.size(), l.segments) << "contiguous runs must be joined";
    EXPECT_EQ(segs.front().address, l.lowest);
    EXPECT_EQ(Flatten(segs, l.lowest), ReadBytes(bin));
  }
}

TEST_F(SrecCatTest, SrecCatAcceptsTheFilesWeWrite) {
  std::vector<SegmentValue> image = {
      {0x0001FFF0, Counting(0x30, 1)},   // across a page
      {0x00000100, Counting(5, 2)},      // below the first
      {0x00050000, Counting(70000, 3)},  // more than a page
  };
  std::string hex = folder.file("ours.hex"), bin = folder.file("ours.bin");
  HexSegmentList list = ListOf(image);
  ASSERT_EQ(HexFile_Write(list.head(), hex, HEXFILE_TYPE_INTEL), 0);
  ASSERT_EQ(Shell("srec_cat -disable-sequence-warnings " + hex + " -intel -offset -0x100 -o " + bin + " -binary"), 0);
  EXPECT_EQ(ReadBytes(bin), Flatten(image, 0x100));
}

}  // namespace
