// The rules of a bit row: a row of up to 32 square buttons, one per bit, that
// shows a value either as the index of the one lit button ('r', one-of-n) or
// as a bit mask ('m'). The row decides what a click does, which button is
// lit, its colours, its label and where it sits; the bit widget (GUI) only
// paints and forwards clicks.
#pragma once

#include <cstdint>
#include <string>

constexpr int BITROW_MAX_BITS = 32;
// Longest label format, in characters.
constexpr int BITROW_MAX_FORMAT = 9;

// Flags of a row.
constexpr uint32_t BITROW_FLAG_DISABLED = 0x1;  // disabled look, clicks ignored
constexpr uint32_t BITROW_FLAG_HIDDEN = 0x2;    // buttons not drawn
constexpr uint32_t BITROW_FLAG_READONLY = 0x4;  // read-only look, clicks ignored

constexpr char BITROW_MODE_ONE_OF_N = 'r';
constexpr char BITROW_MODE_MASK = 'm';

// Pixels between two buttons of a row.
constexpr int BITROW_GAP = 3;

struct BitRow {
  uint32_t firstId = 0;  // identifier of button 0; the others follow it
  int32_t created = 0;   // buttons created, 0..32
  int32_t visible = 0;   // buttons shown, 0..created
  char mode = 0;         // 'r', 'm'; any other mode lights nothing and takes no click
  uint32_t value = 0;    // index ('r') or mask ('m')
  uint32_t flags = 0;
  std::string labelFormat = "%X";  // applied to the button index
};

// Sets up a row of count buttons: identifiers from the program-wide counter,
// all buttons visible, value 0, flags 0, label format "%X". -1 (reported,
// row unchanged) when count is above 32 or negative.
int BitRow_Create(BitRow& row, char mode, int count);

// Button index of an identifier, -1 when it is not one of the row's buttons.
int BitRow_IndexOfId(const BitRow& row, uint32_t id);

// A click on button `index`: 'r' selects it, 'm' toggles its bit. Not taken
// (false, nothing changed) when the row is disabled or read-only or the index
// is not one of its buttons; any other mode takes the click and changes nothing.
bool BitRow_Click(BitRow& row, int index);

bool BitRow_IsLit(const BitRow& row, int index);

// The button's label: the label format applied to its index ("" outside the row).
std::string BitRow_Label(const BitRow& row, int index);

// Sets the label format. A format longer than 9 characters is cut to 9; -1
// (format unchanged) when it is not one integer conversion ("%d", "%02X",
// "Bit %u") with plain text around it.
int BitRow_SetLabelFormat(BitRow& row, const std::string& format);

// Shows buttons 0..count-1. -1 with "Cannot enlarge bit widget" (reported)
// when count is above the created count; a negative count shows none.
int BitRow_SetVisible(BitRow& row, int count);

struct BitRgb {
  uint8_t r, g, b;
  bool operator==(const BitRgb&) const = default;
};
struct BitLook {
  bool drawn = true;  // false: the button is not painted at all
  BitRgb fill{255, 255, 255};
  BitRgb text{0, 0, 0};
  BitRgb frame{0, 0, 0};
};
// How button `index` is painted now.
BitLook BitRow_Look(const BitRow& row, int index);

// True when a row of this mode is laid out from right to left (bit 0 at the
// right): bit-mask rows while the option BITWIDGET_REVERSE_ORDER is set.
bool BitRow_Reversed(char mode);
// Left edge of button `index` of a row of `count` buttons that starts at the
// placeholder: one step (width + 3 pixels) per button, to the right, or to
// the left from the last position when the row is reversed.
int BitRow_ButtonLeft(int placeholderLeft, int placeholderWidth, int index, int count,
                      bool reversed);

// ---- value patterns of a row of n visible bits ---------------------------------
// "<": rotates towards bit 0 (0 becomes the top bit; all n set loses the top bit).
uint32_t BitRow_RotateTowardsBit0(uint32_t value, int n);
// ">": rotates towards the top bit (0 becomes 1; all n set loses bit 0).
uint32_t BitRow_RotateTowardsTop(uint32_t value, int n);
// "Invert": the n low bits flipped.
uint32_t BitRow_Invert(uint32_t value, int n);
// The n low bits set (n limited to 0..32).
uint32_t BitRow_LowMask(int n);
