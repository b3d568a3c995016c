// The definition of every option: name, type, access, default and, for text
// options, the maximum length. The order of the rows is the order of the lines
// in the written INI file.
#pragma once

// Type letters.
constexpr char OPTION_TYPE_INT = 'i';     // 32-bit signed integer
constexpr char OPTION_TYPE_LONG = 'l';    // 32-bit signed long
constexpr char OPTION_TYPE_DOUBLE = 'd';  // double
constexpr char OPTION_TYPE_STRING = 's';  // narrow string
constexpr char OPTION_TYPE_WSTRING = 'w'; // wide string, kept as a narrow (UTF-8) string

// Access letters: whether the INI file is read into / written from the option.
constexpr char OPTION_ACCESS_READWRITE = '+';
constexpr char OPTION_ACCESS_READ = 'r';
constexpr char OPTION_ACCESS_WRITE = 'w';
constexpr char OPTION_ACCESS_NONE = '-';  // unstored: always starts at its default

// The name of the definition source in messages.
constexpr const char* OPTION_DEFINITION_SOURCE = "Option.dat";

struct OptionDef {
  const char* name;         // "" ends the table
  char type;                // OPTION_TYPE_*
  char access;              // OPTION_ACCESS_*
  const char* defaultText;  // converted by type at initialisation
  int maxLength;            // text options: maximum number of characters
};

// The program's option rows, ended by a row with an empty name.
const OptionDef* OptionTable_Definitions();
