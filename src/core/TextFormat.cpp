#include "core/TextFormat.h"

#include <cstdio>

std::string Text_FormatV(const char* format, va_list args) {
  if (!format) return std::string();
  va_list copy;
  va_copy(copy, args);
  const int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (n > 0) {
    out.resize(size_t(n) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(size_t(n));
  }
  return out;
}

std::string Text_Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string out = Text_FormatV(format, args);
  va_end(args);
  return out;
}
