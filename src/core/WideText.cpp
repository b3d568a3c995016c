#include "core/WideText.h"

#include <cstring>

namespace {

// Length of the well-formed UTF-8 sequence at s[0..n), or 0 when there is none;
// the decoded code point goes to cp.
size_t decodeUtf8(const unsigned char* s, size_t n, char32_t& cp) {
  const unsigned char b = s[0];
  size_t len;
  char32_t min;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    len = 2, cp = b & 0x1F, min = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    len = 3, cp = b & 0x0F, min = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    len = 4, cp = b & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (n < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    if ((s[i] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void appendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += char(cp);
  } else if (cp < 0x800) {
    out += char(0xC0 | (cp >> 6));
    out += char(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += char(0xE0 | (cp >> 12));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  } else {
    out += char(0xF0 | (cp >> 18));
    out += char(0x80 | ((cp >> 12) & 0x3F));
    out += char(0x80 | ((cp >> 6) & 0x3F));
    out += char(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::wstring Text_Widen(const std::string& narrow) {
  std::wstring out;
  out.reserve(narrow.size());
  const auto* s = reinterpret_cast<const unsigned char*>(narrow.data());
  size_t i = 0;
  while (i < narrow.size()) {
    char32_t cp = 0;
    const size_t len = decodeUtf8(s + i, narrow.size() - i, cp);
    if (len == 0) {
      out += wchar_t(s[i]);  // Latin-1
      ++i;
    } else {
      out += wchar_t(cp);
      i += len;
    }
  }
  return out;
}

size_t Text_CountChars(const char* narrow, size_t length) {
  const auto* s = reinterpret_cast<const unsigned char*>(narrow);
  size_t chars = 0;
  for (size_t i = 0; i < length; ++chars) {
    char32_t cp = 0;
    const size_t len = decodeUtf8(s + i, length - i, cp);
    i += len == 0 ? 1 : len;
  }
  return chars;
}

std::wstring Text_Widen(const char* narrow) {
  return narrow ? Text_Widen(std::string(narrow)) : std::wstring();
}

std::string Text_Narrow(const std::wstring& wide) {
  std::string out;
  out.reserve(wide.size());
  for (const wchar_t w : wide) {
    const auto cp = char32_t(w);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out += '?';
    } else {
      appendUtf8(out, cp);
    }
  }
  return out;
}
