#include "bus/Link.h"

#include <cstdarg>

#include "core/TextFormat.h"

LinkResult LinkResult::Fail(const char* format, ...) {
  va_list args;
  va_start(args, format);
  LinkResult result{-1, Text_FormatV(format, args)};
  va_end(args);
  return result;
}
