#include "module/TextLines.h"

#include <cstdio>

#include "core/WideText.h"

bool TextLines_Read(const std::string& path, size_t maxLine, std::vector<std::string>& lines) {
  lines.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  std::string line;
  bool cut = false;  // a NUL (or the length limit) ended the kept text of this line
  bool any = false;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    any = true;
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r' && !cut) line.pop_back();
      lines.push_back(line);
      line.clear();
      cut = false;
      any = false;
      continue;
    }
    if (cut) continue;
    if (c == '\0' || line.size() >= maxLine) {
      cut = true;
      continue;
    }
    line += char(c);
  }
  if (any) {
    if (!line.empty() && line.back() == '\r' && !cut) line.pop_back();
    lines.push_back(line);
  }
  std::fclose(file);
  return true;
}

std::string TextLines_ToUtf8(const std::string& bytes) { return Text_Narrow(Text_Widen(bytes)); }

std::string TextLines_Latin1ToUtf8(const std::string& latin1) {
  std::wstring wide;
  wide.reserve(latin1.size());
  for (char c : latin1) wide += wchar_t(static_cast<unsigned char>(c));
  return Text_Narrow(wide);
}

std::string TextLines_Utf8ToLatin1(const std::string& utf8) {
  std::string out;
  for (wchar_t w : Text_Widen(utf8)) out += (w >= 0 && w <= 0xFF) ? char(w) : '?';
  return out;
}

bool TextLines_IsMultibyteUtf8(const std::string& bytes) {
  const std::wstring wide = Text_Widen(bytes);
  // Well-formed exactly when widening and narrowing again gives the bytes back.
  if (Text_Narrow(wide) != bytes) return false;
  return wide.size() < bytes.size();
}

size_t TextLines_CharCount(const std::string& utf8) { return Text_Widen(utf8).size(); }

std::string TextLines_CutChars(const std::string& utf8, size_t maxChars) {
  std::wstring wide = Text_Widen(utf8);
  if (wide.size() <= maxChars) return utf8;
  wide.resize(maxChars);
  return Text_Narrow(wide);
}
