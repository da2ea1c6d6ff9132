#include "Printers.h"
#include "update/VersionCheck.h"

#include <gtest/gtest.h>

namespace {

struct CutCase {
    const char* label;
    const char* cookieText;
    const char* name;
    const char* value;
};

class CutCookieValueTest : public ::testing::TestWithParam<CutCase> { };

TEST_P(CutCookieValueTest, CutsTheValue)
{
    const CutCase& c = GetParam();
    EXPECT_EQ(
        update::CutCookieValue(QString::fromUtf8(c.cookieText), QString::fromUtf8(c.name)), QString::fromUtf8(c.value));
}

INSTANTIATE_TEST_SUITE_P(Cases, CutCookieValueTest,
    ::testing::Values(CutCase { "MiddlePair", "other=1; CurSoftVer=1.10; CurDatabaseVer=7", "CurSoftVer", "1.10" },
        CutCase { "LastPairRunsToTheEnd", "other=1; CurSoftVer=1.10; CurDatabaseVer=7", "CurDatabaseVer", "7" },
        CutCase { "NameMissing", "other=1; CurDatabaseVer=7", "CurSoftVer", "" },
        CutCase { "EmptyText", "", "CurSoftVer", "" },
        CutCase { "EmptyValue", "CurSoftVer=; CurDatabaseVer=7", "CurSoftVer", "" },
        CutCase { "TextEndsAfterName", "a=1; CurSoftVer", "CurSoftVer", "" },
        CutCase { "TextEndsAfterSkippedChar", "a=1; CurSoftVer=", "CurSoftVer", "" },
        // The first occurrence counts, even inside a longer name.
        CutCase { "LongerNameFirst", "XCurSoftVer=2.00; CurSoftVer=1.00", "CurSoftVer", "2.00" },
        CutCase { "CaseSensitive", "cursoftver=2.00; CurSoftVer=1.00", "CurSoftVer", "1.00" },
        // The character after the name is skipped whatever it is; nothing is trimmed.
        CutCase { "SkipsAnyCharacter", "CurSoftVer:1.10;x", "CurSoftVer", "1.10" },
        CutCase { "KeepsSpaces", "CurSoftVer= 1.00 ; x=1", "CurSoftVer", " 1.00 " },
        CutCase { "NonAscii", "CurDatabaseVer=二〇〇六;x=1", "CurDatabaseVer", "二〇〇六" }),
    [](const auto& row) { return std::string(row.param.label); });

struct OrderCase {
    const char* label;
    const char* server;
    const char* local;
    bool sortsAfter;
};

class VersionSortsAfterTest : public ::testing::TestWithParam<OrderCase> { };

TEST_P(VersionSortsAfterTest, ComparesAsText)
{
    const OrderCase& c = GetParam();
    EXPECT_EQ(update::VersionSortsAfter(QString::fromUtf8(c.server), QString::fromUtf8(c.local)), c.sortsAfter);
}

INSTANTIATE_TEST_SUITE_P(Cases, VersionSortsAfterTest,
    ::testing::Values(OrderCase { "HigherMinor", "1.10", "1.00", true },
        OrderCase { "TextNotNumber", "1.9", "1.10", true },
        OrderCase { "NumericallyLowerButLaterText", "1.10", "1.9", false },
        OrderCase { "TwoDigitMajor", "10", "1.00", true }, OrderCase { "TrailingSpace", "1.00 ", "1.00", true },
        OrderCase { "PrefixSortsFirst", "1.0", "1.00", false }, OrderCase { "EqualIsCurrent", "1.00", "1.00", false },
        OrderCase { "Older", "0.9", "1.00", false }, OrderCase { "AnythingAfterEmpty", "0", "", true },
        OrderCase { "EmptyAfterNothing", "", "", false },
        // Bytes count as unsigned: non-ASCII sorts after ASCII.
        OrderCase { "HighBytesAreLarge", "二", "z", true }, OrderCase { "LowBytesAreSmall", "z", "二", false }),
    [](const auto& row) { return std::string(row.param.label); });

} // namespace
