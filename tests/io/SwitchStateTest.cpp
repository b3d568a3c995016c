// The Switches page rows and what a switch reply shows; the Digital pages'
// channel window.
#include <gtest/gtest.h>

#include "io/DigitalChannels.h"
#include "io/SwitchState.h"
#include "protocol/ModuleType.h"

namespace {

ModuleTypeInfo Row(const char* capabilities) { return ModuleTypeInfo{77, "KVX 799-99", "", "", capabilities, 1}; }

CanMsg SwitchReply(int baud, int node, int button) {
  CanMsg m;
  m.len = 8;
  m.data[0] = 51;
  m.data[1] = uint32_t(baud);
  m.data[2] = uint32_t(node);
  m.data[3] = uint32_t(button);
  return m;
}

void ExpectRows(const std::array<SwitchRowLayout, 4>& rows, std::initializer_list<SwitchRowLayout> expected) {
  int i = 0;
  for (const SwitchRowLayout& e : expected) {
    EXPECT_EQ(rows[i].mode, e.mode) << "row " << i + 1;
    EXPECT_EQ(rows[i].count, e.count) << "row " << i + 1;
    ++i;
  }
}

TEST(SwitchRows, LayoutEndsAtTheCommaAndModesAreLowerCase) {
  const ModuleTypeInfo withComma = Row("Switches=NL:r16/NH:r0/BD:m3,DigitalIn,BD:m9");
  ExpectRows(Switches_Rows(&withComma), {{'r', 16}, {'r', 0}, {'m', 3}, {'m', 1}});
  const ModuleTypeInfo upper = Row("Switches=NL:R10");
  ExpectRows(Switches_Rows(&upper), {{'r', 10}, {'r', 16}, {'m', 4}, {'m', 1}});
  const ModuleTypeInfo highByFb = Row("AnalogIn,Switches=FB:m2/BD:m0");
  ExpectRows(Switches_Rows(&highByFb), {{'r', 16}, {'m', 2}, {'m', 0}, {'m', 1}});
  ExpectRows(Switches_Rows(nullptr), {{'r', 16}, {'r', 16}, {'m', 4}, {'m', 1}});
}

TEST(SwitchRows, ReplyShowsNodeDigitsBitRateAndButton) {
  SwitchView v = Switches_Decode(SwitchReply(0x04, 0x3A, 0), 'c');
  EXPECT_EQ(v.nodeText, "58");
  EXPECT_EQ(v.rowValues[0], 10u);  // button "A" of the low digit
  EXPECT_EQ(v.rowValues[1], 3u);
  EXPECT_EQ(v.rowValues[2], 4u);
  EXPECT_EQ(v.rowValues[3], 0u);
  EXPECT_EQ(v.baudText, "125 k");
  EXPECT_EQ(v.buttonText, "0");

  v = Switches_Decode(SwitchReply(0x05, 0xFF, 7), 'm');
  EXPECT_EQ(v.baudText, "19200");  // (5 >> 1) & 3 = 2
  EXPECT_EQ(v.nodeText, "255");
  EXPECT_EQ(v.buttonText, "1");
  EXPECT_EQ(v.rowValues[3], 1u);
  EXPECT_EQ(Switches_Decode(SwitchReply(0x0D, 1, 0), 'c').baudText, "250 k");  // bits 0..2 only
  EXPECT_EQ(Switches_Decode(SwitchReply(0x05, 1, 0), 'l').baudText, "(#-1)");
}

TEST(DigitalWindow, ScrollingKeepsFourRowsInsideTheChannelList) {
  EXPECT_FALSE(DigitalChannels_NeedsScrollBar(4));
  EXPECT_TRUE(DigitalChannels_NeedsScrollBar(6));
  EXPECT_EQ(DigitalChannels_ScrollMax(6), 2);
  EXPECT_EQ(DigitalChannels_Scroll(0, DigitalScroll::PageDown, 0, 6), 2);
  EXPECT_EQ(DigitalChannels_Scroll(2, DigitalScroll::LineDown, 0, 6), 2);
  EXPECT_EQ(DigitalChannels_Scroll(2, DigitalScroll::LineUp, 0, 6), 1);
  EXPECT_EQ(DigitalChannels_Scroll(1, DigitalScroll::PageUp, 0, 6), 0);
  EXPECT_EQ(DigitalChannels_Scroll(0, DigitalScroll::Thumb, 9, 6), 2);
  EXPECT_EQ(DigitalChannels_Scroll(0, DigitalScroll::PageDown, 0, 3), 0);  // nothing to scroll
}

TEST(DigitalWindow, OnlyDigitalCodesGiveVisibleBits) {
  EXPECT_EQ(DigitalChannels_BitsOfCode(0x1E07), 8);
  EXPECT_EQ(DigitalChannels_BitsOfCode(0x1E00), 1);
  EXPECT_EQ(DigitalChannels_BitsOfCode(0x1E0F), 16);
  EXPECT_EQ(DigitalChannels_BitsOfCode(0x1E10), 0);
  EXPECT_EQ(DigitalChannels_BitsOfCode(0x0100), 0);
  EXPECT_EQ(DigitalChannels_BitsOfCode(0xFFFF), 0);
}

}  // namespace
