#include "calib/LeadingNumber.h"

#include <string>

#include "core/NumberText.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

}  // namespace

bool LeadingNumber_Double(const char* text, double& value) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  const char* start = p;
  if (*p == '+' || *p == '-') ++p;
  int digits = 0;
  for (; IsDigit(*p); ++p) ++digits;
  if (*p == '.') {
    for (++p; IsDigit(*p); ++p) ++digits;
  }
  if (digits == 0) return false;
  // An exponent counts only when digits follow it.
  const char* e = p;
  if (*e == 'e' || *e == 'E') {
    ++e;
    if (*e == '+' || *e == '-') ++e;
    if (IsDigit(*e)) {
      while (IsDigit(*e)) ++e;
      p = e;
    }
  }
  value = NumberText_ParseDouble(std::string(start, p).c_str());
  return true;
}

double LeadingNumber_DoubleOr0(const char* text) {
  double value = 0.0;
  return LeadingNumber_Double(text, value) ? value : 0.0;
}
