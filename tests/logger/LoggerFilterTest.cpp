// Filter text parsing and the four filter rules.
#include <gtest/gtest.h>


#include "LoggerTestSupport.h"
#include "logger/LoggerFilter.h"


namespace {

std::vector<int> Parse(const std::string& text, bool hex = false) { return LoggerFilter_ParseList(text, hex); }

TEST(LoggerFilterParse, DecimalRangesAndHexPrefix) {
  EXPECT_EQ(Parse("1-3, 0x10"), (std::vector<int>{1, 2, 3, 16}));
  EXPECT_EQ(Parse("5 - 3"), (std::vector<int>{5, 4, 3})) << "ranges count down too";
  EXPECT_EQ(Parse("3-3"), (std::vector<int>{3}));
  EXPECT_EQ(Parse("7,8;9 10"), (std::vector<int>{7, 8, 9, 10}));
  EXPECT_EQ(Parse("0X1f"), (std::vector<int>{31}));
  EXPECT_EQ(Parse("-5 6-"), (std::vector<int>{5, 6})) << "a dash without a number on each side is no range";
  EXPECT_EQ(Parse("1-2-4"), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(Parse("2, -4"), (std::vector<int>{2, 4})) << "a comma ends the first number of a range";
}

TEST(LoggerFilterParse, LettersAreDigitsOnlyInHex) {
  EXPECT_EQ(Parse("a5 1b"), (std::vector<int>{5, 1}));
  EXPECT_EQ(Parse("a5 1b", true), (std::vector<int>{0xA5, 0x1B}));
  EXPECT_EQ(Parse("A-C", true), (std::vector<int>{10, 11, 12}));
  EXPECT_EQ(Parse("10 0x10", true), (std::vector<int>{16, 16}));
  EXPECT_EQ(Parse("0xg"), (std::vector<int>{0})) << "0x without a hex digit is a plain 0";
}

TEST(LoggerFilterParse, KeepsAtMost200NumbersAndSaturates) {
  const std::vector<int> many = Parse("1-1000");
  ASSERT_EQ(many.size(), 200u);
  EXPECT_EQ(many.front(), 1);
  EXPECT_EQ(many.back(), 200);
  EXPECT_EQ(Parse("0-2000000000 7").size(), 200u) << "a huge range stops at the limit at once";
  EXPECT_EQ(Parse("99999999999999999999"), (std::vector<int>{0x7FFFFFFF}));
  EXPECT_EQ(Parse("fffffffffffffff", true), (std::vector<int>{0x7FFFFFFF}));
  std::string text;
  for (int i = 0; i < 300; ++i) text += std::to_string(i) + " ";
  const std::vector<int> list = Parse(text);
  ASSERT_EQ(list.size(), 200u);
  EXPECT_EQ(list.back(), 199);
}

TEST(LoggerFilterParse, NothingUsableGivesAnEmptyList) {
  EXPECT_TRUE(Parse("").empty());
  EXPECT_TRUE(Parse("---,,,xyz").empty());
}

LoggerFilter Filter(int mode, std::vector<int> numbers, bool hex = false) {
  LoggerFilter f;
  f.mode = mode;
  f.numbers = std::move(numbers);
  f.hex = hex;
  return f;
}

TEST(LoggerFilterRules, ShowOnlyNodeIds) {
  const LoggerFilter f = Filter(kFilterShowNodes, {5});
  EXPECT_TRUE(f.shows(Msg(0x185, {1})));
  EXPECT_TRUE(f.shows(Msg(0x705, {5})));
  EXPECT_FALSE(f.shows(Msg(0x186, {1})));
  EXPECT_TRUE(f.shows(Msg(0x080))) << "SYNC";
  EXPECT_FALSE(f.shows(Msg(0x000, {1, 6}))) << "NMT to node 6";
  EXPECT_TRUE(f.shows(Msg(0x000, {1, 0}))) << "NMT to all nodes";
  EXPECT_TRUE(f.shows(Msg(0x000, {1, 6, 0}))) << "an NMT frame not of length 2 counts as node 0";
  EXPECT_TRUE(f.shows(Msg(0x000, {1, 5})));
  EXPECT_TRUE(f.shows(Msg(0x100))) << "node part 0";
  EXPECT_TRUE(f.shows(Msg(0x185 | CANMSG_FLAG_REMOTE)));
}

TEST(LoggerFilterRules, SuppressNodeIds) {
  const LoggerFilter f = Filter(kFilterHideNodes, {5, 0});
  EXPECT_FALSE(f.shows(Msg(0x185)));
  EXPECT_FALSE(f.shows(Msg(0x705, {0})));
  EXPECT_TRUE(f.shows(Msg(0x186)));
  EXPECT_TRUE(f.shows(Msg(0x080))) << "SYNC is never suppressed";
  EXPECT_TRUE(f.shows(Msg(0x100))) << "node part 0 is never suppressed, even when 0 is listed";
  EXPECT_FALSE(f.shows(Msg(0x000, {2, 5})));
  EXPECT_TRUE(f.shows(Msg(0x000, {2, 6})));
}

TEST(LoggerFilterRules, CobIdModes) {
  const LoggerFilter show = Filter(kFilterShowCobIds, {0x185, 0x80});
  EXPECT_TRUE(show.shows(Msg(0x185)));
  EXPECT_TRUE(show.shows(Msg(0x080)));
  EXPECT_FALSE(show.shows(Msg(0x186)));
  EXPECT_FALSE(show.shows(Msg(0x005)));
  const LoggerFilter hide = Filter(kFilterHideCobIds, {0x185});
  EXPECT_FALSE(hide.shows(Msg(0x185)));
  EXPECT_FALSE(hide.shows(Msg(0x185 | CANMSG_FLAG_REMOTE))) << "the COB-ID ignores the flag bits";
  EXPECT_TRUE(hide.shows(Msg(0x186)));
  EXPECT_TRUE(Filter(kFilterOff, {1}).shows(Msg(0x181)));
}

TEST(LoggerFilterRules, FilterLineTexts) {
  EXPECT_EQ(Filter(kFilterOff, {1}).lineText(), "-- Filter OFF");
  EXPECT_EQ(Filter(kFilterShowNodes, {5, 16}).lineText(), "-- Filter ON: show only Node ID(s) 5 16");
  EXPECT_EQ(Filter(kFilterShowNodes, {5, 16}, true).lineText(), "-- Filter ON: show only Node ID(s) 0x5 0x10");
  EXPECT_EQ(Filter(kFilterHideNodes, {7}).lineText(), "-- Filter ON: suppress Node ID(s) 7");
  EXPECT_EQ(Filter(kFilterShowCobIds, {0x85, 0x1234}).lineText(),
            "-- Filter ON: show only COB ID(s) 0x085 0x1234");
  EXPECT_EQ(Filter(kFilterHideCobIds, {}).lineText(), "-- Filter ON: suppress COB ID(s)");
  EXPECT_STREQ(LoggerFilter_ModeName(2), "Show only COB ID(s):");
}

}  // namespace
