#include "instruments/InstrumentText.h"

#include <locale.h>

#include <charconv>
#include <cmath>
#include <cstdio>

bool InstrumentText_Number(const std::string& text, double& value) {
  const char* first = text.data();
  const char* last = first + text.size();
  if (first != last && *first == '+') {  // from_chars takes no plus sign
    ++first;
    if (first != last && *first == '-') return false;
  }
  if (first == last) return false;
  const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
  return ec == std::errc() && end == last && std::isfinite(value);
}

std::string InstrumentText_Format(const char* format, double value) {
  locale_t c = ::newlocale(LC_ALL_MASK, "C", locale_t(0));
  locale_t previous = c ? ::uselocale(c) : locale_t(0);
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  if (c) {
    ::uselocale(previous);
    ::freelocale(c);
  }
  return text;
}
