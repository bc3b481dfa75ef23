#pragma once

namespace cmatinv {

// The longest number text, "-1.23456e-308", has 13 characters.
constexpr int NUMBER_TEXT_MAX = 13;

// Writes the text of `value` at `out`: sign, one digit, ".", five digits, "e", the
// exponent's sign and three exponent digits (12 characters, 13 with a minus sign); no
// terminating zero. Returns the end of the text.
char* format_number(char* out, double value);

}  // namespace cmatinv
