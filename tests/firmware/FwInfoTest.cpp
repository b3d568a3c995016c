// The file side of the firmware identity: finding the info table in byte and
// word images, reading its entries, code start and size, and the size text.
#include <gtest/gtest.h>

#include "firmware/FwInfo.h"
#include "firmware/HexFileTestSupport.h"
#include "firmware/HexImageBuilder.h"
#include "core/Options.h"
#include "support/AppFixture.h"

namespace {

using ByteVec = std::vector<uint8_t>;

FwInfoValues Declared(int type, int hardware, int major, int minor, int infoType = 1) {
  FwInfoValues v;
  v.infoType = infoType;
  v.moduleType = type;
  v.hardwareVersion = hardware;
  v.softwareMajor = major;
  v.softwareMinor = minor;
  return v;
}

int Scan(const std::vector<SegmentValue>& segments, FwHexInfo& out) {
  HexSegmentList image = ListOf(segments);
  out = FwHexInfo{};
  return FwInfo_ScanImage(image.head(), out);
}

TEST(FwInfoScan, ByteImageDeclaresItsIdentity) {
  FwImageLayout layout;
  layout.address = 0x1000;
  layout.codeBytes = 1000;
  layout.info = Declared(0x1234, 3, 2, 17);
  FwHexInfo h;
  ASSERT_EQ(Scan({{0x1000, FwImage_FirmwareBytes(layout)}}, h), 0);
  EXPECT_EQ(h.infoType, 1);
  EXPECT_EQ(h.moduleType, 0x1234);
  EXPECT_EQ(h.hardwareVersion, 3);
  EXPECT_EQ(h.softwareVersion, "2.17");
  EXPECT_EQ(h.codeStart, 0x1000u);
  EXPECT_EQ(h.size, 1000);
  EXPECT_EQ(h.wordData, 0);
}

TEST(FwInfoScan, MarkerAfterATildeIsFoundWhereItReallyBegins) {
  // "~~KVXINFOSTRUCT~": a search that drops the second "~" after the first
  // mismatch misses the marker, one that reports the first "~" reads the
  // entries one byte off.
  ByteVec bytes = FwImage_Pattern(40, 9);
  bytes.push_back('~');
  ByteVec table = FwInfo_Table(Declared(0x0701, 2, 1, 5));
  bytes.insert(bytes.end(), table.begin(), table.end());
  FwHexInfo h;
  ASSERT_EQ(Scan({{0x0, bytes}}, h), 0);
  EXPECT_EQ(h.moduleType, 0x0701);
  EXPECT_EQ(h.hardwareVersion, 2);
  EXPECT_EQ(h.softwareVersion, "1.5");
}

TEST(FwInfoScan, WordImageHalvesTheCodeStartAndReadsTheSpreadEntries) {
  FwImageLayout layout;
  layout.address = 0x800;
  layout.codeBytes = 600;
  layout.wordData = true;
  layout.info = Declared(0x0a10, 4, 3, 2);
  FwHexInfo h;
  ASSERT_EQ(Scan({{0x800, FwImage_FirmwareBytes(layout)}}, h), 0);
  EXPECT_EQ(h.wordData, 1);
  EXPECT_EQ(h.codeStart, 0x400u);
  EXPECT_EQ(h.moduleType, 0x0a10);
  EXPECT_EQ(h.hardwareVersion, 4);
  EXPECT_EQ(h.softwareVersion, "3.2");
}

TEST(FwInfoScan, KeysEndAtBlankOrEqualsAndOtherKeysAreSkipped) {
  for (char terminator : {' ', '='}) {
    FwInfoValues v = Declared(77, 1, 4, 0);
    v.keyTerminator = terminator;
    ByteVec bytes = FwInfo_Table(v);
    // An unknown key in the middle, and an entry after the closing marker that must not count.
    ByteVec unknown = FwInfo_Entry("MODULE_TYPES", 0, 0, 0, 99);
    bytes.insert(bytes.begin() + kFwInfoEntrySize, unknown.begin(), unknown.end());
    ByteVec late = FwInfo_Entry("HARDW_VERSION", 0, 0, 0, 42);
    bytes.insert(bytes.end(), late.begin(), late.end());
    FwHexInfo h;
    ASSERT_EQ(Scan({{0x200, bytes}}, h), 0) << terminator;
    EXPECT_EQ(h.moduleType, 77);
    EXPECT_EQ(h.hardwareVersion, 1);
  }
}

TEST(FwInfoScan, FilesThatAreNoApplicationFirmwareStillTellCodeStartAndSize) {
  FwHexInfo h;
  // No marker at all, over two segments.
  EXPECT_EQ(Scan({{0x3000, FwImage_Pattern(100, 1)}, {0x2000, FwImage_Pattern(50, 2)}}, h), -1);
  EXPECT_EQ(h.codeStart, 0x2000u);
  EXPECT_EQ(h.size, 150);
  EXPECT_EQ(h.wordData, 0);
  EXPECT_EQ(h.moduleType, -1);

  // A bootloader image: info type 0 with its version.
  EXPECT_EQ(Scan({{0x0, FwInfo_Table(Declared(5, 1, 1, 3, 0))}}, h), -1);
  EXPECT_EQ(h.infoType, 0);
  EXPECT_EQ(h.softwareVersion, "1.3");

  // A table without an info type entry.
  FwInfoValues none = Declared(5, 1, 1, 3);
  none.infoType.reset();
  EXPECT_EQ(Scan({{0x0, FwInfo_Table(none)}}, h), -1);
  EXPECT_EQ(h.moduleType, 5);
}

TEST(FwInfoScan, MarkerAtTheVeryEndOfASegmentReadsNothingBeyondIt) {
  ByteVec bytes = FwImage_Pattern(64, 3);
  const std::string marker = "~KVXINFOSTRUCT~";
  bytes.insert(bytes.end(), marker.begin(), marker.end());
  FwHexInfo h;
  EXPECT_EQ(Scan({{0x100, bytes}, {0x1000, FwInfo_Table(Declared(1, 1, 1, 1))}}, h), -1);
  EXPECT_EQ(h.infoType, -1);  // the later segment's table is not searched once a marker was found
  EXPECT_EQ(h.size, int64_t(bytes.size()) + int64_t(FwInfo_Table(Declared(1, 1, 1, 1)).size()));

  // Cut one byte short, the marker is not there at all; the next segment's table is.
  bytes.pop_back();
  EXPECT_EQ(Scan({{0x100, bytes}, {0x1000, FwInfo_Table(Declared(9, 1, 1, 1))}}, h), 0);
  EXPECT_EQ(h.moduleType, 9);
}

TEST(FwInfoScan, LastEntryEndingWithTheSegmentIsRead) {
  FwInfoValues v = Declared(0x55, 6, 1, 1);
  v.closingMarker = false;
  ByteVec bytes = FwInfo_Table(v);  // ends with the software version entry
  FwHexInfo h;
  ASSERT_EQ(Scan({{0x0, bytes}}, h), 0);
  EXPECT_EQ(h.softwareVersion, "1.1");
  // One byte less and that entry is incomplete: not read.
  bytes.pop_back();
  ASSERT_EQ(Scan({{0x0, bytes}}, h), 0);
  EXPECT_EQ(h.softwareVersion, "");
}

TEST(FwInfoScan, CodeStartIsTheLowestAddressAlsoAbove2GiB) {
  FwHexInfo h;
  Scan({{0x80001000, FwImage_Pattern(16, 1)}, {0x1000, FwInfo_Table(Declared(1, 1, 1, 1))}}, h);
  EXPECT_EQ(h.codeStart, 0x1000u);
}

TEST(FormatSizeText, KiloAndMegaAboveTheirUnit) {
  EXPECT_EQ(FormatSize(0), "0");
  EXPECT_EQ(FormatSize(1024), "1024");
  EXPECT_EQ(FormatSize(1025), "1.0k");
  EXPECT_EQ(FormatSize(63295), "61.8k");
  EXPECT_EQ(FormatSize(1048576), "1024.0k");
  EXPECT_EQ(FormatSize(1048577), "1.0M");
  EXPECT_EQ(FormatSize(10 * 1048576 + 524288), "10.5M");
}

class FwInfoFileTest : public AppStateTest {
 protected:
  TempFolder folder;
};

TEST_F(FwInfoFileTest, ReadErrorsAreShownOnlyWhenAsked) {
  FwHexInfo h;
  EXPECT_EQ(FwInfo_ReadHexFile("", true, h), -1);  // nothing to read, nothing to say
  const std::string missing = folder.file("missing.hex");
  EXPECT_EQ(FwInfo_ReadHexFile(missing, false, h), -1);
  EXPECT_TRUE(ui.messages().empty());

  Option_SetInt("ERRORS_IN_STATUSBAR", 0);
  WriteWholeFile(folder.file("bad.hex"), ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF01\r\n");
  ui.expectMessage("Hex file read error:\n", UiAnswer::Ok);
  EXPECT_EQ(FwInfo_ReadHexFile(folder.file("bad.hex"), true, h), -1);
  EXPECT_EQ(h.size, -1);
}

TEST_F(FwInfoFileTest, HugeFileWithTheTableAtItsEnd) {
  FwHexInfo h;
  // 10 MiB of data with the table at the very end.
  FwImageLayout layout;
  layout.address = 0;
  layout.codeBytes = 10u << 20;
  layout.tableOffset = layout.codeBytes - 100;
  layout.info = Declared(3, 1, 9, 9);
  ASSERT_TRUE(HexImageBuilder().addFirmware(layout).writeHexFile(folder.file("big.hex")));
  ASSERT_EQ(FwInfo_ReadHexFile(folder.file("big.hex"), false, h), 0);
  EXPECT_EQ(h.size, int64_t(10) << 20);
  EXPECT_EQ(h.softwareVersion, "9.9");
}

}  // namespace
