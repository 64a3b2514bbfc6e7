#pragma once
// Reading reals the same way whatever locale the process was given: always the "C" locale's
// decimal point and no grouping.

namespace QuillPlatform {

// strtod in the "C" locale: the same syntax (leading white space, sign, decimal or hexadecimal
// digits, exponent, "inf", "nan"), `end` set past the number or to `text` when there is none.
double ParseDoubleC(const char* text, char** end);

} // namespace QuillPlatform
