// FieldText and FieldSmallInt: the conversions that VariantChangeType (flags 0, a Chinese system,
// locale 2052) makes of the values Jet hands over, done here without the system.
//
// FieldText:
//   text            unchanged (Jet Text, Memo and GUID, the GUID already as "{…}")
//   Empty           ""
//   Bool            "True" / "False"
//   Byte, Integer, Long   decimal
//   Currency        decimal, no trailing zeros after the point, no point for whole amounts ("12.5", "-3")
//   Single, Double  at most 7 / 15 significant digits like printf's %G ("0.1", "1E+20", "1E-05")
//   DateTime        "YYYY/M/D H:MM:SS" (the short date and long time of the Chinese locale); only the date
//                   when the time is 0:00:00, only "H:MM:SS" when the date part is 0 (so 0 is "0:00:00")
//   Decimal         its text
//   Null, Binary    DISP_E_TYPEMISMATCH
//   The decimal point is always '.', whatever the process locale says.
//
// FieldSmallInt:
//   Integer, Long, Byte   the low 16 bits as a signed number (70000 → 4464, 65535 → -1)
//   Bool            -1 / 0, VARIANT_BOOL's bit pattern
//   Empty           0
//   Currency, Single, Double, DateTime, Decimal, text that reads as a number
//                   only an exact integer in -32768..32767; not integral or not a number:
//                   DISP_E_TYPEMISMATCH, out of range: DISP_E_OVERFLOW
//   Null, Binary    DISP_E_TYPEMISMATCH
//   (Taking the 16-bit member of a VARIANT that holds a Double would read bits of the double.)

#include "RecordAccess.h"
#include "questionbank/CivilDate.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <variant>

namespace questionbank {

namespace {

[[noreturn]] void TypeMismatch()
{
    throw ComError(DISP_E_TYPEMISMATCH);
}

[[noreturn]] void Overflow()
{
    throw ComError(DISP_E_OVERFLOW);
}

template <typename Float> std::string FloatText(Float value, int precision)
{
    if (value == 0)
        return "0"; // also for -0
    char buffer[64];
    auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    if (error != std::errc())
        return {};
    std::string text(buffer, end);
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
    return text;
}

std::string CurrencyText(Currency value)
{
    bool negative = value.scaled < 0;
    std::uint64_t magnitude
        = negative ? 0 - static_cast<std::uint64_t>(value.scaled) : static_cast<std::uint64_t>(value.scaled);
    std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
    std::string fraction = std::to_string(10000 + magnitude % 10000).substr(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.pop_back();
    if (!fraction.empty())
        text += "." + fraction;
    return text;
}

constexpr std::int64_t kOleEpochFromUnixEpoch = -25569; // 1899-12-30
constexpr double kLargestOleDate = 2958465.99999; // 9999-12-31 23:59:59

std::string DateText(OleDate value)
{
    if (!std::isfinite(value.days) || std::fabs(value.days) > kLargestOleDate)
        TypeMismatch();
    // The integer part is the day (counted towards 0), the fraction's magnitude the time of that day.
    double whole = std::trunc(value.days);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(value.days - whole) * 86400));
    auto dayNumber = static_cast<std::int64_t>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++dayNumber;
    }
    char time[16];
    std::snprintf(time, sizeof time, "%d:%02d:%02d", static_cast<int>(seconds / 3600),
        static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    if (dayNumber == 0)
        return time;
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(dayNumber + kOleEpochFromUnixEpoch, year, month, day);
    char date[32];
    std::snprintf(date, sizeof date, "%04lld/%u/%u", static_cast<long long>(year), month, day);
    if (seconds == 0)
        return date;
    return std::string(date) + " " + time;
}

std::int32_t SmallIntFromDouble(double value)
{
    if (std::isnan(value) || value != std::trunc(value))
        TypeMismatch();
    if (value < -32768 || value > 32767)
        Overflow();
    return static_cast<std::int32_t>(value);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number written in decimal: [spaces][+|-]digits[.digits][(e|E)[+|-]digits][spaces], read exactly.
std::int32_t SmallIntFromText(std::string_view text)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    std::size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    std::string digits;
    std::size_t integerDigits = 0;
    while (pos < text.size() && IsDigit(text[pos]))
        digits += text[pos++];
    integerDigits = digits.size();
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos]))
            digits += text[pos++];
    }
    if (digits.empty())
        TypeMismatch();
    long long exponent = 0;
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        ++pos;
        bool negativeExponent = false;
        if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
            negativeExponent = text[pos++] == '-';
        if (pos == text.size() || !IsDigit(text[pos]))
            TypeMismatch();
        while (pos < text.size() && IsDigit(text[pos])) {
            if (exponent < 100000)
                exponent = exponent * 10 + (text[pos] - '0');
            ++pos;
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    if (pos != text.size())
        TypeMismatch();

    // The digits before the point once the exponent has moved it; leading zeros do not count.
    std::size_t firstNonZero = digits.find_first_not_of('0');
    if (firstNonZero == std::string::npos)
        return 0;
    long long point = static_cast<long long>(integerDigits) + exponent;
    for (std::size_t i = 0; i < digits.size(); ++i)
        if (static_cast<long long>(i) >= point && digits[i] != '0')
            TypeMismatch();
    long long wholeDigits = point - static_cast<long long>(firstNonZero);
    if (wholeDigits > 5)
        Overflow();
    long long magnitude = 0;
    for (long long i = static_cast<long long>(firstNonZero); i < point; ++i)
        magnitude = magnitude * 10
            + (i < static_cast<long long>(digits.size()) ? digits[static_cast<std::size_t>(i)] - '0' : 0);
    long long result = negative ? -magnitude : magnitude;
    if (result < -32768 || result > 32767)
        Overflow();
    return static_cast<std::int32_t>(result);
}

} // namespace

std::string FieldText(const Value& value)
{
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>)
                return v;
            else if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, Null> || std::is_same_v<T, Bytes>)
                TypeMismatch();
            else if constexpr (std::is_same_v<T, bool>)
                return v ? "True" : "False";
            else if constexpr (std::is_same_v<T,
                                   std::uint8_t> || std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::int32_t>)
                return std::to_string(v);
            else if constexpr (std::is_same_v<T, Currency>)
                return CurrencyText(v);
            else if constexpr (std::is_same_v<T, float>)
                return FloatText(v, 7);
            else if constexpr (std::is_same_v<T, double>)
                return FloatText(v, 15);
            else if constexpr (std::is_same_v<T, OleDate>)
                return DateText(v);
            else if constexpr (std::is_same_v<T, Decimal>)
                return v.text;
        },
        value.storage());
}

std::int32_t FieldSmallInt(const Value& value)
{
    return std::visit(
        [](const auto& v) -> std::int32_t {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::int16_t> || std::is_same_v<T, std::uint8_t>)
                return v;
            else if constexpr (std::is_same_v<T, std::int32_t>)
                return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(v)));
            else if constexpr (std::is_same_v<T, bool>)
                return v ? -1 : 0;
            else if constexpr (std::is_same_v<T, std::monostate>)
                return 0;
            else if constexpr (std::is_same_v<T, Null> || std::is_same_v<T, Bytes>)
                TypeMismatch();
            else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>)
                return SmallIntFromDouble(static_cast<double>(v));
            else if constexpr (std::is_same_v<T, OleDate>)
                return SmallIntFromDouble(v.days);
            else if constexpr (std::is_same_v<T, Currency>) {
                if (v.scaled % 10000 != 0)
                    TypeMismatch();
                std::int64_t whole = v.scaled / 10000;
                if (whole < -32768 || whole > 32767)
                    Overflow();
                return static_cast<std::int32_t>(whole);
            } else if constexpr (std::is_same_v<T, Decimal>)
                return SmallIntFromText(v.text);
            else if constexpr (std::is_same_v<T, std::string>)
                return SmallIntFromText(v);
        },
        value.storage());
}

} // namespace questionbank
