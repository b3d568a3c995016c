#include "bus/BitRate.h"

namespace {
constexpr int kRates[8] = {10000, 20000, 50000, 100000, 125000, 250000, 500000, 1000000};
constexpr const char* kTexts[8] = {"10 kBaud",  "20 kBaud",  "50 kBaud",  "100 kBaud",
                                   "125 kBaud", "250 kBaud", "500 kBaud", "1000 kBaud"};
bool known(int code) { return code >= 0 && code < 8; }
}  // namespace

int BitRate_FromCode(int code) { return known(code) ? kRates[code] : 0; }

const char* BitRate_Text(int code) { return known(code) ? kTexts[code] : nullptr; }
