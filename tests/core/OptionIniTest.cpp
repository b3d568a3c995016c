// The INI file: reading its line forms and errors, the written format, the
// round trip of every option, safe saving and hostile input.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <clocale>
#include <filesystem>

#include "core/Session.h"
#include "CoreTestSupport.h"
#include "core/NumberText.h"
#include "core/OptionStore.h"
#include "core/OptionTable.h"

namespace {

class IniTest : public OptionTest {
 protected:
  // Writes the text as the INI file and reads it at the verbosity given.
  int load(const std::string& text, int verbosity = 1) {
    WriteWholeFile(ini, text);
    return Option_LoadIni(ini.c_str(), verbosity);
  }
  std::string syntaxError(int line, int column) const {
    return "Syntax error in INI file " + ini + ", line " + std::to_string(line) + ", column " +
           std::to_string(column);
  }
  TestHome home;
  std::string ini = home.file("KVXconfig.ini");
};

using Reports = std::vector<std::string>;

// ---- reading -------------------------------------------------------------------

TEST_F(IniTest, KeyAndValueMaySeparateByBlanksEqualsOrBoth) {
  const char* const lines[] = {"SCAN_RANGE_STOP=100", "scan_range_stop   100",
                               "  Scan_Range_Stop = = 100   trailing words",
                               "\tSCAN_RANGE_STOP\t=\t100\t# comment", "SCAN_RANGE_STOP==100"};
  for (const char* line : lines) {
    Option_SetInt("SCAN_RANGE_STOP", 1);
    EXPECT_EQ(load(std::string(line) + "\n"), 0) << line;
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 100) << line;
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(IniTest, CommentsBlankLinesAndCrLfLineEnds) {
  EXPECT_EQ(load("# settings\r\n\r\n   \r\n   # indented comment\r\nSCAN_RANGE_START = 3\r\n"
                 "DEFAULT_INTERFACE = \"PCAN USB\"\r\n"),
            0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 3);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_TRUE(reports().empty());
}

// A syntax error ends the read: what came before it is kept, nothing after it is read.
TEST_F(IniTest, SyntaxErrorsNameLineAndColumnAndEndTheRead) {
  const struct {
    const char* text;
    int line, column, start;
  } cases[] = {
      // A key without value: at the line end, after the separators, without a line end.
      {"SCAN_RANGE_START = 5\nSCAN_RANGE_STOP\nSCAN_CHECK_INTERVAL_MS = 7\n", 2, 16, 5},
      {"SCAN_RANGE_STOP = \n", 1, 19, 1},
      {"SCAN_RANGE_STOP", 1, 16, 1},
      // A quoted number: at the opening quote.
      {"SCAN_RANGE_START = \"5\"\n", 1, 20, 1},
      {"\n# x\nPROGRAM_SEND_INTERVAL_MS \"2.5\"\n", 3, 26, 1},
      {"MODBUS_BAUDRATE=\"9600\"\n", 1, 17, 1},
      // An unterminated quote: at the line end.
      {"DEFAULT_INTERFACE = \"PCAN USB\nSCAN_RANGE_STOP = 9\n", 1, 30, 1},
  };
  for (const auto& c : cases) {
    Option_SetInt("SCAN_RANGE_START", 1);
    OptionReports().clear();
    EXPECT_EQ(load(c.text), -1) << c.text;
    EXPECT_EQ(reports(), Reports{syntaxError(c.line, c.column)}) << c.text;
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), c.start) << c.text;
    EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 127) << c.text;
    EXPECT_EQ(Option_GetInt("SCAN_CHECK_INTERVAL_MS"), 100) << c.text;
    EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "None") << c.text;
  }
}

TEST_F(IniTest, QuotedAndUnquotedText) {
  EXPECT_EQ(load("DEFAULT_INTERFACE = \"PCAN USB\" anything after\n"), 0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_EQ(load("DEFAULT_INTERFACE = PCAN USB\n"), 0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN");
  EXPECT_EQ(load("ETHERNET_HOSTNAME = \"\"\n"), 0);
  EXPECT_STREQ(Option_GetString("ETHERNET_HOSTNAME"), "");
  EXPECT_EQ(load("RECENT_LOGFILE = \"/data/can log.txt\"\n"), 0);
  EXPECT_EQ(Option_GetWString("RECENT_LOGFILE"), L"/data/can log.txt");
  EXPECT_TRUE(reports().empty());
}

// Nothing is escaped on writing, so a quote inside a value must survive by
// reading to the quote that ends the line; text after a closing quote that
// does not end the line is still ignored.
TEST_F(IniTest, QuotesInsideAValueSurviveSaveAndLoad) {
  Option_SetWString("RECENT_HEXFILE", L"/fw/\"new\" board.hex");
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  Option_SetWString("RECENT_HEXFILE", L"");
  ASSERT_EQ(Option_LoadIni(ini.c_str(), 1), 0);
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE"), L"/fw/\"new\" board.hex");
  EXPECT_EQ(load("DEFAULT_INTERFACE = \"PCAN USB\" \r\n"), 0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_EQ(load("DEFAULT_INTERFACE = \"None\" and \"more\" text\n"), 0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "None");
  EXPECT_TRUE(reports().empty());
}

TEST_F(IniTest, TooLongValueIsReportedSkippedAndTheNextLineRead) {
  Option_SetString("DEFAULT_INTERFACE", "PCAN USB");
  EXPECT_EQ(load("DEFAULT_INTERFACE = \"" + std::string(65, 'A') + "\"\nSCAN_RANGE_STOP = 50\n"), 0);
  EXPECT_EQ(reports(), Reports{"Value too long error in INI file " + ini +
                               ", line 1,\nvariable 'DEFAULT_INTERFACE' (has 65 chars, max. "
                               "allowed 64 chars)"});
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 50);
  // 64 characters fit.
  EXPECT_EQ(load("DEFAULT_INTERFACE " + std::string(64, 'B') + "\n"), 0);
  EXPECT_EQ(std::string(Option_GetString("DEFAULT_INTERFACE")), std::string(64, 'B'));
}

TEST_F(IniTest, UnstoredOptionIsMatchedSilentlyAndNeverWritten) {
  EXPECT_EQ(load("ETHERNET_PORTNO = 5000\nLOGGER_FILTER_MODE \"quoted\"\nSCAN_RANGE_STOP = 8\n"), 0);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_GetInt("ETHERNET_PORTNO"), 1664);
  EXPECT_EQ(Option_GetInt("LOGGER_FILTER_MODE"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 8);

  Option_SetInt("ETHERNET_PORTNO", 5000);
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  const std::string written = ReadWholeFile(ini);
  EXPECT_EQ(written.find("ETHERNET_PORTNO"), std::string::npos);
  EXPECT_EQ(written.find("LOGGER_FILTER_MODE"), std::string::npos);
  EXPECT_EQ(written.find("PROGRAM_ALLOW_WRONG_TYPE"), std::string::npos);
}

TEST_F(IniTest, UnknownKeyIsReportedOnlyFromVerbosityOne) {
  const std::string text = "SCAN_RANGE_START = 2\n\nNO_SUCH_KEY = 1\nSCAN_RANGE_STOP = 3\n";
  EXPECT_EQ(load(text, 0), 0);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 3);
  EXPECT_EQ(load(text, 1), 0);
  EXPECT_EQ(reports(), Reports{"Error: Unknown variable 'NO_SUCH_KEY' in INI file " + ini + ", line 3"});
}

TEST_F(IniTest, VerbosityZeroIsSilentButStillFails) {
  EXPECT_EQ(load("SCAN_RANGE_STOP\n", 0), -1);
  EXPECT_EQ(load("DEFAULT_INTERFACE " + std::string(100, 'x') + "\n", 0), 0);
  EXPECT_TRUE(reports().empty());
}

TEST_F(IniTest, MissingFileIsReportedOnlyAtVerbosityTwo) {
  const std::string missing = home.file("absent.ini");
  EXPECT_EQ(Option_LoadIni(missing.c_str(), 1), -1);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_LoadIni(missing.c_str(), 2), -1);
  EXPECT_EQ(reports(), Reports{"Error: Can't read INI file " + missing});
  // A folder is no INI file either.
  OptionReports().clear();
  EXPECT_EQ(Option_LoadIni(home.path().c_str(), 2), -1);
  EXPECT_EQ(reports(), Reports{"Error: Can't read INI file " + home.path()});
}

TEST_F(IniTest, NumbersConvertLikeDefaults) {
  EXPECT_EQ(load("SCAN_RANGE_START = 12abc\nSCAN_RANGE_STOP = abc\nMEM_PEEK_STARTADR = -40\n"
                 "MEM_PEEK_LENGTH = +16\nLOGGER_BUFFERSIZE = 99999999999\n"
                 "MODBUS_BAUDRATE = 0x100\nPROGRAM_SEND_INTERVAL_MS = 2.5ms\n"),
            0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 12);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 0);
  EXPECT_EQ(Option_GetInt("MEM_PEEK_STARTADR"), -40);
  EXPECT_EQ(Option_GetInt("MEM_PEEK_LENGTH"), 16);
  EXPECT_EQ(Option_GetLong("LOGGER_BUFFERSIZE"), INT32_MAX);  // saturates
  EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), 0);           // decimal only
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 2.5);
  EXPECT_TRUE(reports().empty());
}

TEST_F(IniTest, DefaultPathIsTheBaseNameInTheHomeFolder) {
  EXPECT_EQ(Option_IniPath(), home.path() + "/KVXconfig.ini");
  Option_SetInt("SCAN_RANGE_STOP", 77);
  ASSERT_EQ(Option_SaveIni(nullptr), 0);
  Session nextRun;
  EXPECT_EQ(Option_LoadIni(nullptr, 2), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 77);

  ::setenv("HOMEDRIVE", "/drive", 1);
  ::setenv("HOMEPATH", "/users/tech", 1);
  EXPECT_EQ(Option_IniPath(), "/drive/users/tech/KVXconfig.ini");
  ::unsetenv("HOMEDRIVE");
  ::unsetenv("HOMEPATH");
  ::unsetenv("HOME");
  EXPECT_EQ(Option_IniPath(), "/KVXconfig.ini");  // the root stands for drive C:
}

// ---- writing -------------------------------------------------------------------

TEST_F(IniTest, WrittenFileLayout) {
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  const std::string text = ReadWholeFile(ini);
  EXPECT_EQ(text.rfind("# Initialization file for KVXconfig\n\nVORN_PROT_BASE_ID = 1664\n"
                       "SCAN_RANGE_START = 1\nSCAN_RANGE_STOP = 127\n",
                       0),
            0u);
  EXPECT_NE(text.find("\nMSGREQUEST_TIMEOUT_MS = 1000\nDEFAULT_INTERFACE = \"None\"\nAUTOUPDATE = 1\n"
                      "RECENT_HEXFILE = \"\"\nSCAN_FLASHMODE = 1\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nERRORS_IN_STATUSBAR = 1\nPROGRAM_SEND_INTERVAL_MS = 10.000000\n"
                      "PROGRAM_SEND_SYNC = 0\n"),
            std::string::npos);
  EXPECT_NE(text.find("\nMODBUS_BAUDRATE = 19200\nMODBUS_PROTOCOL = \"8E1\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nLIN_TIMEOUT_MS = 800\nETHERNET_HOSTNAME = \"\"\nETHERNET_CANBUSNO = 0\n"),
            std::string::npos);
  const std::string tail = "\nAUTO_INTERF_SET = 1\nSMS_LOADSAVE_FILE = \"\"\nETH_OPEN_STARTSTOPDIALOG = 0\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
  // Header, blank line and the 72 stored rows.
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 2 + 72);
}

TEST_F(IniTest, TextIsWrittenAsIsWithoutEscapes) {
  Option_SetString("ETHERNET_HOSTNAME", "a\\b 'c'");
  Option_SetWString("RECENT_HEXFILE", L"/fw/gr\u00fc\u00dfe.hex");
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 0.1);
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  const std::string text = ReadWholeFile(ini);
  EXPECT_NE(text.find("\nETHERNET_HOSTNAME = \"a\\b 'c'\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nRECENT_HEXFILE = \"/fw/gr\xc3\xbc\xc3\x9f" "e.hex\"\n"), std::string::npos);
  EXPECT_NE(text.find("\nPROGRAM_SEND_INTERVAL_MS = 0.100000\n"), std::string::npos);
}

TEST_F(IniTest, LineBreaksInsideAValueAreWrittenAsBlanks) {
  Option_SetWString("LOGGER_FILTER_LIST", L"1-5\n7\r\n9");
  Option_SetInt("LOG_FILE_APPEND_MODE", 1);
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  EXPECT_NE(ReadWholeFile(ini).find("\nLOGGER_FILTER_LIST = \"1-5 7  9\"\n"), std::string::npos);
  Session nextRun;
  Option_Init(&CaptureOptionReport);
  EXPECT_EQ(Option_LoadIni(ini.c_str(), 1), 0);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_GetWString("LOGGER_FILTER_LIST"), L"1-5 7  9");
  EXPECT_EQ(Option_GetInt("LOG_FILE_APPEND_MODE"), 1);      // the lines after it survive
  EXPECT_EQ(Option_GetInt("ETH_OPEN_STARTSTOPDIALOG"), 1);
}

// A value of each option's type that is not its default.
void setNonDefault(const OptionSlot& slot, size_t row) {
  const char* name = slot.def->name;
  switch (slot.def->type) {
    case 'i': Option_SetInt(name, int(row) * 1000 + 17 - (row % 2 ? 100000 : 0)); break;
    case 'l': Option_SetLong(name, int32_t(row) * 123457 + 1); break;
    case 'd': Option_SetDouble(name, double(row) + 0.125); break;
    case 's': Option_SetString(name, ("s " + std::to_string(row)).c_str()); break;
    case 'w': Option_SetWString(name, L"/w\u00e9 " + std::to_wstring(row)); break;
  }
}

void expectValue(const OptionSlot& slot, size_t row, bool changed) {
  const char* name = slot.def->name;
  switch (slot.def->type) {
    case 'i': {
      const int want = changed ? int(row) * 1000 + 17 - (row % 2 ? 100000 : 0)
                               : NumberText_ParseInt(slot.def->defaultText);
      EXPECT_EQ(Option_GetInt(name), want) << name;
      break;
    }
    case 'l':
      EXPECT_EQ(Option_GetLong(name), changed ? int32_t(row) * 123457 + 1
                                              : NumberText_ParseInt(slot.def->defaultText))
          << name;
      break;
    case 'd':
      EXPECT_EQ(Option_GetDouble(name), changed ? double(row) + 0.125
                                                : NumberText_ParseDouble(slot.def->defaultText))
          << name;
      break;
    case 's':
      EXPECT_EQ(std::string(Option_GetString(name)),
                changed ? "s " + std::to_string(row) : std::string(slot.def->defaultText))
          << name;
      break;
    case 'w':
      EXPECT_EQ(Option_GetWString(name), changed ? L"/w\u00e9 " + std::to_wstring(row)
                                                 : std::wstring(L""))
          << name;
      break;
  }
}

TEST_F(IniTest, EveryOptionSurvivesSaveAndLoad) {
  const auto& slots = Option_Slots();
  ASSERT_EQ(slots.size(), 75u);
  for (size_t row = 0; row < slots.size(); ++row) setNonDefault(slots[row], row);
  ASSERT_TRUE(reports().empty()) << reports()[0];
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);

  Session nextRun;
  Option_Init(&CaptureOptionReport);
  for (size_t row = 0; row < slots.size(); ++row) expectValue(slots[row], row, false);

  EXPECT_EQ(Option_LoadIni(ini.c_str(), 2), 0);
  EXPECT_TRUE(reports().empty());
  for (size_t row = 0; row < slots.size(); ++row)
    expectValue(slots[row], row, slots[row].def->access == OPTION_ACCESS_READWRITE);
}

TEST_F(IniTest, LongestValuesSurviveSaveAndLoad) {
  // Lines of over a thousand characters are read whole; wide limits count characters.
  const std::wstring list(4096, L'L');
  const std::wstring hex(1024, L'\u00e4');
  ASSERT_EQ(Option_SetWString("RECENT_HEXFILE_LIST", list), 0);
  ASSERT_EQ(Option_SetWString("RECENT_HEXFILE", hex), 0);
  Option_SetInt("ETH_OPEN_STARTSTOPDIALOG", 1);
  ASSERT_EQ(Option_SaveIni(ini.c_str()), 0);
  Session nextRun;
  Option_Init(&CaptureOptionReport);
  EXPECT_EQ(Option_LoadIni(ini.c_str(), 1), 0);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE_LIST"), list);
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE"), hex);
  EXPECT_EQ(Option_GetInt("ETH_OPEN_STARTSTOPDIALOG"), 1);
}

TEST_F(IniTest, NumbersIgnoreTheProcessLocale) {
  // The GUI toolkit switches the process to the user's locale.
  const char* locales[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"};
  const char* chosen = nullptr;
  for (const char* l : locales)
    if (std::setlocale(LC_ALL, l)) {
      chosen = l;
      break;
    }
  if (!chosen) GTEST_SKIP() << "no locale with a decimal comma installed";
  Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 2.5);
  const int saved = Option_SaveIni(ini.c_str());
  Session nextRun;
  const int loaded = Option_LoadIni(ini.c_str(), 1);
  const double value = Option_GetDouble("PROGRAM_SEND_INTERVAL_MS");
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(saved, 0);
  EXPECT_EQ(loaded, 0);
  EXPECT_NE(ReadWholeFile(ini).find("PROGRAM_SEND_INTERVAL_MS = 2.500000\n"), std::string::npos);
  EXPECT_DOUBLE_EQ(value, 2.5);
}

// ---- safe saving ---------------------------------------------------------------

std::vector<std::string> folderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(IniTest, FailedWriteKeepsTheOldFile) {
  WriteWholeFile(ini, "# old settings\nSCAN_RANGE_STOP = 5\n");
  Option_SetInt("SCAN_RANGE_STOP", 99);
  // A file size limit makes the write fail part-way, as a full disk would.
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  struct rlimit small = old;
  small.rlim_cur = 100;
  auto* previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int result = Option_SaveIni(ini.c_str());
  setrlimit(RLIMIT_FSIZE, &old);
  ::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(result, -1);
  EXPECT_EQ(reports(), Reports{"Error: Can't write INI file"});
  EXPECT_EQ(ReadWholeFile(ini), "# old settings\nSCAN_RANGE_STOP = 5\n");
  EXPECT_EQ(folderEntries(home.path()), std::vector<std::string>{"KVXconfig.ini"});
}

TEST_F(IniTest, UnwritableTargetsFailAndLeaveNoTrace) {
  const std::string folder = home.file("settings.ini");
  ASSERT_TRUE(Platform_MakeFolders(folder));
  WriteWholeFile(folder + "/inside", "keep");
  EXPECT_EQ(Option_SaveIni(folder.c_str()), -1);
  EXPECT_EQ(ReadWholeFile(folder + "/inside"), "keep");
  EXPECT_EQ(Option_SaveIni(home.file("no/such/folder/x.ini").c_str()), -1);
  EXPECT_EQ(reports(), (Reports{"Error: Can't write INI file", "Error: Can't write INI file"}));
  EXPECT_EQ(folderEntries(home.path()), std::vector<std::string>{"settings.ini"});
}

TEST_F(IniTest, SaveReplacesTheFileKeepingPermissionsAndLinks) {
  WriteWholeFile(ini, "old");
  // A temporary file of a save that was killed goes; one of a running save stays.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string running = "KVXconfig.ini.tmp-" + std::to_string(::getpid()) + "-Ab12Cd";
  WriteWholeFile(ini + ".tmp-" + std::to_string(gone) + "-xY34zW", "half");
  WriteWholeFile(home.file(running), "busy");
  ASSERT_EQ(::chmod(ini.c_str(), 0640), 0);
  const std::string link = home.file("link.ini");
  ASSERT_EQ(::symlink(ini.c_str(), link.c_str()), 0);
  ASSERT_EQ(Option_SaveIni(link.c_str()), 0);

  struct stat st {};
  ASSERT_EQ(::lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(ini.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ReadWholeFile(ini).rfind("# Initialization file for KVXconfig\n\n", 0), 0u);
  EXPECT_EQ(folderEntries(home.path()), (std::vector<std::string>{"KVXconfig.ini", running, "link.ini"}));
}

TEST_F(IniTest, ReadOnlyIniIsLeftAlone) {
  WriteWholeFile(ini, "# kept as the user made it\n");
  ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
  EXPECT_EQ(Option_SaveIni(ini.c_str()), -1);
  EXPECT_EQ(reports(), Reports{"Error: Can't write INI file"});
  EXPECT_EQ(ReadWholeFile(ini), "# kept as the user made it\n");
  EXPECT_EQ(folderEntries(home.path()), std::vector<std::string>{"KVXconfig.ini"});
}

// Runs body in a child process that may write the INI file but may not make
// new files in the home folder (as root, by becoming another user); the
// child's exit code is body's result.
int InReadOnlyFolder(const std::string& folder, const std::string& file, int (*body)()) {
  const uid_t other = 65534;
  if (::getuid() == 0 && (::chown(folder.c_str(), other, other) != 0 ||
                          ::chown(file.c_str(), other, other) != 0))
    return -2;
  if (::chmod(folder.c_str(), 0555) != 0) return -2;
  const pid_t child = ::fork();
  if (child == 0) {
    if (::getuid() == 0 && (::setgid(other) != 0 || ::setuid(other) != 0)) ::_exit(99);
    ::_exit(body());
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ::chmod(folder.c_str(), 0755);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(IniTest, WithoutRoomForATemporaryFileTheIniIsWrittenInPlace) {
  static std::string path;
  path = ini;
  WriteWholeFile(ini, "# old settings\nSCAN_RANGE_STOP = 5\n");
  Option_SetInt("SCAN_RANGE_STOP", 99);
  const int results = InReadOnlyFolder(home.path(), ini, [] {
    // A write that fails part way puts the old contents back.
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlim_t unlimited = limit.rlim_cur;
    limit.rlim_cur = 100;
    ::signal(SIGXFSZ, SIG_IGN);
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 98;
    const bool failed = Option_SaveIni(path.c_str()) == -1 &&
                        ReadWholeFile(path) == "# old settings\nSCAN_RANGE_STOP = 5\n";
    limit.rlim_cur = unlimited;
    setrlimit(RLIMIT_FSIZE, &limit);
    return (failed ? 1 : 0) | (Option_SaveIni(path.c_str()) == 0 ? 2 : 0);
  });
  EXPECT_EQ(results, 3) << "1: the limited write failed and kept the file, 2: the next one succeeded";
  EXPECT_NE(ReadWholeFile(ini).find("\nSCAN_RANGE_STOP = 99\n"), std::string::npos);
  EXPECT_EQ(folderEntries(home.path()), std::vector<std::string>{"KVXconfig.ini"});
}

// ---- hostile input -------------------------------------------------------------

TEST_F(IniTest, NulByteEndsTheLineText) {
  EXPECT_EQ(load(std::string("SCAN_RANGE_STOP = 1\0" "00 \"\n", 25) + "SCAN_RANGE_START = 7\n"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 1);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 7);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(load(std::string("SCAN_RANGE_STOP\0= 100\n", 22)), -1);
  EXPECT_EQ(reports(), Reports{syntaxError(1, 16)});
}

TEST_F(IniTest, LongLinesAreReadWhole) {
  // A 5000-character value is one too-long value, not two lines.
  EXPECT_EQ(load("DEFAULT_INTERFACE = " + std::string(5000, 'A') + "\nSCAN_RANGE_STOP = 99\n"), 0);
  EXPECT_EQ(reports(), Reports{"Value too long error in INI file " + ini +
                               ", line 1,\nvariable 'DEFAULT_INTERFACE' (has 5000 chars, max. "
                               "allowed 64 chars)"});
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 99);
  // A long comment stays a comment.
  OptionReports().clear();
  EXPECT_EQ(load("# " + std::string(5000, 'c') + " SCAN_RANGE_STOP 1\nSCAN_RANGE_START = 4\n"), 0);
  EXPECT_TRUE(reports().empty());
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 4);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 99);
}

TEST_F(IniTest, LinesBeyondTheLimitAreCutNotSplit) {
  // Past 8191 characters the rest of a line is dropped; its tail is no new line.
  EXPECT_EQ(load("# " + std::string(20000, '#') + " SCAN_RANGE_STOP=3\nSCAN_RANGE_START = 4\n"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 127);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), 4);
  EXPECT_TRUE(reports().empty());
  // A quote closed only beyond the limit is unterminated within it.
  EXPECT_EQ(load("RECENT_HEXFILE_LIST = \"" + std::string(20000, 'x') + "\"\n"), -1);
  EXPECT_EQ(reports(), Reports{syntaxError(1, 8192)});
}

TEST_F(IniTest, LastLineWithoutLineEndIsRead) {
  EXPECT_EQ(load("SCAN_RANGE_START = 2\nSCAN_RANGE_STOP = 42"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 42);
  EXPECT_EQ(load("DEFAULT_INTERFACE = \"PCAN USB\""), 0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_TRUE(reports().empty());
}

TEST_F(IniTest, InvalidUtf8InWideTextReadsAsLatin1) {
  // A path written by a single-byte version of the program.
  EXPECT_EQ(load("RECENT_TRACEFILE = \"C:\\Messungen\\K\xfchlraum.txt\"\n"), 0);
  EXPECT_EQ(Option_GetWString("RECENT_TRACEFILE"), L"C:\\Messungen\\K\u00fchlraum.txt");
}

}  // namespace
