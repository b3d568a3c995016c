// printf-style formatting into a std::string, for the program's own texts.
#pragma once

#include <cstdarg>
#include <string>

std::string Text_Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Text_FormatV(const char* format, va_list args) __attribute__((format(printf, 1, 0)));
