// Small text helpers of the service pages' files (SDO lists, SMS lists,
// serial-number files): reading a file line by line with a length limit, and
// converting between the program's UTF-8 text and single-byte Latin-1.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Reads every line of a text file without its line end ("\n" or "\r\n"). A
// line longer than maxLine bytes keeps its first maxLine bytes and the rest
// is dropped; text after a NUL byte in a line is dropped too. False when the
// file cannot be opened (lines is then empty).
bool TextLines_Read(const std::string& path, size_t maxLine, std::vector<std::string>& lines);

// Bytes that may hold Latin-1 (or broken UTF-8) as well-formed UTF-8: valid
// UTF-8 sequences stay, every other byte is taken as a Latin-1 character.
std::string TextLines_ToUtf8(const std::string& bytes);
// Latin-1 bytes as UTF-8.
std::string TextLines_Latin1ToUtf8(const std::string& latin1);
// UTF-8 as Latin-1 bytes; characters beyond Latin-1 become '?'.
std::string TextLines_Utf8ToLatin1(const std::string& utf8);
// True when bytes are well-formed UTF-8 and hold at least one multi-byte
// character (so they cannot be meant as Latin-1 by accident).
bool TextLines_IsMultibyteUtf8(const std::string& bytes);

// Number of characters (code points) of UTF-8 text.
size_t TextLines_CharCount(const std::string& utf8);
// The first maxChars characters of UTF-8 text.
std::string TextLines_CutChars(const std::string& utf8, size_t maxChars);
