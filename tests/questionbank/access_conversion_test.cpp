#include "access_fixtures.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace questionbank {
namespace {

using testing::ErrorOf;

TEST(FieldTextTest, ConvertsEachTypeAsTheSystemDoes)
{
    struct Case {
        const char* name;
        Value value;
        const char* text;
    };
    const Case cases[] = {
        { "text unchanged", Value("性格测试 \r\n"), "性格测试 \r\n" },
        { "empty text", Value(""), "" },
        { "GUID text", Value("{3F2504E0-4F89-11D3-9A0C-0305E82C3301}"), "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}" },
        { "empty value", Value(), "" },
        { "true", Value(true), "True" },
        { "false", Value(false), "False" },
        { "byte", Value(std::uint8_t { 255 }), "255" },
        { "negative integer", Value(std::int16_t { -32768 }), "-32768" },
        { "long", Value(std::int32_t { 2147483647 }), "2147483647" },
        { "whole currency", Value(Currency { 30000 }), "3" },
        { "currency without trailing zeros", Value(Currency { 125000 }), "12.5" },
        { "negative currency fraction", Value(Currency { -1 }), "-0.0001" },
        { "smallest currency", Value(Currency { std::numeric_limits<std::int64_t>::min() }), "-922337203685477.5808" },
        { "single keeps 7 digits", Value(0.1f), "0.1" },
        { "single third", Value(1.0f / 3), "0.3333333" },
        { "double keeps 15 digits", Value(1.0 / 3), "0.333333333333333" },
        { "double whole", Value(123456789.0), "123456789" },
        { "double large", Value(1e20), "1E+20" },
        { "double small", Value(1e-5), "1E-05" },
        { "negative zero", Value(-0.0), "0" },
        { "date and time", Value(OleDate { 45413.4375 }), "2024/5/1 10:30:00" },
        { "date only at midnight", Value(OleDate { 45413 }), "2024/5/1" },
        { "time only on day 0", Value(OleDate { 0.5 + 1.0 / 86400 }), "12:00:01" },
        { "day 0 midnight", Value(OleDate { 0 }), "0:00:00" },
        { "before 1899-12-30", Value(OleDate { -1.25 }), "1899/12/29 6:00:00" },
        { "seconds round up to the next day", Value(OleDate { 1.9999999 }), "1900/1/1" },
        { "leap day", Value(OleDate { 36585 }), "2000/2/29" },
        { "decimal", Value(Decimal { "-12.345" }), "-12.345" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FieldText(c.value), c.text);
    }
}

TEST(FieldTextTest, FailsForValuesWithoutText)
{
    EXPECT_EQ(ErrorOf([] { FieldText(Value(Bytes { 1, 2 })); }), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(ErrorOf([] { FieldText(Value::null()); }), DISP_E_TYPEMISMATCH);
}

TEST(FieldSmallIntTest, TakesIntegersByTheirLow16BitsAndOthersOnlyWhenExact)
{
    struct Case {
        const char* name;
        Value value;
        HRESULT error; // S_OK: converts to `result`
        std::int32_t result;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        { "integer -1", Value(std::int16_t { -1 }), S_OK, -1 },
        { "integer extremes", Value(std::int16_t { -32768 }), S_OK, -32768 },
        { "byte", Value(std::uint8_t { 200 }), S_OK, 200 },
        { "long in range", Value(std::int32_t { -5 }), S_OK, -5 },
        { "long by its low 16 bits", Value(std::int32_t { 70000 }), S_OK, 4464 },
        { "long 65535 is -1", Value(std::int32_t { 65535 }), S_OK, -1 },
        { "long 32768 is -32768", Value(std::int32_t { 32768 }), S_OK, -32768 },
        { "true is -1", Value(true), S_OK, -1 },
        { "false is 0", Value(false), S_OK, 0 },
        { "empty is 0", Value(), S_OK, 0 },
        { "whole double", Value(-7.0), S_OK, -7 },
        { "double upper bound", Value(32767.0), S_OK, 32767 },
        { "double fraction", Value(2.5), DISP_E_TYPEMISMATCH, 0 },
        { "double too large", Value(32768.0), DISP_E_OVERFLOW, 0 },
        { "double too small", Value(-32769.0), DISP_E_OVERFLOW, 0 },
        { "double infinity", Value(std::numeric_limits<double>::infinity()), DISP_E_OVERFLOW, 0 },
        { "double NaN", Value(nan), DISP_E_TYPEMISMATCH, 0 },
        { "whole single", Value(12.0f), S_OK, 12 },
        { "whole currency", Value(Currency { -320000 }), S_OK, -32 },
        { "currency fraction", Value(Currency { 5 }), DISP_E_TYPEMISMATCH, 0 },
        { "currency too large", Value(Currency { 327680000 }), DISP_E_OVERFLOW, 0 },
        { "whole date", Value(OleDate { 3 }), S_OK, 3 },
        { "date with a time", Value(OleDate { 3.5 }), DISP_E_TYPEMISMATCH, 0 },
        { "decimal", Value(Decimal { "-32768" }), S_OK, -32768 },
        { "decimal fraction", Value(Decimal { "1.5" }), DISP_E_TYPEMISMATCH, 0 },
        { "decimal too large", Value(Decimal { "123456789012345678901234567" }), DISP_E_OVERFLOW, 0 },
        { "numeric text", Value(" 42 "), S_OK, 42 },
        { "signed text", Value("-00012"), S_OK, -12 },
        { "text with zero fraction", Value("+7.000"), S_OK, 7 },
        { "text with exponent", Value("1.5e3"), S_OK, 1500 },
        { "text with fraction", Value("7.01"), DISP_E_TYPEMISMATCH, 0 },
        { "text with a tiny fraction", Value("32767.0000000000000001"), DISP_E_TYPEMISMATCH, 0 },
        { "text too large", Value("40000"), DISP_E_OVERFLOW, 0 },
        { "text with huge exponent", Value("1e99999999999"), DISP_E_OVERFLOW, 0 },
        { "zero with huge negative exponent", Value("0e-99999999999"), S_OK, 0 },
        { "words", Value("abc"), DISP_E_TYPEMISMATCH, 0 },
        { "empty text", Value(""), DISP_E_TYPEMISMATCH, 0 },
        { "lone sign", Value("-"), DISP_E_TYPEMISMATCH, 0 },
        { "exponent without digits", Value("1e"), DISP_E_TYPEMISMATCH, 0 },
        { "binary", Value(Bytes { 1, 0 }), DISP_E_TYPEMISMATCH, 0 },
        { "null", Value::null(), DISP_E_TYPEMISMATCH, 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::int32_t result = 0;
        EXPECT_EQ(ErrorOf([&] { result = FieldSmallInt(c.value); }), c.error);
        if (c.error == S_OK) {
            EXPECT_EQ(result, c.result);
        }
    }
}

} // namespace
} // namespace questionbank
