// Numbers as text: significant digits after a sign character ("-", or a
// space for a number that is not negative), in plain or exponent form.
#pragma once

#include <cstdint>

#include "runtime/dynamic_string.h"

// With 15 significant digits: the form the program's messages use.
DynamicString NumberToText(long double x);

// With 7 significant digits.
DynamicString NumberToTextSevenDigits(long double x);

// With a count of significant digits: 1 to 17 as given, any other count means 18.
DynamicString NumberToText(long double x, std::int32_t significantDigits);
