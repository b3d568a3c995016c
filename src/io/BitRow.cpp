#include "io/BitRow.h"

#include <cstdio>

#include "core/ErrorReport.h"
#include "core/Options.h"
#include "core/Session.h"

namespace {

// Button identifiers come from one counter for the whole run, so the buttons
// of every row on a page have distinct identifiers.
struct ButtonIds {
  uint32_t next = 0;
};

bool InRow(const BitRow& row, int index) { return index >= 0 && index < row.created; }

bool IsFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIntegerConversion(char c) {
  return c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o';
}

// One integer conversion (flags, a width of up to two digits, no precision
// or length modifier) and any text around it; "%%" stands for itself.
bool IsSafeLabelFormat(const std::string& format) {
  int conversions = 0;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    ++i;
    if (i < format.size() && format[i] == '%') continue;
    while (i < format.size() && IsFlag(format[i])) ++i;
    for (int digits = 0; i < format.size() && IsDigit(format[i]); ++digits, ++i) {
      if (digits == 2) return false;
    }
    if (i >= format.size() || !IsIntegerConversion(format[i])) return false;
    ++conversions;
  }
  return conversions == 1;
}

constexpr BitRgb kWhite{255, 255, 255};
constexpr BitRgb kBlack{0, 0, 0};
constexpr BitRgb kLitFill{49, 106, 197};
constexpr BitRgb kGreyText{204, 204, 204};
constexpr BitRgb kUnlitFrame{136, 136, 136};

}  // namespace

int BitRow_Create(BitRow& row, char mode, int count) {
  if (count > BITROW_MAX_BITS || count < 0) {
    ShowError("Max. number of bits per bit widget (%d) exceeded", BITROW_MAX_BITS);
    return -1;
  }
  row = BitRow{};
  uint32_t& next = Session_Part<ButtonIds>().next;
  row.firstId = next;
  next += uint32_t(count);
  row.created = count;
  row.visible = count;
  row.mode = mode;
  return 0;
}

int BitRow_IndexOfId(const BitRow& row, uint32_t id) {
  const uint32_t index = id - row.firstId;  // wraps for identifiers below the first
  return index < uint32_t(row.created) ? int(index) : -1;
}

bool BitRow_Click(BitRow& row, int index) {
  if (row.flags & (BITROW_FLAG_DISABLED | BITROW_FLAG_READONLY)) return false;
  if (!InRow(row, index)) return false;
  if (row.mode == BITROW_MODE_ONE_OF_N) {
    row.value = uint32_t(index);
  } else if (row.mode == BITROW_MODE_MASK) {
    row.value ^= 1u << index;
  }
  return true;
}

bool BitRow_IsLit(const BitRow& row, int index) {
  if (!InRow(row, index)) return false;
  if (row.mode == BITROW_MODE_ONE_OF_N) return row.value == uint32_t(index);
  if (row.mode == BITROW_MODE_MASK) return (row.value >> index) & 1u;
  return false;
}

std::string BitRow_Label(const BitRow& row, int index) {
  if (!InRow(row, index)) return "";
  char text[64];
  // The format has been checked to hold exactly one integer conversion.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  std::snprintf(text, sizeof text, row.labelFormat.c_str(), index);
#pragma GCC diagnostic pop
  return text;
}

int BitRow_SetLabelFormat(BitRow& row, const std::string& format) {
  const std::string cut = format.substr(0, BITROW_MAX_FORMAT);
  if (!IsSafeLabelFormat(cut)) return -1;
  row.labelFormat = cut;
  return 0;
}

int BitRow_SetVisible(BitRow& row, int count) {
  if (count > row.created) {
    ShowError("Cannot enlarge bit widget");
    return -1;
  }
  row.visible = count < 0 ? 0 : count;
  return 0;
}

BitLook BitRow_Look(const BitRow& row, int index) {
  BitLook look;
  if (row.flags & BITROW_FLAG_HIDDEN) {
    look.drawn = false;
    return look;
  }
  if (row.flags & BITROW_FLAG_DISABLED) {
    look.fill = kWhite;
    look.text = kGreyText;
    look.frame = kGreyText;
    return look;
  }
  const bool readOnly = (row.flags & BITROW_FLAG_READONLY) != 0;
  if (BitRow_IsLit(row, index)) {
    look.fill = kLitFill;
    look.text = readOnly ? kGreyText : kWhite;
    look.frame = kBlack;
  } else {
    look.fill = kWhite;
    look.text = readOnly ? kGreyText : kBlack;
    look.frame = kUnlitFrame;
  }
  return look;
}

bool BitRow_Reversed(char mode) {
  return mode == BITROW_MODE_MASK && Option_GetInt("BITWIDGET_REVERSE_ORDER") != 0;
}

int BitRow_ButtonLeft(int placeholderLeft, int placeholderWidth, int index, int count,
                      bool reversed) {
  const int step = placeholderWidth + BITROW_GAP;
  if (reversed) return placeholderLeft + (count - 1 - index) * step;
  return placeholderLeft + index * step;
}

uint32_t BitRow_LowMask(int n) {
  if (n <= 0) return 0;
  if (n >= 32) return 0xFFFFFFFFu;
  return (1u << n) - 1;
}

uint32_t BitRow_RotateTowardsBit0(uint32_t value, int n) {
  if (n <= 0 || n > 32) return value;
  const uint32_t full = BitRow_LowMask(n);
  const uint32_t top = 1u << (n - 1);
  if (value == 0) return top;
  if (value == full) return full & ~top;
  return ((value & 1u) << (n - 1)) | (value >> 1);
}

uint32_t BitRow_RotateTowardsTop(uint32_t value, int n) {
  if (n <= 0 || n > 32) return value;
  const uint32_t full = BitRow_LowMask(n);
  if (value == 0) return 1;
  if (value == full) return full & ~1u;
  const uint32_t carry = (value >> (n - 1)) & 1u;
  // Bit n of the shifted value is cleared; for n = 32 it has left the word.
  uint64_t shifted = uint64_t(value) << 1;
  shifted &= ~(uint64_t(1) << n);
  return carry | uint32_t(shifted);
}

uint32_t BitRow_Invert(uint32_t value, int n) { return value ^ BitRow_LowMask(n); }
