// The question-bank source: what a source means, what dump writes back, and the faults it reports.
#include "BankFixture.h"
#include "tool_testing.h"

#include <gtest/gtest.h>

namespace {

using namespace quizbank;
using tooltest::MakeQuestion;
using tooltest::MakeTest;

Bank Parse(const std::string& source)
{
    return ParseSource(source, "test.toml");
}

struct StoredText {
    const char* name;
    std::string source; // a [[databasever]] table with makedate written this way
    std::string expected; // the text the bank stores
};

class SourceTextTest : public testing::TestWithParam<StoredText> { };

TEST_P(SourceTextTest, StoresTheText)
{
    Bank bank = Parse("[[databasever]]\nmakedate = " + GetParam().source + "\n");
    ASSERT_EQ(bank.versions.size(), 1u);
    EXPECT_EQ(bank.versions[0], GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(LineBreaksAndEscapes, SourceTextTest,
    testing::Values(StoredText { "MultiLineBecomesCrLf", "\"\"\"\nA. 是\nB. 否\"\"\"", "A. 是\r\nB. 否" },
        StoredText { "EscapedLineFeedIsALineBreakToo", "\"a\\nb\"", "a\r\nb" },
        StoredText { "CrLfOfTheFileIsOneLineBreak", "\"\"\"\r\nA\r\nB\r\n\"\"\"", "A\r\nB\r\n" },
        StoredText { "EscapedCarriageReturnStays", "\"a\\rb\"", "a\rb" },
        StoredText { "CarriageReturnBeforeALineBreak", "\"a\\r\\nb\"", "a\r\nb" },
        StoredText { "ExactKeepsALoneLineFeed", "{ exact = \"a\\nb\\r\\n\" }", "a\nb\r\n" },
        StoredText { "TabAndBackslash", "\"a\\tb\\\\c\"", "a\tb\\c" }, StoredText { "Empty", "\"\"", "" }),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SourceText, AnyTextSurvivesWriteAndParse)
{
    for (const std::string& text : tooltest::TrickyTexts()) {
        Bank bank = tooltest::BankOfText(text);
        std::string source = WriteSource(bank);
        SCOPED_TRACE(source);
        EXPECT_EQ(Parse(source), bank);
    }
}

TEST(SourceText, DumpWritesLineBreaksAsLines)
{
    Bank bank;
    bank.versions.push_back("A. 是\r\nB. 否");
    EXPECT_NE(WriteSource(bank).find("makedate = \"\"\"\nA. 是\nB. 否\"\"\""), std::string::npos);
}

TEST(SourceRoundTrip, NullsEverywhere)
{
    Bank bank = tooltest::NullsEverywhere();
    std::string source = WriteSource(bank);
    EXPECT_EQ(Parse(source), bank);
    EXPECT_EQ(WriteSource(Parse(source)), source);
    EXPECT_EQ(FromTables(ToTables(bank)[0], ToTables(bank)[1], ToTables(bank)[2]), bank);
}

TEST(SourceRoundTrip, QuestionsAreWrittenUnderTheFirstTestOfTheirName)
{
    Bank bank;
    bank.tests = { MakeTest("甲"), MakeTest("乙"), MakeTest("甲") };
    bank.questions = { MakeQuestion(1, "乙", "b1", { 1 }), MakeQuestion(2, "孤", "o1", { 1 }),
        MakeQuestion(3, "甲", "a1", { 1 }), MakeQuestion(4, "乙", "b2", { 1 }), MakeQuestion(5, "甲", "a2", { 1 }) };
    Bank reread = Parse(WriteSource(bank));
    EXPECT_EQ(reread, Normalized(bank));
    std::vector<std::optional<std::int32_t>> order;
    for (const Question& question : reread.questions)
        order.push_back(question.id);
    // Within one name the order stays, which is all a query by name can see.
    EXPECT_EQ(order, (std::vector<std::optional<std::int32_t>> { 3, 5, 1, 4, 2 }));
}

TEST(SourceRoundTrip, SampleBankIsAFixedPoint)
{
    Bank sample = ParseSource(tooltest::ReadText(QUIZBANK_SAMPLE_SOURCE), "tovra.toml");
    EXPECT_GE(sample.tests.size(), 4u);
    EXPECT_EQ(Parse(WriteSource(sample)), sample);
}

TEST(SourceMeaning, QuestionsTakeTheirTestsName)
{
    Bank bank = Parse(R"(
[[test]]
[[test.question]]
id = 1
[[test.band]]
bound = 3
[[test]]
name = "乙"
[[test.question]]
values = [1, "null", -1]
[[question]]
id = 9
[[question]]
test = "无"
)");
    ASSERT_EQ(bank.questions.size(), 4u);
    EXPECT_EQ(bank.questions[0].testName, std::nullopt);
    EXPECT_EQ(bank.questions[1].testName, "乙");
    EXPECT_EQ(bank.questions[1].id, std::nullopt);
    EXPECT_EQ(bank.questions[1].values, (std::array<SmallInt, 5> { 1, std::nullopt, -1, std::nullopt, std::nullopt }));
    EXPECT_EQ(bank.questions[2].testName, std::nullopt);
    EXPECT_EQ(bank.questions[3].testName, "无");
    EXPECT_EQ(bank.tests[0].bands[0].bound, 3);
    EXPECT_EQ(bank.tests[0].bands[1], Band {});
}

struct BadSource {
    const char* name;
    std::string source;
    int line;
    std::string message; // a part of the message
};

class BadSourceTest : public testing::TestWithParam<BadSource> { };

TEST_P(BadSourceTest, ReportsTheLine)
{
    try {
        Parse(GetParam().source);
        FAIL() << "accepted";
    } catch (const SourceError& error) {
        EXPECT_EQ(error.line(), GetParam().line) << error.what();
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos) << error.what();
        EXPECT_EQ(std::string(error.what()).rfind("test.toml:" + std::to_string(GetParam().line) + ":", 0), 0u)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, BadSourceTest,
    testing::Values(BadSource { "Syntax", "[[test]]\nname = \"a\nid = 1\n", 2, "" },
        BadSource { "DuplicateKey", "[[test]]\nname = \"a\"\nname = \"b\"\n", 3, "" },
        BadSource { "UnknownTopLevelKey", "\n\ntitle = \"x\"\n", 3, "unknown key 'title'" },
        BadSource { "UnknownTestKey", "[[test]]\nname = \"a\"\nrank1 = 3\n", 3, "unknown key 'rank1'" },
        BadSource { "UnknownBandKey", "[[test]]\n[[test.band]]\nbound = 1\nlimit = 2\n", 4, "unknown key 'limit'" },
        BadSource {
            "TestKeyUnderTestQuestion", "[[test]]\n[[test.question]]\ntest = \"x\"\n", 3, "unknown key 'test'" },
        BadSource { "TestAsPlainTable", "[test]\nname = \"a\"\n", 1, "write [[test]]" },
        BadSource { "BandAsPlainTable", "[[test]]\n[test.band]\nbound = 1\n", 2, "write [[test.band]]" },
        BadSource { "IdAsText", "[[test]]\n[[test.question]]\nid = \"3\"\n", 3, "id must be an integer" },
        BadSource { "IdAsFloat", "[[question]]\nid = 3.0\n", 2, "id must be an integer" },
        BadSource { "IdBeyondLong", "[[question]]\nid = 2147483648\n", 2, "out of range" },
        BadSource { "ValueAboveInteger", "[[question]]\nvalues = [1,\n 32768]\n", 3, "out of range" },
        BadSource { "ValueBelowInteger", "[[question]]\nvalues = [-32769]\n", 2, "answer A" },
        BadSource { "BoundBeyondInteger", "[[test]]\n[[test.band]]\nbound = 40000\n", 3, "out of range" },
        BadSource { "SixValues", "[[question]]\nvalues = [1, 2, 3, 4, 5, 6]\n", 2, "at most 5" },
        BadSource { "SixBands",
            "[[test]]\n[[test.band]]\n[[test.band]]\n[[test.band]]\n[[test.band]]\n"
            "[[test.band]]\n[[test.band]]\n",
            7, "at most 5 bands" },
        BadSource { "WrongNullMarker", "[[question]]\nvalues = [1, \"NULL\"]\n", 2, "\"null\"" },
        BadSource { "ValuesNotAnArray", "[[question]]\nvalues = 3\n", 2, "'values' must be an array" },
        BadSource { "TextAsNumber", "[[question]]\ntext = 3\n", 2, "'text' must be a string" },
        BadSource { "DateWithoutQuotes", "[[databasever]]\nmakedate = 2026-12-01\n", 2, "put the date in quotes" },
        BadSource { "ExactWithAnotherKey", "[[databasever]]\nmakedate = { exact = \"a\", b = 1 }\n", 2, "exact" },
        BadSource { "NameLongerThanItsColumn", "[[test]]\nname = \"" + std::string(256, 'x') + "\"\n", 2, "255" },
        BadSource { "NotUtf8", "[[databasever]]\nmakedate = \"\xff\"\n", 2, "" }),
    [](const auto& row) { return std::string(row.param.name); });

TEST(SourceLimits, ColumnLengthCountsUtf16Units)
{
    // 255 characters fill the column however many bytes they take; a pair of surrogates takes two.
    std::string han;
    for (int i = 0; i < 255; ++i)
        han += "测";
    EXPECT_NO_THROW(Parse("[[test]]\nname = \"" + han + "\"\n"));
    std::string emoji;
    for (int i = 0; i < 128; ++i)
        emoji += "😀";
    EXPECT_THROW(Parse("[[test]]\nname = \"" + emoji + "\"\n"), SourceError);
}

TEST(BankTables, RefusesWhatTheSourceCannotHold)
{
    namespace bank = questionbank::bank;
    using questionbank::ColumnType;
    struct Case {
        const char* name;
        testsupport::BankBuilder builder;
        std::string message;
    };
    testsupport::BankBuilder base;
    base.addTest("甲", { 1, std::nullopt, std::nullopt, std::nullopt, std::nullopt }, { "t" })
        .addQuestion(1, "甲", "q", { 1 });
    std::vector<Case> cases;
    cases.push_back({ "MissingColumn", base, "no column answerEValue" });
    cases.back().builder.withoutColumn(bank::kQuestionTable, "answerEValue");
    cases.push_back({ "ExtraColumn", base, "column note" });
    {
        auto columns = bank::VersionColumns();
        columns.push_back({ "note", ColumnType::Text });
        cases.back().builder.withColumns(bank::kVersionTable, columns);
    }
    cases.push_back({ "BoundAsLong", base, "rank1" });
    cases.back().builder.withColumnType(bank::kTestTable, "rank1", ColumnType::Long);
    cases.push_back({ "IdAsText", base, "ID" });
    cases.back().builder.withColumnType(bank::kQuestionTable, "ID", ColumnType::Text);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto tables = c.builder.tables();
        try {
            FromTables(tables[0], tables[1], tables[2]);
            ADD_FAILURE() << "accepted";
        } catch (const SchemaError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }
}

TEST(BankTables, FindsColumnsByNameInAnyCaseAndOrder)
{
    namespace schema = questionbank::bank;
    auto columns = schema::QuestionColumns();
    std::reverse(columns.begin(), columns.end());
    for (auto& column : columns)
        for (char& c : column.name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    testsupport::BankBuilder builder;
    builder.withColumns(schema::kQuestionTable, columns);
    builder.addRow(schema::kQuestionTable,
        { { "ID", std::int64_t { 4 } }, { "TESTNAME", std::string("甲") }, { "ANSWERBVALUE", std::int64_t { -3 } } });
    auto tables = builder.tables();
    Bank bank = FromTables(tables[0], tables[1], tables[2]);
    ASSERT_EQ(bank.questions.size(), 1u);
    EXPECT_EQ(bank.questions[0], MakeQuestion(4, "甲", std::nullopt, { std::nullopt, -3 }));
}

} // namespace
