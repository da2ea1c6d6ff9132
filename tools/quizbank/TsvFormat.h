#pragma once

#include "questionbank/Value.h"

#include <string>
#include <string_view>

namespace quizbank {

// A field of quizbank query's tab-separated output: NULL as \N; in text, tab, LF, CR and backslash
// as \t, \n, \r and \\; numbers in decimal (floating point in the shortest form that reads back
// exactly); Bool as 0 or 1; dates as YYYY-MM-DD HH:MM:SS; binary as lower-case hex.
std::string TsvField(const questionbank::Value& value);
std::string TsvEscape(std::string_view text);

// An OLE automation date as YYYY-MM-DD HH:MM:SS, rounded to the second.
std::string OleDateText(double days);

// A number scaled by 10^scale as exact decimal text without trailing zeros after the point.
std::string ScaledDecimal(std::int64_t scaled, int scale);

} // namespace quizbank
