#include "core/NumberText.h"

#include <locale.h>

#include <cstdio>
#include <cstdlib>

namespace {

locale_t cLocale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(0));
  return loc;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int32_t NumberText_ParseInt(const char* text) {
  if (!text) return 0;
  const char* p = text;
  while (isBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    value = value * 10 + (*p - '0');
    if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // saturated
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return int32_t(value);
}

double NumberText_ParseDouble(const char* text) {
  if (!text) return 0.0;
  const locale_t loc = cLocale();
  return loc ? strtod_l(text, nullptr, loc) : std::strtod(text, nullptr);
}

std::string NumberText_FormatFixed(double value) {
  const locale_t loc = cLocale();
  const locale_t previous = loc ? uselocale(loc) : locale_t(0);
  // Large values need more than a small buffer: measure first.
  const int n = std::snprintf(nullptr, 0, "%f", value);
  std::string out;
  if (n > 0) {
    out.resize(size_t(n) + 1);
    std::snprintf(out.data(), out.size(), "%f", value);
    out.resize(size_t(n));
  }
  if (loc) uselocale(previous);
  return out;
}
