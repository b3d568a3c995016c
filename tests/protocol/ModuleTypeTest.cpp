#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "protocol/ModuleType.h"
#include "protocol/ModuleTypeSwitches.h"
#include "protocol/ModuleTypeTable.h"

namespace {

const std::set<std::string> kKnownKeywords = {
    "AnalogIn", "AnalogOut", "DigitalIn", "DigitalOut", "SMS", "RTC", "Lin", "VrefCalib",
    "DigitalIO", "FastCounter", "RRG", "SerialPort", "SerialProt", "Stepper"};

std::vector<std::string> Split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t end = text.find(sep, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::vector<const ModuleTypeInfo*> AllRows() {
  std::vector<const ModuleTypeInfo*> rows;
  for (int i = 0; i < ModuleType_Count(); ++i) rows.push_back(ModuleType_At(i));
  return rows;
}

ModuleTypeInfo Row(const char* capabilities) { return ModuleTypeInfo{500, "KVX 799-99", "", "test", capabilities, 1}; }

bool IsDigits(const std::string& s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

// "KVX 7SS-VV", optionally followed by one capital letter; the LIN master is "KVX 708-LIN".
bool FollowsOrderCodeScheme(const std::string& code) {
  if (code == "KVX 708-LIN") return true;
  if (code.size() < 10 || code.size() > 11 || code.compare(0, 5, "KVX 7") != 0 || code[7] != '-') return false;
  if (!IsDigits(code.substr(5, 2)) || !IsDigits(code.substr(8, 2))) return false;
  return code.size() == 10 || (code[10] >= 'A' && code[10] <= 'Z');
}

// One switch item of a layout in its strict form "XX:kN"; fills tag and sw.
bool ParseSwitchItem(const std::string& item, std::string* tag, ModuleSwitch* sw) {
  if (item.size() < 5 || item[2] != ':' || (item[3] != 'r' && item[3] != 'm') || !IsDigits(item.substr(4)))
    return false;
  *tag = item.substr(0, 2);
  if (*tag != "NL" && *tag != "NH" && *tag != "FB" && *tag != "BD") return false;
  *sw = ModuleSwitch{item[3], std::stoi(item.substr(4, 4))};
  return true;
}

std::string Describe(const ModuleSwitchLayout& l) {
  char text[64];
  std::snprintf(text, sizeof text, "%c%d %c%d %c%d", l.nodeLow.kind, l.nodeLow.size, l.nodeHigh.kind,
                l.nodeHigh.size, l.bitRate.kind, l.bitRate.size);
  return text;
}

bool IsPrintableAscii(const char* s) {
  for (; *s; ++s)
    if (*s < 0x20 || *s > 0x7E) return false;
  return true;
}

}  // namespace

// ---- the catalogue data ------------------------------------------------------

TEST(ModuleTypeCatalogue, HoldsSortedUniqueTypesInRangeAndEndsWithTheEndRow) {
  ASSERT_EQ(ModuleType_Count(), 259);
  int previous = 0;
  for (const ModuleTypeInfo* row : AllRows()) {
    ASSERT_NE(row, nullptr);
    EXPECT_GE(row->type, 8);
    EXPECT_LE(row->type, 273);
    EXPECT_GT(row->type, previous) << "rows must be sorted by ascending, unique type";
    previous = row->type;
  }
  const ModuleTypeInfo& end = g_moduleTypeTable[ModuleType_Count()];
  EXPECT_EQ(end.type, -1);
  EXPECT_STREQ(end.orderCode, "");
}

TEST(ModuleTypeCatalogue, OrderCodesFollowOneSchemeAndAreUnique) {
  // The order code names files (SDO lists, calibration sequences), so it
  // must not contain path separators.
  std::set<std::string> codes;
  for (const ModuleTypeInfo* row : AllRows()) {
    ASSERT_TRUE(row->orderCode && row->altOrderCode && row->description && row->capabilities);
    EXPECT_TRUE(FollowsOrderCodeScheme(row->orderCode)) << row->orderCode;
    EXPECT_TRUE(codes.insert(row->orderCode).second) << "duplicate " << row->orderCode;
    if (*row->altOrderCode) {
      // The same hardware coated (-T), for racks (-R) or for front panels (-F).
      const std::string alt = row->altOrderCode, base = row->orderCode;
      EXPECT_TRUE(alt == base + "-T" || alt == base + "-R" || alt == base + "-F") << alt;
      EXPECT_TRUE(codes.insert(row->altOrderCode).second) << "duplicate " << row->altOrderCode;
    }
    EXPECT_GT(std::strlen(row->description), 10u) << row->orderCode;
    EXPECT_TRUE(IsPrintableAscii(row->description)) << row->orderCode;
    EXPECT_LE(row->released, 1u);
  }
}

TEST(ModuleTypeCatalogue, CapabilityListsUseOnlyKnownKeywords) {
  for (const ModuleTypeInfo* row : AllRows()) {
    if (!*row->capabilities) continue;
    int switchEntries = 0;
    for (const std::string& entry : Split(row->capabilities, ',')) {
      if (entry.rfind("Switches=", 0) == 0) {
        ++switchEntries;
        continue;
      }
      EXPECT_TRUE(kKnownKeywords.count(entry)) << row->orderCode << ": '" << entry << "'";
      EXPECT_NE(entry, "VrefCalib") << "no module type carries the Vref calibration";
    }
    EXPECT_LE(switchEntries, 1) << row->orderCode;
  }
}

TEST(ModuleTypeCatalogue, EverySwitchLayoutIsWellFormedAndReadsAsWritten) {
  // Strict form of a layout: up to three "XX:kN" items separated by "/".
  bool sawZero = false, sawR = false, sawM = false, sawFollowed = false;
  for (const ModuleTypeInfo* row : AllRows()) {
    std::string_view value;
    if (!ModuleType_CapabilityValue(row, "Switches", &value)) continue;
    const std::string caps = row->capabilities;
    sawFollowed |= caps.find(',', caps.find("Switches=")) != std::string::npos;
    ModuleSwitchLayout expected = ModuleType_DefaultSwitchLayout();
    const std::vector<std::string> items = Split(std::string(value), '/');
    EXPECT_LE(items.size(), 3u) << row->orderCode;
    for (const std::string& text : items) {
      std::string tag;
      ModuleSwitch sw{};
      ASSERT_TRUE(ParseSwitchItem(text, &tag, &sw)) << row->orderCode << ": '" << text << "'";
      EXPECT_LE(sw.size, 16) << row->orderCode;
      sawZero |= sw.size == 0;
      sawR |= sw.kind == 'r';
      sawM |= sw.kind == 'm';
      (tag == "NL" ? expected.nodeLow : tag == "BD" ? expected.bitRate : expected.nodeHigh) = sw;
    }
    EXPECT_EQ(Describe(ModuleType_SwitchLayout(row)), Describe(expected)) << row->orderCode;
  }
  EXPECT_TRUE(sawZero && sawR && sawM && sawFollowed);
}

TEST(ModuleTypeCatalogue, SeriesMatchTheirCapabilities) {
  // The order code's series says what a module is; its tabs must agree.
  struct Series {
    const char* prefix;
    const char* keyword;
  } series[] = {{"KVX 71", "DigitalIn"}, {"KVX 72", "DigitalOut"}, {"KVX 730", "DigitalIn"},
                {"KVX 730", "DigitalOut"}, {"KVX 74", "AnalogIn"}, {"KVX 75", "AnalogOut"},
                {"KVX 78", "Lin"}, {"KVX 790", "Stepper"}};
  for (const ModuleTypeInfo* row : AllRows()) {
    for (const Series& s : series) {
      if (std::strncmp(row->orderCode, s.prefix, std::strlen(s.prefix)) != 0) continue;
      if (std::string(s.prefix) == "KVX 78" && std::strncmp(row->orderCode, "KVX 780", 7) == 0)
        continue;  // CAN room controllers have no LIN port
      EXPECT_TRUE(ModuleType_HasCapability(row, s.keyword)) << row->orderCode << " lacks " << s.keyword;
    }
  }
}

// ---- lookups -----------------------------------------------------------------

TEST(ModuleTypeFind, FindsPresentTypesAndNothingForGapsOrOutsideTheRange) {
  for (int type : {8, 16, 133, 272, 273}) {
    const ModuleTypeInfo* row = ModuleType_Find(type);
    ASSERT_NE(row, nullptr) << type;
    EXPECT_EQ(row->type, type);
  }
  // 107 and 99 lie between catalogue entries; -1 is the end row's marker.
  for (int type : {107, 99, 0, 7, 274, 1000, -1, -2, 0x7FFFFFFF})
    EXPECT_EQ(ModuleType_Find(type), nullptr) << type;
  for (int i = 0; i < ModuleType_Count(); ++i) EXPECT_EQ(ModuleType_Find(ModuleType_At(i)->type), ModuleType_At(i));
  EXPECT_EQ(ModuleType_At(-1), nullptr);
  EXPECT_EQ(ModuleType_At(ModuleType_Count()), nullptr);
  EXPECT_EQ(ModuleType_At(1 << 30), nullptr);
}

// ---- capability tests --------------------------------------------------------

TEST(ModuleTypeCapability, MatchesWholeEntriesOnlyAndGivesTheValueOfAKeyedOne) {
  const ModuleTypeInfo row = Row("AnalogIn,DigitalOut,Switches=NL:r16/NH:r0/BD:m3,RTC");
  // A key finds its "key=value" entry, with or without the "=".
  for (const char* k : {"AnalogIn", "DigitalOut", "RTC", "Switches", "Switches=", "Switches=NL:r16/NH:r0/BD:m3"})
    EXPECT_TRUE(ModuleType_HasCapability(&row, k)) << "'" << k << "'";
  // Parts and neighbours of entries never count.
  for (const char* k : {"DigitalIn", "Analog", "Digital", "In", "nalogIn", "AnalogInX", "AnalogIn,DigitalOut",
                        "analogin", "RT", "Switch", "NL:r16", "r16", "BD:m3", "NH:r0/BD:m3", "=", ",", " ",
                        "Switches=NL:r16", "RTC="})
    EXPECT_FALSE(ModuleType_HasCapability(&row, k)) << "'" << k << "'";
  // The value of a keyed entry ends at the next comma.
  std::string_view value = "untouched";
  EXPECT_FALSE(ModuleType_CapabilityValue(&row, "AnalogIn", &value));
  EXPECT_FALSE(ModuleType_CapabilityValue(&row, "Switch", &value));
  EXPECT_FALSE(ModuleType_CapabilityValue(nullptr, "Switches", &value));
  EXPECT_EQ(value, "untouched");
  ASSERT_TRUE(ModuleType_CapabilityValue(&row, "Switches", &value));
  EXPECT_EQ(value, "NL:r16/NH:r0/BD:m3");
}

TEST(ModuleTypeCapability, IgnoresBlanksAroundEntriesAndHandlesEmptyInput) {
  const ModuleTypeInfo spaced = Row(" AnalogIn , DigitalOut ,,");
  EXPECT_TRUE(ModuleType_HasCapability(&spaced, "AnalogIn"));
  EXPECT_TRUE(ModuleType_HasCapability(&spaced, "DigitalOut"));
  EXPECT_FALSE(ModuleType_HasCapability(&spaced, ""));

  const ModuleTypeInfo empty = Row("");
  EXPECT_FALSE(ModuleType_HasCapability(&empty, "AnalogIn"));
  EXPECT_FALSE(ModuleType_HasCapability(&empty, ""));
  EXPECT_FALSE(ModuleType_HasCapability(nullptr, "AnalogIn"));
  EXPECT_FALSE(ModuleType_HasCapability(ModuleType_Find(16), nullptr));
}

// ---- switch layouts ----------------------------------------------------------

TEST(ModuleTypeSwitches, ReadsTagsKindsAndSizesOfTextsAndRows) {
  struct {
    const char* layout;
    const char* expected;
  } cases[] = {
      {"NL:m4/NH:r0/BD:m3", "m4 r0 m3"},
      {"NL:R10", "r10 r16 m4"},             // kind in lower case, others default
      {"BD:m6", "r16 r16 m6"},
      {"NL:r16/NH:r0/BD:m3,DigitalIn,BD:m9", "r16 r0 m3"},  // a comma ends the layout
      {"NL:r16/FB:r8/BD:m3", "r16 r8 m3"},  // FB: sets the high digit
      {"FB:r8/NH:m2", "r16 m2 m4"},          // a later tag overrides
      {"NH:m2/FB:r8", "r16 r8 m4"},
      {"", "r16 r16 m4"},
      {"NL:", "r16 r16 m4"},                 // incomplete tags are ignored
      {"NL:r", "r16 r16 m4"},
      {"NL:5/BD:m", "r16 r16 m4"},
      {"NL:rx", "r16 r16 m4"},               // a kind needs a size,
      {"NL:55", "r16 r16 m4"},               // and a size needs a kind
      {"NL:r99999999999999999999", "r999 r16 m4"},  // no overflow
      {"xxNL:r3yyBD:m1", "r3 r16 m1"},      // tags are found anywhere
  };
  for (const auto& c : cases) EXPECT_EQ(Describe(ModuleType_ParseSwitchLayout(c.layout)), c.expected) << c.layout;
  // Rows: the defaults without a layout, the layout also behind other entries.
  EXPECT_EQ(Describe(ModuleType_SwitchLayout(nullptr)), "r16 r16 m4");
  const ModuleTypeInfo plain = Row("DigitalIn");
  EXPECT_EQ(Describe(ModuleType_SwitchLayout(&plain)), "r16 r16 m4");
  const ModuleTypeInfo later = Row("AnalogIn,Switches=NL:m4/NH:r0/BD:m3");
  EXPECT_EQ(Describe(ModuleType_SwitchLayout(&later)), "m4 r0 m3");
}
