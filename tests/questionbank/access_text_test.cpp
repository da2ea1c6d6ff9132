#include "questionbank/TextCompare.h"

#include <gtest/gtest.h>

namespace questionbank {
namespace {

TEST(TextCompareTest, EqualityIgnoresTheCaseOfLatinLettersOnly)
{
    struct Case {
        const char* name;
        const char* a;
        const char* b;
        bool equal;
    };
    const Case cases[] = {
        { "ASCII case", "Mood Test", "mOOD tEST", true },
        { "Latin-1 case", "ÉCOLE Ñ", "école ñ", true },
        { "Latin Extended-A case", "ŁÓDŹ", "łódź", true },
        { "Latin Extended Additional case", "ẠẦ", "ạầ", true },
        { "dotted capital I", "İ", "i", true },
        { "accents differ", "resume", "résumé", false },
        { "CJK by code point", "性格测试", "性格测试", true },
        { "different CJK", "性格", "性別", false },
        { "full-width letters keep their case", "Ａ", "ａ", false },
        { "trailing blank counts", "a", "a ", false },
        { "empty", "", "", true },
        { "invalid UTF-8 bytes stay apart", "\xC3", "\xC4", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextEqual(c.a, c.b), c.equal);
        EXPECT_EQ(FoldText(c.a) == FoldText(c.b), c.equal);
        EXPECT_EQ(CompareText(c.a, c.b) == 0, c.equal);
    }
}

TEST(TextCompareTest, OrdersLikeTheGeneralSortOrder)
{
    // Each text sorts strictly before the next.
    const char* ascending[]
        = { "", " ", "1", "9", "a", "B", "c", "e", "é", "f", "resume", "résumé", "z", "一", "性格" };
    for (std::size_t i = 0; i + 1 < std::size(ascending); ++i) {
        SCOPED_TRACE(std::string(ascending[i]) + " < " + ascending[i + 1]);
        EXPECT_LT(CompareText(ascending[i], ascending[i + 1]), 0);
        EXPECT_GT(CompareText(ascending[i + 1], ascending[i]), 0);
    }
}

} // namespace
} // namespace questionbank
