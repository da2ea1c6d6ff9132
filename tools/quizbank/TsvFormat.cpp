#include "TsvFormat.h"
#include "questionbank/CivilDate.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <type_traits>

namespace quizbank {

using questionbank::Value;

std::string TsvEscape(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\\':
            out += "\\\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

namespace {

template <typename Float> std::string Shortest(Float value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

std::string OleDateText(double days)
{
    if (!std::isfinite(days) || std::fabs(days) > 3.0e6)
        return Shortest(days); // far outside any calendar Jet keeps
    // The whole part counts days from 1899-12-30; the fraction is the time of day even for
    // negative dates (-1.25 is 1899-12-29 06:00).
    double whole = std::trunc(days);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - whole) * 86400.0));
    auto dayNumber = static_cast<std::int64_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        dayNumber += days < 0 ? -1 : 1;
    }
    std::int64_t year;
    unsigned month, day;
    questionbank::CivilFromDays(dayNumber - 25569, year, month, day);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02lld:%02lld:%02lld", static_cast<long long>(year), month,
        day, static_cast<long long>(seconds / 3600), static_cast<long long>(seconds / 60 % 60),
        static_cast<long long>(seconds % 60));
    return buffer;
}

std::string ScaledDecimal(std::int64_t scaled, int scale)
{
    bool negative = scaled < 0;
    // Through unsigned so that the least int64 keeps its magnitude.
    std::uint64_t magnitude = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::string digits = std::to_string(magnitude);
    if (digits.size() <= static_cast<std::size_t>(scale))
        digits.insert(0, static_cast<std::size_t>(scale) + 1 - digits.size(), '0');
    std::string whole = digits.substr(0, digits.size() - static_cast<std::size_t>(scale));
    std::string fraction = digits.substr(digits.size() - static_cast<std::size_t>(scale));
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    return (negative ? "-" : "") + whole + (fraction.empty() ? "" : "." + fraction);
}

std::string TsvField(const Value& value)
{
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return "";
            else if constexpr (std::is_same_v<T, questionbank::Null>)
                return "\\N";
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "1" : "0";
            else if constexpr (std::is_same_v<T,
                                   std::uint8_t> || std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, questionbank::Currency>)
                return ScaledDecimal(v.scaled, 4);
            else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
                return Shortest(v);
            else if constexpr (std::is_same_v<T, questionbank::OleDate>)
                return OleDateText(v.days);
            else if constexpr (std::is_same_v<T, std::string>)
                return TsvEscape(v);
            else if constexpr (std::is_same_v<T, questionbank::Bytes>) {
                static constexpr char kHex[] = "0123456789abcdef";
                std::string out;
                for (std::uint8_t byte : v) {
                    out += kHex[byte >> 4];
                    out += kHex[byte & 0xF];
                }
                return out;
            } else {
                static_assert(std::is_same_v<T, questionbank::Decimal>);
                return v.text;
            }
        },
        value.storage());
}

} // namespace quizbank
