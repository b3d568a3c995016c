// Narrow <-> wide text. Narrow text inside the program is UTF-8; wide text is
// std::wstring (one code point per element on Linux).
#pragma once

#include <string>

// UTF-8 to wide. A byte that does not start a well-formed UTF-8 sequence is
// taken as a Latin-1 character, so settings written by single-byte (ANSI)
// versions of the program still read sensibly.
std::wstring Text_Widen(const std::string& narrow);
std::wstring Text_Widen(const char* narrow);
// Wide to UTF-8. Surrogates and values beyond U+10FFFF become '?'.
std::string Text_Narrow(const std::wstring& wide);
// The number of characters of narrow text as Text_Widen reads it (a byte
// outside a well-formed sequence is one Latin-1 character).
size_t Text_CountChars(const char* narrow, size_t length);
