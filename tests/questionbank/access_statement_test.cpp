#include "access_fixtures.h"
#include "questionbank/Statement.h"

#include <gtest/gtest.h>

namespace questionbank {
namespace {

using testing::ErrorOf;

struct ParseCase {
    const char* name;
    const char* sql;
    const char* table;
    const char* whereColumn; // nullptr: no WHERE
    const char* whereText;
    const char* orderColumn; // nullptr: no ORDER BY
    bool descending;
};

TEST(StatementTest, ParsesEveryFormOfTheSubset)
{
    const ParseCase cases[] = {
        { "catalog", "SELECT * FROM testname", "testname", nullptr, nullptr, nullptr, false },
        { "question query", "SELECT * FROM testquestion WHERE testName='性格' ORDER BY ID", "testquestion", "testName",
            "性格", "ID", false },
        { "evaluation query", "SELECT * FROM testname WHERE testName='性格'", "testname", "testName", "性格", nullptr,
            false },
        { "keywords in any case", "select * From t wHeRe c='v' order BY k asc", "t", "c", "v", "k", false },
        { "descending", "SELECT * FROM t ORDER BY k DESC", "t", nullptr, nullptr, "k", true },
        { "trailing semicolon and blanks", "  SELECT * FROM t ;  ", "t", nullptr, nullptr, nullptr, false },
        { "line breaks and tabs", "SELECT\t*\r\nFROM t\nWHERE c = 'v'", "t", "c", "v", nullptr, false },
        { "no blanks around the star and equals", "SELECT*FROM t WHERE c='v'", "t", "c", "v", nullptr, false },
        { "bracketed names", "SELECT * FROM [test question] WHERE [test Name]='v' ORDER BY [order]", "test question",
            "test Name", "v", "order", false },
        { "doubled apostrophe", "SELECT * FROM t WHERE c='O''Brien'''", "t", "c", "O'Brien'", nullptr, false },
        { "injection attempt, escaped", "SELECT * FROM t WHERE c='x'' OR ''1''=''1'", "t", "c", "x' OR '1'='1", nullptr,
            false },
        { "empty literal", "SELECT * FROM t WHERE c=''", "t", "c", "", nullptr, false },
        { "literal keeps its blanks and case", "SELECT * FROM t WHERE c=' A b '", "t", "c", " A b ", nullptr, false },
        { "unbracketed Chinese name", "SELECT * FROM 测试 WHERE 名称='v'", "测试", "名称", "v", nullptr, false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Statement statement = ParseStatement(c.sql);
        EXPECT_EQ(statement.table, c.table);
        ASSERT_EQ(statement.where.has_value(), c.whereColumn != nullptr);
        if (c.whereColumn) {
            EXPECT_EQ(statement.where->column, c.whereColumn);
            EXPECT_EQ(statement.where->text, c.whereText);
        }
        ASSERT_EQ(statement.orderBy.has_value(), c.orderColumn != nullptr);
        if (c.orderColumn) {
            EXPECT_EQ(statement.orderBy->column, c.orderColumn);
            EXPECT_EQ(statement.orderBy->descending, c.descending);
        }
    }
}

TEST(StatementTest, RejectsEverythingElseAsASyntaxError)
{
    const std::pair<const char*, const char*> cases[] = {
        { "empty", "" },
        { "blanks only", "   " },
        { "a column list", "SELECT ID FROM t" },
        { "no table", "SELECT * FROM" },
        { "no FROM", "SELECT * t" },
        { "two tables", "SELECT * FROM a, b" },
        { "a reserved word as table", "SELECT * FROM where" },
        { "unterminated literal", "SELECT * FROM t WHERE c='v" },
        { "unescaped apostrophe in a name", "SELECT * FROM testquestion WHERE testName='O'Brien' ORDER BY ID" },
        { "unescaped injection", "SELECT * FROM testquestion WHERE testName='x' OR '1'='1' ORDER BY ID" },
        { "number literal", "SELECT * FROM t WHERE c=5" },
        { "double-quoted literal", "SELECT * FROM t WHERE c=\"v\"" },
        { "other operator", "SELECT * FROM t WHERE c<>'v'" },
        { "AND", "SELECT * FROM t WHERE c='v' AND d='w'" },
        { "ORDER without BY", "SELECT * FROM t ORDER ID" },
        { "ORDER BY without column", "SELECT * FROM t ORDER BY" },
        { "two sort columns", "SELECT * FROM t ORDER BY a, b" },
        { "ORDER BY before WHERE", "SELECT * FROM t ORDER BY a WHERE c='v'" },
        { "unclosed bracket", "SELECT * FROM [t" },
        { "empty brackets", "SELECT * FROM []" },
        { "text after the semicolon", "SELECT * FROM t; DELETE FROM t" },
        { "two semicolons", "SELECT * FROM t;;" },
        { "another statement", "DELETE FROM t" },
        { "a comment", "SELECT * FROM t -- x" },
    };
    for (const auto& [name, sql] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ErrorOf([&] { ParseStatement(sql); }), DB_E_ERRORSINCOMMAND);
    }
}

TEST(StatementTest, EveryCutOfAStatementParsesOrIsASyntaxError)
{
    // The lexer must stop cleanly at the end of the text inside every token.
    for (std::string sql : { "SELECT * FROM [test name] WHERE [a b]='x''y' ORDER BY [c] DESC;",
             "select*from 题目 where 名称='性''格' order by ID asc" }) {
        for (std::size_t length = 0; length <= sql.size(); ++length) {
            std::string cut = sql.substr(0, length);
            SCOPED_TRACE(cut);
            HRESULT hr = S_OK;
            EXPECT_NO_THROW(hr = ErrorOf([&] { ParseStatement(cut); }));
            EXPECT_TRUE(hr == S_OK || hr == DB_E_ERRORSINCOMMAND);
        }
    }
}

} // namespace
} // namespace questionbank
