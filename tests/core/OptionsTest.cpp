// The typed access functions: defaults, lookups, type and length errors and
// their messages, wide text conversion, definition errors.
#include <cstring>
#include <functional>

#include "core/Session.h"
#include "core/OptionStore.h"
#include "core/OptionTable.h"
#include "CoreTestSupport.h"

namespace {

TEST_F(OptionTest, DefaultsOfEveryType) {
  EXPECT_EQ(Option_GetInt("VORN_PROT_BASE_ID"), 1664);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_STOP"), 127);
  EXPECT_EQ(Option_GetInt("ERRCLEAR_INTERVAL_MS"), 20000);
  EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), 19200);
  EXPECT_EQ(Option_GetLong("LOGGER_BUFFERSIZE"), 32000);
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 10.0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "None");
  EXPECT_STREQ(Option_GetString("MODBUS_PROTOCOL"), "8E1");
  EXPECT_STREQ(Option_GetString("ETHERNET_HOSTNAME"), "");
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE"), L"");
  EXPECT_TRUE(reports().empty());
}

TEST_F(OptionTest, TableHasSeventyFiveRowsAndThreeUnstored) {
  const auto& slots = Option_Slots();
  ASSERT_EQ(slots.size(), 75u);
  EXPECT_STREQ(slots.front().def->name, "VORN_PROT_BASE_ID");
  EXPECT_STREQ(slots.back().def->name, "ETH_OPEN_STARTSTOPDIALOG");
  std::vector<std::string> unstored;
  for (const auto& slot : slots)
    if (slot.def->access == OPTION_ACCESS_NONE) unstored.push_back(slot.def->name);
  EXPECT_EQ(unstored, (std::vector<std::string>{"ETHERNET_PORTNO", "LOGGER_FILTER_MODE",
                                                "PROGRAM_ALLOW_WRONG_TYPE"}));
}

TEST_F(OptionTest, SettersChangeTheValue) {
  EXPECT_EQ(Option_SetInt("SCAN_RANGE_START", -7), 0);
  EXPECT_EQ(Option_SetLong("MODBUS_BAUDRATE", 115200), 0);
  EXPECT_EQ(Option_SetDouble("PROGRAM_SEND_INTERVAL_MS", 0.25), 0);
  EXPECT_EQ(Option_SetString("DEFAULT_INTERFACE", "PCAN USB"), 0);
  EXPECT_EQ(Option_SetWString("RECENT_HEXFILE", L"/fw/dio.hex"), 0);
  EXPECT_EQ(Option_GetInt("SCAN_RANGE_START"), -7);
  EXPECT_EQ(Option_GetLong("MODBUS_BAUDRATE"), 115200);
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 0.25);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE"), L"/fw/dio.hex");
  EXPECT_TRUE(reports().empty());
}

TEST_F(OptionTest, GetStringIsTheLiveBuffer) {
  const char* live = Option_GetString("ETHERNET_HOSTNAME");
  Option_SetString("ETHERNET_HOSTNAME", "master.local");
  EXPECT_STREQ(live, "master.local");
  EXPECT_EQ(Option_GetString("ETHERNET_HOSTNAME"), live);
  // Setting an option from its own buffer is harmless.
  EXPECT_EQ(Option_SetString("ETHERNET_HOSTNAME", live), 0);
  EXPECT_STREQ(live, "master.local");
}

struct AccessCase {
  const char* function;
  std::function<bool()> callReturnsNeutral;  // call with the name in g_name
};
const char* g_name = nullptr;

std::vector<AccessCase> accessCases() {
  return {
      {"Option_GetInt", [] { return Option_GetInt(g_name) == 0; }},
      {"Option_SetInt", [] { return Option_SetInt(g_name, 5) == -1; }},
      {"Option_GetLong", [] { return Option_GetLong(g_name) == 0; }},
      {"Option_SetLong", [] { return Option_SetLong(g_name, 5) == -1; }},
      {"Option_GetDouble", [] { return Option_GetDouble(g_name) == 0.0; }},
      {"Option_SetDouble", [] { return Option_SetDouble(g_name, 5.0) == -1; }},
      {"Option_GetString", [] { return std::strcmp(Option_GetString(g_name), "") == 0; }},
      {"Option_SetString", [] { return Option_SetString(g_name, "x") == -1; }},
      {"Option_GetWString", [] { return Option_GetWString(g_name).empty(); }},
      {"Option_SetWString", [] { return Option_SetWString(g_name, L"x") == -1; }},
  };
}

TEST_F(OptionTest, UnknownNameIsReportedByEveryFunction) {
  g_name = "NO_SUCH_OPTION";
  for (const AccessCase& c : accessCases()) {
    OptionReports().clear();
    EXPECT_TRUE(c.callReturnsNeutral()) << c.function;
    ASSERT_EQ(reports().size(), 1u) << c.function;
    EXPECT_EQ(reports()[0], std::string("Error: Unknown option 'NO_SUCH_OPTION' in ") +
                                c.function + "()");
  }
}

TEST_F(OptionTest, LookupIsCaseSensitive) {
  EXPECT_EQ(Option_GetInt("scan_range_stop"), 0);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0], "Error: Unknown option 'scan_range_stop' in Option_GetInt()");
}

TEST_F(OptionTest, WrongTypeIsReportedWithBothLetters) {
  // One option of a type other than the function's for each function.
  const char* const wrongFor[] = {"PROGRAM_SEND_INTERVAL_MS", "SCAN_RANGE_START", "MODBUS_BAUDRATE",
                                  "RECENT_HEXFILE", "DEFAULT_INTERFACE"};
  const char expected[] = {'i', 'l', 'd', 's', 'w'};
  const auto cases = accessCases();
  for (size_t i = 0; i < cases.size(); ++i) {
    const size_t kind = i / 2;
    g_name = wrongFor[kind];
    char actualType = 0;
    for (const auto& slot : Option_Slots())
      if (std::strcmp(slot.def->name, g_name) == 0) actualType = slot.def->type;
    OptionReports().clear();
    EXPECT_TRUE(cases[i].callReturnsNeutral()) << cases[i].function;
    ASSERT_EQ(reports().size(), 1u) << cases[i].function;
    EXPECT_EQ(reports()[0], std::string("Error: Option '") + g_name + "' is of type '" +
                                actualType + "', not '" + expected[kind] + "' in " +
                                cases[i].function + "()");
  }
  // The setters changed nothing.
  EXPECT_DOUBLE_EQ(Option_GetDouble("PROGRAM_SEND_INTERVAL_MS"), 10.0);
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "None");
}

TEST_F(OptionTest, IntGetterOnDoubleOptionSaysTypeDNotI) {
  EXPECT_EQ(Option_GetInt("PROGRAM_SEND_INTERVAL_MS"), 0);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0],
            "Error: Option 'PROGRAM_SEND_INTERVAL_MS' is of type 'd', not 'i' in Option_GetInt()");
}

TEST_F(OptionTest, StringLengthLimit) {
  Option_SetString("DEFAULT_INTERFACE", "PCAN USB");
  EXPECT_EQ(Option_SetString("DEFAULT_INTERFACE", std::string(65, 'x').c_str()), -1);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0],
            "Error: String too long for option 'DEFAULT_INTERFACE' (has 65 chars, max. allowed 64 "
            "chars) in Option_SetString()");
  EXPECT_STREQ(Option_GetString("DEFAULT_INTERFACE"), "PCAN USB");
  EXPECT_EQ(Option_SetString("DEFAULT_INTERFACE", std::string(64, 'y').c_str()), 0);
  EXPECT_EQ(std::string(Option_GetString("DEFAULT_INTERFACE")), std::string(64, 'y'));

  OptionReports().clear();
  EXPECT_EQ(Option_SetWString("RECENT_HEXFILE_LIST", std::wstring(4097, L'a')), -1);
  ASSERT_EQ(reports().size(), 1u);
  EXPECT_EQ(reports()[0],
            "Error: String too long for option 'RECENT_HEXFILE_LIST' (has 4097 chars, max. allowed "
            "4096 chars) in Option_SetWString()");
  EXPECT_EQ(Option_SetWString("RECENT_HEXFILE_LIST", std::wstring(4096, L'a')), 0);
}

TEST_F(OptionTest, WideTextIsKeptAsUtf8AndItsLimitCountsCharacters) {
  const std::wstring text = L"/home/jürgen/Kalibrierung \u20ac";
  EXPECT_EQ(Option_SetWString("CALIB_SEQ_DIR2", text), 0);
  EXPECT_EQ(Option_GetWString("CALIB_SEQ_DIR2"), text);
  // 1024 characters fit however many UTF-8 bytes they take.
  const std::wstring umlauts(1024, L'\u00e4');
  EXPECT_EQ(Option_SetWString("RECENT_HEXFILE", umlauts), 0);
  EXPECT_EQ(Option_GetWString("RECENT_HEXFILE"), umlauts);
  EXPECT_EQ(Option_SetWString("CALIB_SEQ_DIR2", std::wstring(1025, L'\U0001F600')), -1);
  EXPECT_EQ(reports(), std::vector<std::string>{
                           "Error: String too long for option 'CALIB_SEQ_DIR2' (has 1025 chars, "
                           "max. allowed 1024 chars) in Option_SetWString()"});
  EXPECT_EQ(Option_GetWString("CALIB_SEQ_DIR2"), text);
}

TEST(OptionReporting, MessagesWithoutCallbackAreDroppedAndCallbackCanComeLater) {
  OptionReports().clear();
  EXPECT_EQ(Option_GetInt("NOPE"), 0);  // no callback: nothing to see, no crash
  EXPECT_EQ(Option_Init(&CaptureOptionReport), 0);  // already initialised: installs it
  EXPECT_EQ(Option_GetInt("NOPE"), 0);
  EXPECT_EQ(OptionReports(), std::vector<std::string>{"Error: Unknown option 'NOPE' in Option_GetInt()"});
  EXPECT_EQ(Option_Init(nullptr), 0);  // a null callback keeps the installed one
  Option_GetLong("NOPE");
  EXPECT_EQ(OptionReports().size(), 2u);
}

TEST(OptionDefinitions, IllegalTypeStopsInitialisationKeepingEarlierRows) {
  static const OptionDef defs[] = {
      {"GOOD", 'i', '+', "42", 0},
      {"BAD", 'x', '+', "1", 0},
      {"AFTER", 'i', '+', "7", 0},
      {"", 0, 0, nullptr, 0},
  };
  OptionReports().clear();
  EXPECT_EQ(Option_InitFromDefinitions(defs, &CaptureOptionReport), -1);
  EXPECT_EQ(OptionReports(),
            std::vector<std::string>{"Illegal option type 'x' in option 'BAD' (see file Option.dat)"});
  EXPECT_EQ(Option_GetInt("GOOD"), 42);
  EXPECT_EQ(Option_GetInt("AFTER"), 0);  // never converted
  Session nextRun;  // the next run has the program's own table
  EXPECT_EQ(Option_GetInt("VORN_PROT_BASE_ID"), 1664);
}

TEST(OptionDefinitions, BufferHoldsTheLongerOfDefaultAndMaximum) {
  static const OptionDef defs[] = {
      {"LONG_DEFAULT", 's', '+', "ABCDEFGH", 4},
      {"NUMBERS", 'l', '+', " -12x", 0},
      {"REAL", 'd', '+', "2.5e1", 0},
      {"", 0, 0, nullptr, 0},
  };
  OptionReports().clear();
  ASSERT_EQ(Option_InitFromDefinitions(defs, &CaptureOptionReport), 0);
  EXPECT_STREQ(Option_GetString("LONG_DEFAULT"), "ABCDEFGH");
  EXPECT_EQ(Option_SetString("LONG_DEFAULT", "12345678"), 0);
  EXPECT_EQ(Option_SetString("LONG_DEFAULT", "123456789"), -1);
  EXPECT_NE(OptionReports().at(0).find("max. allowed 8 chars"), std::string::npos);
  EXPECT_EQ(Option_GetLong("NUMBERS"), -12);
  EXPECT_DOUBLE_EQ(Option_GetDouble("REAL"), 25.0);
}

}  // namespace
