// The INI file: "KEY = value" lines, read at start, written at exit.
#include <cstdio>
#include <cstring>
#include <string>

#include "core/AtomicFile.h"
#include "core/NumberText.h"
#include "core/OptionStore.h"
#include "core/Options.h"
#include "core/TextFormat.h"
#include "platform/Paths.h"

namespace {

// Lines are read whole up to this many characters; the rest of a longer line
// is dropped (it is never read as a line of its own). The longest line the
// writer produces (a 4096-character value with its key) fits easily.
constexpr size_t kMaxLineLength = 8191;

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One line taken apart. Columns count from 1.
struct IniLine {
  enum Kind { Comment, Entry, SyntaxError } kind = Comment;
  std::string key;
  std::string value;
  bool quoted = false;
  int quoteColumn = 0;
  int errorColumn = 0;
};

IniLine parseLine(const std::string& line) {
  IniLine out;
  const size_t n = line.size();
  size_t i = 0;
  while (i < n && isBlank(line[i])) ++i;
  if (i == n || line[i] == '#') return out;

  const size_t keyStart = i;
  while (i < n && !isBlank(line[i]) && line[i] != '=') ++i;
  out.key.assign(line, keyStart, i - keyStart);
  // Key and value are separated by any mix of blanks and equals signs.
  while (i < n && (isBlank(line[i]) || line[i] == '=')) ++i;
  if (i == n) {
    out.kind = IniLine::SyntaxError;
    out.errorColumn = int(n) + 1;
    return out;
  }

  if (line[i] == '"') {
    // Values are written in quotes with nothing escaped, so a value that holds
    // a quote (a file name may) ends at the quote that closes the line.
    size_t close = line.find_last_not_of(" \t\n\v\f\r");
    if (close <= i || line[close] != '"') close = line.find('"', i + 1);
    if (close == std::string::npos) {
      out.kind = IniLine::SyntaxError;
      out.errorColumn = int(n) + 1;
      return out;
    }
    out.quoted = true;
    out.quoteColumn = int(i) + 1;
    out.value.assign(line, i + 1, close - i - 1);
  } else {
    size_t end = i;
    while (end < n && !isBlank(line[end])) ++end;
    out.value.assign(line, i, end - i);
  }
  out.kind = IniLine::Entry;
  return out;
}

// Reads one line without its line end into line; false at the end of the
// file. Text after a NUL byte is not part of the line, like a C string.
bool readLine(FILE* file, std::string& line) {
  line.clear();
  bool any = false;
  bool stopped = false;  // NUL seen or length limit reached
  int c;
  while ((c = std::getc(file)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (stopped) continue;
    if (c == '\0' || line.size() == kMaxLineLength) {
      stopped = true;
      continue;
    }
    line += char(c);
  }
  // A line end written as CR LF counts as one line end.
  if (!line.empty() && line.back() == '\r' && !stopped) line.pop_back();
  return any;
}

// Assigns one entry; false on a syntax error (errorColumn set).
bool applyEntry(const IniLine& entry, const char* path, int lineNo, int verbosity,
                int& errorColumn) {
  OptionSlot* slot = Option_FindNoCase(entry.key);
  if (!slot) {
    if (verbosity >= 1)
      Option_Report("Error: Unknown variable '%s' in INI file %s, line %d", entry.key.c_str(),
                    path, lineNo);
    return true;
  }
  const char access = slot->def->access;
  if (access != OPTION_ACCESS_READWRITE && access != OPTION_ACCESS_READ) return true;

  switch (slot->def->type) {
    case OPTION_TYPE_INT:
    case OPTION_TYPE_LONG:
    case OPTION_TYPE_DOUBLE:
      if (entry.quoted) {
        errorColumn = entry.quoteColumn;
        return false;
      }
      slot->assignNumber(entry.value.c_str());
      return true;
    default:
      if (!slot->assignText(entry.value.c_str(), entry.value.size()) && verbosity >= 1) {
        Option_Report("Value too long error in INI file %s, line %d,\nvariable '%s' (has %d chars, "
                      "max. allowed %d chars)",
                      path, lineNo, entry.key.c_str(),
                      int(slot->charsOf(entry.value.c_str(), entry.value.size())), slot->maxChars);
      }
      return true;
  }
}

// Line breaks inside a value would split its line and garble the rest of the
// file when it is read back; they are written as blanks.
std::string withoutLineBreaks(const char* value) {
  std::string text = value;
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  return text;
}

std::string formatRow(const OptionSlot& slot) {
  const char* name = slot.def->name;
  switch (slot.def->type) {
    case OPTION_TYPE_INT: return Text_Format("%s = %d\n", name, slot.intValue);
    case OPTION_TYPE_LONG: return Text_Format("%s = %ld\n", name, long(slot.longValue));
    case OPTION_TYPE_DOUBLE:
      return Text_Format("%s = %s\n", name, NumberText_FormatFixed(slot.doubleValue).c_str());
    default:
      return Text_Format("%s = \"%s\"\n", name, withoutLineBreaks(slot.textValue()).c_str());
  }
}

}  // namespace

std::string Option_IniPath() { return Platform_HomeFile(GetProgramBaseName() + ".ini"); }

int Option_LoadIni(const char* path, int verbosity) {
  Option_Init(nullptr);
  const std::string filePath = path ? std::string(path) : Option_IniPath();
  const char* name = filePath.c_str();
  FILE* file = std::fopen(name, "rb");
  if (!file) {
    if (verbosity >= 2) Option_Report("Error: Can't read INI file %s", name);
    return -1;
  }
  std::string line;
  int lineNo = 0;
  int result = 0;
  while (readLine(file, line)) {
    ++lineNo;
    const IniLine parsed = parseLine(line);
    int errorColumn = parsed.errorColumn;
    if (parsed.kind == IniLine::Comment) continue;
    if (parsed.kind == IniLine::Entry &&
        applyEntry(parsed, name, lineNo, verbosity, errorColumn))
      continue;
    if (verbosity >= 1)
      Option_Report("Syntax error in INI file %s, line %d, column %d", name, lineNo, errorColumn);
    result = -1;
    break;
  }
  // A read failure (the path is a folder, an I/O error) is not a file read to its end.
  if (result == 0 && std::ferror(file)) {
    if (verbosity >= 2) Option_Report("Error: Can't read INI file %s", name);
    result = -1;
  }
  std::fclose(file);
  return result;
}

int Option_SaveIni(const char* path) {
  const std::string filePath = path ? std::string(path) : Option_IniPath();
  std::string text = Text_Format("# Initialization file for %s\n\n", GetProgramBaseName().c_str());
  for (const OptionSlot& slot : Option_Slots()) {
    const char access = slot.def->access;
    if (access == OPTION_ACCESS_READWRITE || access == OPTION_ACCESS_WRITE) text += formatRow(slot);
  }
  if (!AtomicFile_Write(filePath, text)) {
    Option_Report("Error: Can't write INI file");
    return -1;
  }
  return 0;
}
