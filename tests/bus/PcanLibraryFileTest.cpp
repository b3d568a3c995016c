// The carried adapter library written to the home folder: reused only when
// the file holds exactly the carried bytes, otherwise replaced by a new file
// readable and writable by the user only.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "bus/PcanLibraryFile.h"
#include "support/TestEnvironment.h"

namespace {

struct FileState {
  ino_t inode = 0;
  mode_t mode = 0;
  bool isLink = false;
};

FileState StateOf(const std::string& path) {
  struct stat st {};
  FileState s;
  if (::lstat(path.c_str(), &st) != 0) return s;
  s.inode = st.st_ino;
  s.mode = st.st_mode & 07777;
  s.isLink = S_ISLNK(st.st_mode);
  return s;
}

TEST(PcanLibraryFile, ReusedOnlyWhenItHoldsTheCarriedBytesElseReplacedPrivately) {
  const std::string image(reinterpret_cast<const char*>(kPcanLibraryImage), kPcanLibraryImageSize);
  ASSERT_GT(image.size(), 1024u);
  std::string altered = image;
  altered[altered.size() / 2] ^= 0x5A;
  TempFolder folder;
  const std::string elsewhere = folder.file("elsewhere");
  WriteWholeFile(elsewhere, image);

  const struct {
    const char* name;
    const char* existing;  // nullptr: no file; "link": a symbolic link to a copy elsewhere
    std::string bytes;
    mode_t mode;
    bool written;
  } cases[] = {
      {"absent", nullptr, "", 0, true},
      {"the same bytes", "file", image, 0600, false},
      {"the same bytes, readable by all", "file", image, 0644, false},
      {"the same size, other bytes", "file", altered, 0600, true},
      {"another size", "file", image.substr(0, 1000), 0600, true},
      {"empty", "file", "", 0600, true},
      {"a symbolic link", "link", "", 0, true},
  };
  for (const auto& c : cases) {
    const std::string path = folder.file("PCAN_USB.DLL");
    ::unlink(path.c_str());
    if (c.existing && std::string(c.existing) == "link") {
      ASSERT_EQ(::symlink(elsewhere.c_str(), path.c_str()), 0);
    } else if (c.existing) {
      WriteWholeFile(path, c.bytes);
      ::chmod(path.c_str(), c.mode);
    }
    const FileState before = StateOf(path);
    bool written = false;
    ASSERT_EQ(PcanLibraryFile_Place(path, kPcanLibraryImage, kPcanLibraryImageSize, &written), 0) << c.name;
    EXPECT_EQ(written, c.written) << c.name;
    const FileState after = StateOf(path);
    EXPECT_FALSE(after.isLink) << c.name;
    EXPECT_EQ(after.mode, 0600u) << c.name;
    EXPECT_TRUE(ReadWholeFile(path) == image) << c.name;
    if (!c.written) {
      EXPECT_EQ(after.inode, before.inode) << c.name << ": the very file is kept";
    }
  }
  EXPECT_TRUE(ReadWholeFile(elsewhere) == image) << "a link's target is never written";
  EXPECT_EQ(StateOf(elsewhere).mode & 0600, 0600u);
}

TEST(PcanLibraryFile, AFolderThatCannotTakeTheFileFailsAndLeavesNothingBehind) {
  TempFolder folder;
  EXPECT_EQ(PcanLibraryFile_Place(folder.file("missing/PCAN_USB.DLL"), kPcanLibraryImage, kPcanLibraryImageSize),
            -1);
  ASSERT_EQ(::mkdir(folder.file("PCAN_USB.DLL").c_str(), 0700), 0);  // a folder of that name
  EXPECT_LT(PcanLibraryFile_Place(folder.file("PCAN_USB.DLL"), kPcanLibraryImage, kPcanLibraryImageSize), 0);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) ++entries;
  EXPECT_EQ(entries, 1) << "no temporary file left beside the folder";
}

}  // namespace
