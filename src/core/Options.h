// The option table: every setting of the program, by name, typed, with a
// built-in default; persisted in the INI file in the user's home folder.
#pragma once

#include <cstdint>
#include <string>

// Receives each formatted error message of the option functions.
using OptionReportFn = void (*)(const char* message);

// One-time initialisation from the defaults. 0 on success or when already
// done, -1 on a definition error. A non-null callback is installed every time.
int Option_Init(OptionReportFn report);

int Option_GetInt(const char* name);
int Option_SetInt(const char* name, int value);  // 0 ok, -1 unknown name or wrong type
int32_t Option_GetLong(const char* name);
int Option_SetLong(const char* name, int32_t value);
double Option_GetDouble(const char* name);
int Option_SetDouble(const char* name, double value);
// The option's own live buffer ("" on error).
const char* Option_GetString(const char* name);
int Option_SetString(const char* name, const char* text);  // -1 also when too long
// Converted copy in one shared buffer, overwritten by the next call.
const std::wstring& Option_GetWString(const char* name);
int Option_SetWString(const char* name, const std::wstring& text);
// A wide option's text as the program keeps it (UTF-8), read and written
// without converting: the option's own live buffer ("" on error).
const char* Option_GetText(const char* name);
int Option_SetText(const char* name, const std::string& utf8);

// Reads the INI file (nullptr = Option_IniPath()). 0 when read to its end, else -1.
// verbosity 0 reports nothing, 1 syntax/length/unknown-key errors, 2 also a missing file.
int Option_LoadIni(const char* path, int verbosity);
// Writes the INI file (nullptr = Option_IniPath()). 0 or -1.
int Option_SaveIni(const char* path);
// "<home>/<program base name>.ini"
std::string Option_IniPath();
