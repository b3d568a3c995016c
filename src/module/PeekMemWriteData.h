// The data field of the "Write to memory" dialog: numbers separated by blanks
// (decimal, or hexadecimal after "0x"), and texts in double quotes or
// apostrophes whose every character is one value. Commas and tabs separate
// like blanks, also right after a number ("1, 2,3").
//
//   16 0x20 "AB" 'c'   ->   0x10 0x20 0x41 0x42 0x63
#pragma once

#include <string>
#include <vector>

struct PeekByteList {
  std::vector<int> values;  // 0..255 each
  std::string error;        // empty when the whole text was read
};
// At most `maximum` values. Inside a hexadecimal number characters other than
// hex digits are ignored (the number still ends at a blank). Errors: a decimal
// number with another character in it, "0x" without a digit, a value above
// 255, a character that starts nothing, a text without its closing quote, and
// more values than `maximum`.
PeekByteList PeekWrite_ParseData(const std::string& text, int maximum);

// The same with the values in out[0..maximum): the count, or -1 when the text
// has an error.
int ParseByteList(const std::string& text, int* out, int maximum);
