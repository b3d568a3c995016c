// Reading Intel HEX files: addresses, merging, error codes with their file and
// line parts, and hostile input.
#include <gtest/gtest.h>
#include <unistd.h>


#include "firmware/HexFileTestSupport.h"

namespace {

const std::string kEof = ":00000001FF\n";

std::string Lines(std::initializer_list<std::string> lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\n";
  return text;
}

class HexReadTest : public ::testing::Test {
 protected:
  HexTextReader r;
};

// ---- addresses and merging ---------------------------------------------------

TEST_F(HexReadTest, ContiguousRecordsOfAnyLengthGiveOneSegment) {
  std::vector<uint8_t> all = Counting(16 + 3 + 32 + 255 + 1, 7);
  std::string text;
  uint32_t at = 0x0100;
  size_t i = 0;
  for (size_t len : {16, 3, 32, 255, 1}) {
    text += Record(0, at, {all.begin() + i, all.begin() + i + len}) + "\n";
    at += len;
    i += len;
  }
  ASSERT_EQ(r.read(text + kEof), 0);
  EXPECT_EQ(r.segments(), (std::vector<SegmentValue>{{0x100, all}}));
  EXPECT_STREQ(HexFile_GetErrorText(), "(No error)");
}

TEST_F(HexReadTest, GapsAndDescendingRecordsStayApartInFileOrder) {
  std::string text = Lines({Record(0, 0x0000, {1, 2}), Record(0, 0x0002, {3}),  // joined
                            Record(0, 0x0010, {4}),                             // after a gap
                            Record(0, 0x0008, {5, 6}),  // below: not joined backwards
                            Record(0, 0x000A, {7}),     // follows the one before: joined
                            Record(0, 0x0003, {8})});   // would close the first gap: apart
  ASSERT_EQ(r.read(text + kEof), 0);
  EXPECT_EQ(r.segments(), (std::vector<SegmentValue>{{0x0, Bytes({1, 2, 3})},
                                                      {0x10, Bytes({4})},
                                                      {0x8, Bytes({5, 6, 7})},
                                                      {0x3, Bytes({8})}}));
}

TEST_F(HexReadTest, AddressBasesPagesAndTheEndOfTheAddressSpace) {
  const struct {
    const char* what;
    std::string text;
    std::vector<SegmentValue> segments;
  } cases[] = {
      {"linear base 0x0001", Lines({Record(4, 0, {0x00, 0x01}), Record(0, 0x0010, {0xAA})}), {{0x10010, Bytes({0xAA})}}},
      {"segment base 0x1000", Lines({Record(2, 0, {0x10, 0x00}), Record(0, 0x0010, {0xBB})}), {{0x10010, Bytes({0xBB})}}},
      // A read starts with both bases at zero (the first case leaves the
      // linear base at 1, the second the segment base at 0x1000).
      {"bases start at zero for every read", Lines({Record(0, 0x0040, {9})}), {{0x40, Bytes({9})}}},
      // Each base keeps its value until the next record of its own type.
      {"both bases",
       Lines({Record(4, 0, {0x00, 0x02}), Record(2, 0, {0x00, 0x10}), Record(0, 0x0001, {1}),
              Record(4, 0, {0x00, 0x03}), Record(0, 0x0001, {2}), Record(2, 0, {0x00, 0x00}), Record(0, 0x0001, {3})}),
       {{0x20101, Bytes({1})}, {0x30101, Bytes({2})}, {0x30001, Bytes({3})}}},
      {"joined across a 64 KiB page",
       Lines({Record(4, 0, {0x00, 0x01}), Record(0, 0xFFFE, {1, 2}), Record(4, 0, {0x00, 0x02}), Record(0, 0, {3, 4})}),
       {{0x1FFFE, Bytes({1, 2, 3, 4})}}},
      // The first record ends exactly at 2^32; a wrapping end must not look contiguous.
      {"not joined across 4 GiB",
       Lines({Record(4, 0, {0xFF, 0xFF}), Record(0, 0xFFFE, {1, 2}), Record(4, 0, {0x00, 0x00}), Record(0, 0, {3, 4})}),
       {{0xFFFFFFFE, Bytes({1, 2})}, {0x0, Bytes({3, 4})}}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(r.read(c.text + kEof), 0) << c.what;
    EXPECT_EQ(r.segments(), c.segments) << c.what;
  }
  ASSERT_EQ(r.read(kEof), 0);
  ASSERT_EQ(r.segments().size(), 1u);  // a file without data keeps one empty segment
  EXPECT_TRUE(r.segments()[0].bytes.empty());
}

TEST_F(HexReadTest, OtherRecordsAndTextAreAcceptedAroundData) {
  std::string text = "; built by hand\r\n\r\n" + Record(5, 0, {0, 0, 1, 0}) + "\r\n" +
                     Record(3, 0, {0, 0, 1, 0}) + "\r\n" +
                     Record(0, 0x20, {0xde, 0xad}) + "  trailing words after a blank\r\n" +
                     Record(0, 0x22, {}) + "\r\n" +  // an empty data record adds nothing
                     ":01002200be1f\t\r\n"           // lower case digits
                     ":00000001ff\r\n\r\n; the end\r\n";
  ASSERT_EQ(r.read(text), 0) << HexFile_GetErrorText();
  EXPECT_EQ(r.segments(), (std::vector<SegmentValue>{{0x20, Bytes({0xDE, 0xAD, 0xBE})}}));
}

// ---- error codes and texts ---------------------------------------------------

struct BadRecordCase {
  const char* what;
  std::string line;  // appears as line 3
  int code;
  const char* message;
};

TEST_F(HexReadTest, EachFaultyRecordGivesItsCodeAndTextWithTheLine) {
  const BadRecordCase cases[] = {
      {"short header", ":0300", -2, "Error in record header"},
      {"non-hex header", ":1G00000000", -2, "Error in record header"},
      {"sign in a field", ":+1000000000", -2, "Error in record header"},
      {"data shorter than its count", ":0400000001020304", -7, "Checksum error"},
      {"data cut in a byte", ":040000000102030", -3, "Error in data record"},
      {"data with a bad digit", ":04000000010203X4F2", -3, "Error in data record"},
      {"eof with count", ":01000001FFFF", -4, "Error in EOF record"},
      {"eof with offset", ":00000101FE", -4, "Error in EOF record"},
      {"linear address with 4 bytes", Record(4, 0, {0, 0, 0, 1}), -5, "Error in address record"},
      {"segment address cut", ":020000021F", -5, "Error in address record"},
      {"start address with 2 bytes", Record(5, 0, {0, 1}), -5, "Error in address record"},
      {"start segment with 3 bytes", Record(3, 0, {0, 1, 2}), -5, "Error in address record"},
      {"unknown type", Record(6, 0, {1}), -6, "Unknown record type"},
      {"bad checksum", ":0100000055AB", -7, "Checksum error"},
      {"missing checksum", ":0100000055", -7, "Checksum error"},
      {"text right after checksum", Record(0, 0, {1}) + "x", -8, "Syntax error"},
      {"NUL after checksum", Record(0, 0, {1}) + std::string(1, '\0'), -8, "Syntax error"},
  };
  for (const BadRecordCase& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = Lines({Record(0, 0, {0xA0}), "comment", c.line}) + kEof;
    EXPECT_EQ(r.read(text), c.code);
    EXPECT_EQ(HexFile_GetLastError(), c.code);
    EXPECT_EQ(HexFile_GetErrorText(), r.errorText(c.message, 3));
  }
}

TEST_F(HexReadTest, ChecksumErrorNamesFileAndLineAsGiven) {
  TempFolder folder;
  char* previous = getcwd(nullptr, 0);
  ASSERT_EQ(chdir(folder.path().c_str()), 0);
  std::string text;
  for (int i = 0; i < 16; i++) text += Record(0, i * 2, {1, 2}) + "\r\n";
  text += ":0200200001020E\r\n" + kEof;  // line 17: sum should be 0xDB
  WriteWholeFile("fw.hex", text);
  HexSegmentList image;
  EXPECT_EQ(HexFile_Read(image.out(), "fw.hex"), -7);
  EXPECT_STREQ(HexFile_GetErrorText(), "Checksum error, file 'fw.hex', line 17");
  // The wide name reads the same file.
  EXPECT_EQ(HexFile_Read(image.out(), std::wstring(L"fw.hex")), -7);
  EXPECT_STREQ(HexFile_GetErrorText(), "Checksum error, file 'fw.hex', line 17");
  ASSERT_EQ(chdir(previous), 0);
  free(previous);
}

TEST_F(HexReadTest, RecordAfterEofIsAnErrorButTextIsNot) {
  EXPECT_EQ(r.read(kEof + "\n; comment\n   \n"), 0);
  EXPECT_EQ(r.read(Lines({Record(0, 0, {1}), ":00000001FF", "", "; note", Record(0, 1, {2})})), -13);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("Records found after EOF record", 5));
  // Even a malformed record after the end counts as a record.
  EXPECT_EQ(r.read(kEof + ":zz\n"), -13);
  EXPECT_EQ(r.read(kEof + kEof), -13);
}

TEST_F(HexReadTest, MissingEofNamesTheLineCount) {
  EXPECT_EQ(r.read(Lines({Record(0, 0, {1}), Record(0, 1, {2}), "", "; end"})), -12);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("No EOF record", 4));
  // A last line without a line end still counts.
  EXPECT_EQ(r.read(Record(0, 0, {1}) + "\n" + Record(0, 1, {2})), -12);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("No EOF record", 2));
  // An empty file has no lines: no line part.
  EXPECT_EQ(r.read(""), -12);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("No EOF record", 0));
}

TEST_F(HexReadTest, FailureHandsOutWhatWasReadBeforeTheFailingRecord) {
  std::string text = Lines({Record(0, 0, {1, 2}), Record(0, 2, {3}), ":01000300041A"}) + kEof;
  ASSERT_EQ(r.read(text), -7);
  // Not merged, and the failing record's segment is empty.
  auto segs = r.segments();
  ASSERT_EQ(segs.size(), 3u);
  EXPECT_EQ(segs[0], (SegmentValue{0, Bytes({1, 2})}));
  EXPECT_EQ(segs[1], (SegmentValue{2, Bytes({3})}));
  EXPECT_TRUE(segs[2].bytes.empty());
}

TEST_F(HexReadTest, FileNameFaults) {
  HexSegmentList image;
  EXPECT_EQ(HexFile_Read(image.out(), std::string()), -14);
  EXPECT_EQ(image.head(), nullptr);
  EXPECT_STREQ(HexFile_GetErrorText(), "Empty filename");
  EXPECT_EQ(HexFile_Read(image.out(), std::wstring()), -14);

  std::string missing = r.folder.file("none.hex");
  EXPECT_EQ(HexFile_Read(image.out(), missing), -1);
  EXPECT_EQ(HexFile_GetErrorText(), "Can't read file, file '" + missing + "'");

  // A folder opens but cannot be read: that is not a file without an EOF record.
  EXPECT_EQ(HexFile_Read(image.out(), r.folder.path()), -1);
  EXPECT_EQ(HexFile_GetErrorText(), "Can't read file, file '" + r.folder.path() + "'");
}

TEST_F(HexReadTest, FileNameIsInsertedAsTextNotAsFormat) {
  std::string path = r.folder.file("100%s %d %n.hex");
  WriteWholeFile(path, ":00000001FF x\n:zz\n");
  HexSegmentList image;
  EXPECT_EQ(HexFile_Read(image.out(), path), -13);
  EXPECT_EQ(HexFile_GetErrorText(), "Records found after EOF record, file '" + path + "', line 2");
  // Non-ASCII wide names arrive as UTF-8.
  std::string utf8 = r.folder.file("Fl\xC3\xA4" "che.hex");
  WriteWholeFile(utf8, kEof);
  std::wstring wide(utf8.begin(), utf8.end() - 11);
  wide += L"Fl\u00E4che.hex";
  EXPECT_EQ(HexFile_Read(image.out(), wide), 0);
}

// ---- long lines --------------------------------------------------------------

TEST_F(HexReadTest, LinesUpTo1023CharactersCountOnceLongerOnesContinue) {
  std::string text = std::string(1023, 'x') + "\n" + std::string(1023, ' ') + "\r\n" +
                     ":0100000055AB\n";  // bad checksum on line 3
  EXPECT_EQ(r.read(text), -7);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("Checksum error", 3));
  // 1024 and 2047 characters: two and three lines.
  text = std::string(1024, 'x') + "\n" + std::string(2047, '-') + "\n" +
                     ":0100000055AB\n";
  EXPECT_EQ(r.read(text), -7);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("Checksum error", 6));

  // A record after 1023 blanks of the same line is read as a record of its own.
  EXPECT_EQ(r.read(std::string(1023, ' ') + kEof), 0);
  // Text beyond a record's first 1023 characters continues as a line that is not a record.
  EXPECT_EQ(r.read(Record(0, 0, {1}) + std::string(1023 - 13, ' ') + "tail\n" + kEof), 0);
  EXPECT_EQ(r.segments(), (std::vector<SegmentValue>{{0, Bytes({1})}}));
  // The record itself stays within the limit: garbage right behind it is a syntax error.
  EXPECT_EQ(r.read(Record(0, 0, {1}) + std::string(5000, 'z') + "\n" + kEof), -8);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("Syntax error", 1));
}

TEST_F(HexReadTest, TenMegabyteLineWithoutLineEnd) {
  std::string text(10 * 1024 * 1024, 'A');
  EXPECT_EQ(r.read(text), -12);
  int pieces = static_cast<int>((text.size() + 1022) / 1023);
  EXPECT_EQ(HexFile_GetErrorText(), r.errorText("No EOF record", pieces));
}

TEST_F(HexReadTest, TenMegabyteImageReadsBackWhole) {
  std::vector<uint8_t> data = Counting(5 * 1024 * 1024, 11);  // about 10.5 MiB of text
  for (size_t i = 0; i < data.size(); i += 7) data[i] ^= static_cast<uint8_t>(i >> 8);
  std::string text;
  text.reserve(11 << 20);
  uint32_t page = 0;
  for (size_t i = 0; i < data.size(); i += 128) {
    uint32_t address = 0x08000000 + static_cast<uint32_t>(i);
    if (address >> 16 != page) {
      page = address >> 16;
      text += Record(4, 0, Bytes({static_cast<int>(page >> 8), static_cast<int>(page & 0xFF)})) + "\n";
    }
    size_t n = std::min<size_t>(128, data.size() - i);
    text += Record(0, address & 0xFFFF, {data.begin() + i, data.begin() + i + n}) + "\n";
  }
  ASSERT_GT(text.size(), 10u * 1024 * 1024);
  ASSERT_EQ(r.read(text + kEof), 0);
  EXPECT_EQ(r.segments(), (std::vector<SegmentValue>{{0x08000000, data}}));
}

// ---- hostile input -----------------------------------------------------------

TEST_F(HexReadTest, TruncatedFilesFailCleanly) {
  std::string whole = Lines({Record(4, 0, {0, 1}), Record(0, 0x10, Counting(16)),
                             Record(0, 0x20, Counting(16))}) + kEof;
  for (size_t cut = 0; cut + 1 < whole.size(); cut++) {  // the last cut drops only the line end
    SCOPED_TRACE(cut);
    int rc = r.read(whole.substr(0, cut));
    EXPECT_TRUE(rc == -12 || rc == -5 || rc == -3 || rc == -2 || rc == -7) << rc;
  }
  // Cut in the middle of the EOF record's checksum.
  EXPECT_EQ(r.read(whole.substr(0, whole.size() - 2)), -7);
}

}  // namespace
