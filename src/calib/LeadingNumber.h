// The decimal number at the start of a text, as instruments and sequence
// files write it: optional blanks and sign, digits with an optional point
// and fraction, an optional exponent. Always with a decimal point, whatever
// the locale; no hexadecimal, no "inf" or "nan".
#pragma once

// True with the value when the text (after blanks) begins with a number;
// reading stops at the first character that does not fit.
bool LeadingNumber_Double(const char* text, double& value);
// The leading number, or 0 when the text does not begin with one.
double LeadingNumber_DoubleOr0(const char* text);
