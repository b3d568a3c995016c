// Fuzzes the reading side of calibration data files: the line reader over a
// file of any bytes, the line parser and the value fields, as the loader uses
// them for every line before it sends anything to a module.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "FuzzSupport.h"
#include "core/Session.h"
#include "calib/CalibDataFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session;  // every input starts a fresh program run
  static FuzzMemoryFile input("cal-in");
  input.set(data, size);
  std::FILE* file = std::fopen(input.path.c_str(), "r");
  FUZZ_CHECK(file);

  std::string text;
  size_t lines = 0;
  while (CalibFile_ReadLine(file, text)) {
    ++lines;
    FUZZ_CHECK(text.size() <= size_t(CALIB_FILE_MAX_LINE));
    FUZZ_CHECK(text.find('\n') == std::string::npos && text.find('\0') == std::string::npos);
    const CalibFileLine line = CalibFile_ParseLine(text);
    if (line.kind != CalibFileLine::Data) continue;
    for (const std::string& field : line.fields) {
      FUZZ_CHECK(!field.empty() && field.size() <= text.size());
      float value = 0;
      if (!CalibFile_IsEmptyField(field) && CalibFile_ReadValue(field, value)) {
        FUZZ_CHECK(std::isfinite(value));
      }
    }
  }
  std::fclose(file);
  // Every line feed ends a line; the text after the last one is a line too.
  size_t feeds = 0;
  for (size_t i = 0; i < size; ++i) feeds += data[i] == '\n';
  FUZZ_CHECK(lines == feeds + (size > 0 && data[size - 1] != '\n'));
  return 0;
}
