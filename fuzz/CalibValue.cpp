// Fuzzes the reader of entered calibration values: the first three bytes pick
// the channel code and the display mode, the rest is the entered text. A value
// read must be a number, and a value shown must read back.
#include <cmath>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "core/Session.h"
#include "io/CalibValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Session session;  // every input starts a fresh program run
  if (size < 3) return 0;
  const int code = data[0] << 8 | data[1];
  const int mode = data[2] % 4;  // 3: an unknown mode
  const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

  double value = 12345.0;
  const int read = CalibData_ParseValue(value, code, mode, text);
  FUZZ_CHECK(read == 0 || read == 1);
  if (read == 0) FUZZ_CHECK(value == 12345.0);
  if (read == 1 && std::isfinite(value)) {
    const std::string shown = CalibData_FormatValue(value, code, mode);
    double again = 0;
    CalibData_ParseValue(again, code, mode, shown);
    std::string xText, yText;
    CalibData_PointTexts(CalibValue_Encode(value), CalibValue_Encode(-value), code, mode, xText,
                         yText);
    FUZZ_CHECK(!xText.empty() && !yText.empty());
  }
  return 0;
}
