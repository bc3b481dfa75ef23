#pragma once

#include <cstddef>

#include "workspace/char_source.hpp"

namespace cmatinv {

// The three reads every answer goes through. Each first calls `in.begin_read()`, so the
// prompt is on the screen before the program waits, then skips white space (line ends
// included) and takes only the characters of its own item; what stops it stays unread.

// An optional sign and decimal digits. Values beyond the signed 32-bit range clamp to
// its ends. False, with `value` unchanged and nothing but white space taken, when no
// digit follows.
bool read_integer(CharSource& in, int& value);

// A decimal number: optional sign; digits with an optional point, at least one digit on
// one side of it; optional exponent (e or E, optional sign, digits). The longest prefix
// that is a complete number is taken and converted with correct rounding, whatever the
// locale. False, with `value` unchanged, when no number begins here.
bool read_number(CharSource& in, double& value);

// One word up to the next white space, stored with its terminating zero in `buffer` of
// `size` bytes. The whole word is always taken; false when it did not fit (the buffer
// then holds an empty string). An empty word (end of input) is stored as "".
bool read_word(CharSource& in, char* buffer, std::size_t size);

}  // namespace cmatinv
