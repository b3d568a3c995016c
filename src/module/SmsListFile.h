// SMS list files: the phone numbers and texts of a module's SMS table in a
// small XML-like file declared as ISO-8859-1.
//
//   <?xml version="1.0" encoding="ISO-8859-1"?>
//   <smslist>
//   	<sms>
//   		<phone>+49 170 1234567</phone>
//   		<text>Boiler fault</text>
//   	</sms>
//   </smslist>
//
// Phone numbers and texts are single-byte (Latin-1) text here, as the module
// keeps them; no character is escaped. Reading looks only for the tags <sms>,
// <phone>, </phone>, <text>, </text>, </sms>, in this order, anywhere in the
// lines; the content of a tag pair may span lines.
#pragma once

#include <string>
#include <vector>

inline constexpr int kSmsFileMaxLine = 1023;     // longer lines are read in pieces
inline constexpr int kSmsFileMaxContent = 1023;  // characters collected per tag pair

struct SmsFileEntry {
  std::string phone;  // Latin-1
  std::string text;   // Latin-1
};

// The file's bytes for these entries.
std::string SmsFile_Format(const std::vector<SmsFileEntry>& entries);

// What reading a file's bytes gives: at most `capacity` entries, in order,
// their contents as found (not yet cut to the table's limits), and whether a
// further <sms> block was found (the reading then stopped). A file that is
// well-formed UTF-8 with non-ASCII characters in it is taken as UTF-8 (an
// editor saved it so) and converted to Latin-1; anything else is Latin-1.
struct SmsFileContents {
  std::vector<SmsFileEntry> entries;
  bool tooMany = false;
  // Entries whose </phone> or </text> was reached: phone stored, text stored.
  std::vector<bool> phoneSeen, textSeen;
};
SmsFileContents SmsFile_Parse(const std::string& bytes, int capacity);
