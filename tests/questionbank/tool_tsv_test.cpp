// The fields of quizbank query's output, for every value type a Jet column hands over.
#include "tools/quizbank/TsvFormat.h"

#include <gtest/gtest.h>
#include <limits>

namespace {

using questionbank::Value;

struct FieldCase {
    const char* name;
    Value value;
    std::string expected;
};

class TsvFieldTest : public testing::TestWithParam<FieldCase> { };

TEST_P(TsvFieldTest, Formats)
{
    EXPECT_EQ(quizbank::TsvField(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Types, TsvFieldTest,
    testing::Values(FieldCase { "Null", Value::null(), "\\N" }, FieldCase { "EmptyText", Value(""), "" },
        FieldCase { "TextWithNullMarker", Value("\\N"), "\\\\N" },
        FieldCase { "Escapes", Value("a\tb\r\nc\\d"), "a\\tb\\r\\nc\\\\d" },
        FieldCase { "Chinese", Value("压力温度计"), "压力温度计" }, FieldCase { "BoolTrue", Value(true), "1" },
        FieldCase { "BoolFalse", Value(false), "0" }, FieldCase { "Byte", Value(std::uint8_t { 255 }), "255" },
        FieldCase { "IntegerMin", Value(std::int16_t { -32768 }), "-32768" },
        FieldCase { "LongMax", Value(std::int32_t { 2147483647 }), "2147483647" },
        FieldCase { "DoubleShortest", Value(0.1), "0.1" }, FieldCase { "DoubleWhole", Value(3.0), "3" },
        FieldCase { "DoubleTiny", Value(5e-324), "5e-324" }, FieldCase { "SingleShortest", Value(0.1f), "0.1" },
        FieldCase { "SingleNegative", Value(-1.5f), "-1.5" },
        FieldCase { "CurrencyFraction", Value(questionbank::Currency { 123450 }), "12.345" },
        FieldCase { "CurrencyWhole", Value(questionbank::Currency { -20000 }), "-2" },
        FieldCase { "CurrencySmallNegative", Value(questionbank::Currency { -1 }), "-0.0001" },
        FieldCase { "CurrencyLeast", Value(questionbank::Currency { std::numeric_limits<std::int64_t>::min() }),
            "-922337203685477.5808" },
        FieldCase { "Decimal", Value(questionbank::Decimal { "-12.0345" }), "-12.0345" },
        FieldCase { "DateEpoch", Value(questionbank::OleDate { 0 }), "1899-12-30 00:00:00" },
        FieldCase { "DateTime", Value(questionbank::OleDate { 45413.4375 }), "2024-05-01 10:30:00" },
        FieldCase { "DateLeapDay", Value(questionbank::OleDate { 36585 }), "2000-02-29 00:00:00" },
        // Before 1899-12-30 the fraction is still the time of day.
        FieldCase { "DateNegative", Value(questionbank::OleDate { -1.25 }), "1899-12-29 06:00:00" },
        FieldCase { "DateRoundsUpToNextDay", Value(questionbank::OleDate { 1.999999999 }), "1900-01-01 00:00:00" },
        FieldCase { "Binary", Value(questionbank::Bytes { 0x00, 0xAB, 0x0F }), "00ab0f" },
        FieldCase { "EmptyBinary", Value(questionbank::Bytes {}), "" }),
    [](const auto& row) { return std::string(row.param.name); });

TEST(TsvField, DoublesReadBackExactly)
{
    for (double value : { 1.0 / 3.0, 1e300, -2.5e-10, 123456789.123456789 }) {
        std::string text = quizbank::TsvField(Value(value));
        EXPECT_EQ(std::stod(text), value) << text;
    }
}

} // namespace
