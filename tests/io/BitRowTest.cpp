// The rules of the bit rows: clicks, lit buttons, labels, colours, layout
// order and the bit patterns of the Digital Out page.
#include <gtest/gtest.h>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "io/BitRow.h"
#include "support/TestEnvironment.h"

namespace {

class BitRowTest : public ScriptedUiTest {
 protected:
  void SetUp() override {
    ScriptedUiTest::SetUp();
    Option_SetInt("ERRORS_IN_STATUSBAR", 0);  // errors as boxes, so the test sees each one
  }
  void TearDown() override {
    ScriptedUiTest::TearDown();
  }
  BitRow make(char mode, int count) {
    BitRow row;
    EXPECT_EQ(BitRow_Create(row, mode, count), 0);
    return row;
  }
};

TEST_F(BitRowTest, ButtonIdentifiersFollowOneCounterAcrossRows) {
  BitRow a = make('m', 16);
  BitRow b = make('r', 4);
  EXPECT_EQ(b.firstId, a.firstId + 16);
  EXPECT_EQ(BitRow_IndexOfId(b, a.firstId + 17), 1);
  EXPECT_EQ(BitRow_IndexOfId(a, a.firstId + 16), -1);  // b's first button
  EXPECT_EQ(BitRow_IndexOfId(b, a.firstId), -1);
  EXPECT_EQ(a.visible, 16);
  EXPECT_EQ(a.labelFormat, "%X");
}

TEST_F(BitRowTest, MoreThanThirtyTwoBitsAreRefused) {
  BitRow row = make('m', 3);
  ui.expectMessage("Max. number of bits per bit widget (32) exceeded", UiAnswer::Ok);
  EXPECT_EQ(BitRow_Create(row, 'm', 33), -1);
  EXPECT_EQ(row.created, 3);  // unchanged
  EXPECT_EQ(BitRow_Create(row, 'm', 32), 0);
}

TEST_F(BitRowTest, ClicksSelectToggleOrAreIgnored) {
  BitRow r = make('r', 16);
  EXPECT_TRUE(BitRow_Click(r, 10));
  EXPECT_EQ(r.value, 10u);
  EXPECT_TRUE(BitRow_IsLit(r, 10));
  EXPECT_FALSE(BitRow_IsLit(r, 0));

  BitRow m = make('m', 32);
  EXPECT_TRUE(BitRow_Click(m, 31));
  EXPECT_TRUE(BitRow_Click(m, 0));
  EXPECT_EQ(m.value, 0x80000001u);
  EXPECT_TRUE(BitRow_Click(m, 0));
  EXPECT_EQ(m.value, 0x80000000u);
  EXPECT_FALSE(BitRow_Click(m, 32));
  EXPECT_FALSE(BitRow_Click(m, -1));

  m.flags = BITROW_FLAG_READONLY;
  EXPECT_FALSE(BitRow_Click(m, 1));
  m.flags = BITROW_FLAG_DISABLED;
  EXPECT_FALSE(BitRow_Click(m, 1));
  EXPECT_EQ(m.value, 0x80000000u);

  BitRow other = make('x', 4);  // any other mode: taken, nothing lit, nothing changed
  EXPECT_TRUE(BitRow_Click(other, 2));
  EXPECT_EQ(other.value, 0u);
  other.value = 2;
  EXPECT_FALSE(BitRow_IsLit(other, 2));
}

TEST_F(BitRowTest, LabelsFollowTheFormatAndBadFormatsAreRefused) {
  BitRow row = make('r', 16);
  EXPECT_EQ(BitRow_Label(row, 10), "A");
  EXPECT_EQ(BitRow_SetLabelFormat(row, "%d"), 0);
  EXPECT_EQ(BitRow_Label(row, 10), "10");
  EXPECT_EQ(BitRow_SetLabelFormat(row, "B%02d%%"), 0);
  EXPECT_EQ(BitRow_Label(row, 3), "B03%");
  for (const char* bad : {"%s", "%d%d", "%n", "plain", "%", "%.3d", "%ld", "%100d"}) {
    EXPECT_EQ(BitRow_SetLabelFormat(row, bad), -1) << bad;
  }
  EXPECT_EQ(row.labelFormat, "B%02d%%");
  // Cut to nine characters: "Bit no %d" fits, the tail of a longer one goes.
  EXPECT_EQ(BitRow_SetLabelFormat(row, "Bit no %d and more"), 0);
  EXPECT_EQ(BitRow_Label(row, 5), "Bit no 5");
  EXPECT_EQ(BitRow_Label(row, 16), "");
}

TEST_F(BitRowTest, VisibleCountCannotGrowBeyondTheCreatedButtons) {
  BitRow row = make('m', 8);
  EXPECT_EQ(BitRow_SetVisible(row, 3), 0);
  EXPECT_EQ(row.visible, 3);
  ui.expectMessage("Cannot enlarge bit widget", UiAnswer::Ok);
  EXPECT_EQ(BitRow_SetVisible(row, 9), -1);
  EXPECT_EQ(row.visible, 3);
  EXPECT_EQ(BitRow_SetVisible(row, 0), 0);
}

TEST_F(BitRowTest, ReadOnlyAndDisabledRowsGreyTheirLabelsHiddenRowsPaintNothing) {
  // (Fill and frame colours are checked on painted buttons in the GUI test.)
  BitRow row = make('m', 2);
  row.value = 1;
  EXPECT_EQ(BitRow_Look(row, 0).text, (BitRgb{255, 255, 255}));
  EXPECT_EQ(BitRow_Look(row, 1).text, (BitRgb{0, 0, 0}));
  row.flags = BITROW_FLAG_READONLY;
  EXPECT_EQ(BitRow_Look(row, 0).text, (BitRgb{204, 204, 204}));
  EXPECT_EQ(BitRow_Look(row, 0).fill, (BitRgb{49, 106, 197}));
  EXPECT_EQ(BitRow_Look(row, 1).text, (BitRgb{204, 204, 204}));
  row.flags = BITROW_FLAG_DISABLED;
  for (int bit : {0, 1}) EXPECT_EQ(BitRow_Look(row, bit).text, (BitRgb{204, 204, 204})) << bit;
  row.flags = BITROW_FLAG_HIDDEN | BITROW_FLAG_DISABLED;
  EXPECT_FALSE(BitRow_Look(row, 0).drawn);
}

TEST_F(BitRowTest, ReverseOrderAppliesOnlyToBitMaskRows) {
  EXPECT_FALSE(BitRow_Reversed('m'));
  Option_SetInt("BITWIDGET_REVERSE_ORDER", 1);
  EXPECT_TRUE(BitRow_Reversed('m'));
  EXPECT_FALSE(BitRow_Reversed('r'));  // node id rows keep button 0 at the left
  // 16 x 14 pixel buttons from x = 20: a step of 19 pixels.
  EXPECT_EQ(BitRow_ButtonLeft(20, 16, 0, 4, false), 20);
  EXPECT_EQ(BitRow_ButtonLeft(20, 16, 3, 4, false), 77);
  EXPECT_EQ(BitRow_ButtonLeft(20, 16, 0, 4, true), 77);  // bit 0 rightmost
  EXPECT_EQ(BitRow_ButtonLeft(20, 16, 3, 4, true), 20);
}

TEST_F(BitRowTest, RotateAndInvertPatterns) {
  EXPECT_EQ(BitRow_RotateTowardsBit0(0b0001, 4), 0b1000u);
  EXPECT_EQ(BitRow_RotateTowardsTop(0b1000, 4), 0b0001u);
  EXPECT_EQ(BitRow_RotateTowardsBit0(0b1111, 4), 0b0111u);
  EXPECT_EQ(BitRow_RotateTowardsTop(0b1111, 4), 0b1110u);
  EXPECT_EQ(BitRow_RotateTowardsBit0(0, 4), 0b1000u);
  EXPECT_EQ(BitRow_RotateTowardsTop(0, 4), 0b0001u);
  EXPECT_EQ(BitRow_RotateTowardsBit0(0b0110, 4), 0b0011u);
  EXPECT_EQ(BitRow_RotateTowardsTop(0b0110, 4), 0b1100u);
  EXPECT_EQ(BitRow_Invert(0x0F, 8), 0xF0u);
  // A full 32-bit row: no shift leaves the word.
  EXPECT_EQ(BitRow_RotateTowardsTop(0x80000000u, 32), 1u);
  EXPECT_EQ(BitRow_RotateTowardsBit0(1u, 32), 0x80000000u);
  EXPECT_EQ(BitRow_RotateTowardsTop(0xFFFFFFFFu, 32), 0xFFFFFFFEu);
  EXPECT_EQ(BitRow_Invert(0, 32), 0xFFFFFFFFu);
  // No visible bits: nothing to rotate or invert.
  EXPECT_EQ(BitRow_RotateTowardsBit0(5, 0), 5u);
  EXPECT_EQ(BitRow_RotateTowardsTop(5, 0), 5u);
  EXPECT_EQ(BitRow_Invert(5, 0), 5u);
}

}  // namespace
