#include "questionbank/ComError.h"

#include <gtest/gtest.h>

namespace questionbank {
namespace {

TEST(ComErrorTextTest, UsesTheSystemMessageOrOneOfTheTwoFormats)
{
    struct Case {
        const char* name;
        HRESULT hr;
        const char* text;
    };
    const Case cases[] = {
        { "missing table", DB_E_NOTABLE, "IDispatch error #3127" },
        { "syntax error", DB_E_ERRORSINCOMMAND, "IDispatch error #3092" },
        { "refused password", DB_SEC_E_AUTH_FAILED, "IDispatch error #3149" },
        { "first of the range", MakeHResult(0x80040201), "IDispatch error #1" },
        { "last of the range", MakeHResult(0x8004FFFF), "IDispatch error #65023" },
        { "range base takes the second format", MakeHResult(0x80040200), "Unknown error 0x80040200" },
        { "just above the range", MakeHResult(0x80050000), "Unknown error 0x80050000" },
        { "closed recordset", adErrObjectClosed, "Unknown error 0x800A0E78" },
        { "no current record", adErrNoCurrentRecord, "Unknown error 0x800A0BCD" },
        { "a success code has no leading zeros", MakeHResult(0x1), "Unknown error 0x1" },
        { "system message without its line break", E_FAIL, "未指定的错误" },
        { "null pointer", E_POINTER, "无效指针" },
        { "type mismatch", DISP_E_TYPEMISMATCH, "类型不匹配。" },
        { "overflow", DISP_E_OVERFLOW, "溢出。" },
        { "missing file", E_FILE_NOT_FOUND, "系统找不到指定的文件。" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ComErrorText(ComError(c.hr)), c.text);
    }
}

TEST(ComErrorTextTest, TrimsOnlyOneTrailingLineBreak)
{
    const std::pair<const char*, const char*> cases[] = {
        { "text\r\n", "text" },
        { "text\n", "text" },
        { "text\r\n\r\n", "text\r\n" },
        { "text\n\n", "text\n" },
        { "text\r", "text\r" },
        { "\r\n", "" },
        { "\n", "\n" }, // one character keeps its LF
        { "", "" },
        { "a\rb\n", "a\rb" },
    };
    for (const auto& [message, shown] : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::string(message)));
        EXPECT_EQ(TrimTrailingLineBreak(message), shown);
    }
}

TEST(ComErrorTextTest, EveryKnownSystemMessageEndsInCrLfAndOleDbCodesHaveNone)
{
    for (HRESULT hr : { E_FAIL, E_POINTER, E_OUTOFMEMORY, E_INVALIDARG, E_ACCESSDENIED, E_FILE_NOT_FOUND,
             E_PATH_NOT_FOUND, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW }) {
        auto message = SystemMessageText(hr);
        ASSERT_TRUE(message) << std::hex << hr;
        EXPECT_TRUE(message->ends_with("\r\n"));
    }
    for (HRESULT hr :
        { DB_E_NOTABLE, DB_E_ERRORSINCOMMAND, DB_E_PARAMNOTOPTIONAL, DB_E_CANTCONVERTVALUE, DB_SEC_E_AUTH_FAILED,
            adErrItemNotFound, adErrNoCurrentRecord, adErrObjectClosed, adErrObjectOpen, adErrProviderNotFound })
        EXPECT_FALSE(SystemMessageText(hr)) << std::hex << hr;
}

TEST(ComErrorTextTest, KeepsTheTextSharedByCopies)
{
    ComError error(DB_E_NOTABLE);
    ComError copy = error;
    const std::string& first = ComErrorText(error);
    EXPECT_EQ(&ComErrorText(copy), &first);
}

} // namespace
} // namespace questionbank
