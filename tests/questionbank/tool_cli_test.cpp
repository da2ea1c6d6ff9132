// The quizbank program: its verbs run as a user runs them.
#include "BankFixture.h"
#include "questionbank/ComError.h"
#include "tool_testing.h"

#include <gtest/gtest.h>

namespace {

namespace fs = std::filesystem;
using namespace quizbank;
using tooltest::Arg;
using tooltest::MakeQuestion;
using tooltest::RunQuizbank;

class QuizbankTest : public testing::Test {
protected:
    // Builds `source` into a bank in the test's folder and returns its path.
    fs::path Build(const std::string& source, const std::string& name = "bank")
    {
        fs::path sourceFile = m_dir.path() / (name + ".toml");
        fs::path bankFile = m_dir.path() / (name + ".mdb");
        tooltest::WriteText(sourceFile, source);
        auto run = RunQuizbank({ "build", Arg(sourceFile), "-o", Arg(bankFile) });
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.err, "");
        return bankFile;
    }

    std::string Dump(const fs::path& bank)
    {
        auto run = RunQuizbank({ "dump", Arg(bank) });
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    testsupport::TempDir m_dir;
};

TEST_F(QuizbankTest, SampleBankRoundTrips)
{
    const std::string source = tooltest::ReadText(QUIZBANK_SAMPLE_SOURCE);
    fs::path first = Build(source, "first");
    std::string dumped = Dump(first);
    EXPECT_EQ(ParseSource(dumped, "dump"), ParseSource(source, "sample"));
    fs::path second = Build(dumped, "second");
    EXPECT_EQ(Dump(second), dumped);
    EXPECT_EQ(tooltest::ReadText(first), tooltest::ReadText(second)) << "the same data gives the same file";
}

TEST_F(QuizbankTest, NullsLineBreaksAndExtremesRoundTrip)
{
    Bank bank = tooltest::NullsEverywhere();
    std::string dumped = Dump(Build(WriteSource(bank)));
    EXPECT_EQ(ParseSource(dumped, "dump"), bank);
}

TEST_F(QuizbankTest, AnyTextSurvivesTheBankFile)
{
    for (const std::string& text : tooltest::TrickyTexts()) {
        SCOPED_TRACE(testing::PrintToString(text));
        Bank bank = tooltest::BankOfText(text);
        EXPECT_EQ(ParseSource(Dump(Build(WriteSource(bank))), "dump"), bank);
    }
}

TEST_F(QuizbankTest, DumpOfAForeignBankGroupsItsQuestions)
{
    // Rows in an order quizbank would not write: questions of two tests interleaved, one of a
    // name without a test row, one with a NULL name.
    testsupport::BankBuilder builder;
    builder.addTest("甲", { 0 }, { "a" }).addTest("乙", { 0 }, { "b" }).addVersion("v");
    builder.addQuestion(2, "乙", "b2", { 1 }).addQuestion(1, "甲", "a1", { 1 }).addQuestion(5, "丙", "c", { 1 });
    builder.addQuestion(1, "乙", "b1", { 1 }).addQuestion(std::nullopt, std::nullopt, "n", {});
    fs::path file = builder.write(m_dir.path());
    auto tables = builder.tables();
    Bank original = FromTables(tables[0], tables[1], tables[2]);

    std::string dumped = Dump(file);
    EXPECT_EQ(ParseSource(dumped, "dump"), Normalized(original));
    EXPECT_EQ(Dump(Build(dumped)), dumped);
    EXPECT_NE(dumped.find("[[question]]\ntest = \"丙\""), std::string::npos) << dumped;
}

TEST_F(QuizbankTest, DumpRefusesWhatItCannotWriteBack)
{
    testsupport::BankBuilder extraColumn;
    auto columns = questionbank::bank::VersionColumns();
    columns.push_back({ "note", questionbank::ColumnType::Text });
    extraColumn.withColumns(questionbank::bank::kVersionTable, columns);
    fs::path extra = extraColumn.writeAs(m_dir.path() / "extra.mdb");
    testsupport::BankBuilder noTable;
    noTable.withoutTable(questionbank::bank::kVersionTable);
    fs::path missing = noTable.writeAs(m_dir.path() / "missing.mdb");
    fs::path notJet = m_dir.path() / "text.mdb";
    tooltest::WriteText(notJet, std::string(4096, 'x'));

    struct Case {
        fs::path file;
        std::string message;
    } cases[] = { { extra, "column note" }, { missing, "no table databasever" },
        { notJet, "not a readable question bank" }, { m_dir.path() / "absent.mdb", "cannot read" } };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.string());
        for (const char* verb : { "dump", "check" }) {
            auto run = RunQuizbank({ verb, Arg(c.file) });
            EXPECT_EQ(run.exitCode, 2);
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        }
    }
}

TEST_F(QuizbankTest, BadSourceNamesItsLineAndLeavesTheOutput)
{
    fs::path source = m_dir.path() / "bad.toml";
    fs::path output = m_dir.path() / "out.mdb";
    tooltest::WriteText(source, "[[test]]\nname = \"甲\"\n\n[[test.question]]\nvalues = [1, 99999]\n");
    tooltest::WriteText(output, "previous");
    auto run = RunQuizbank({ "build", Arg(source), "-o", Arg(output) });
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("bad.toml:5:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("out of range"), std::string::npos) << run.err;
    EXPECT_EQ(tooltest::ReadText(output), "previous");
    EXPECT_FALSE(fs::exists(m_dir.path() / "out.mdb.tmp"));
}

// A bank for the queries: NULL beside empty text, escapes, signs, unsorted IDs.
const std::string kQuerySource = R"(
[[databasever]]
makedate = ""
[[databasever]]

[[test]]
name = "甲"
[[test.band]]
bound = -1
text = "a\tb\\c"

[[test.question]]
id = 2
text = """
两行
第二"""
values = [1, "null", -32768]

[[test.question]]
id = 1
)";

struct QueryCase {
    const char* name;
    std::string statement;
    std::string expected;
};

TEST_F(QuizbankTest, QueryPrintsTabSeparatedRows)
{
    fs::path bank = Build(kQuerySource);
    const QueryCase cases[] = {
        { "NullBesideEmpty", "SELECT * FROM databasever", "makedate\n\n\\N\n" },
        { "OrderedQuestions", "SELECT * FROM testquestion WHERE testName='甲' ORDER BY ID",
            "ID\ttestName\tquestionContext\tanswerAValue\tanswerBValue\tanswerCValue\tanswerDValue\tanswerEValue\n"
            "1\t甲\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n"
            "2\t甲\t两行\\r\\n第二\t1\t\\N\t-32768\t\\N\t\\N\n" },
        { "Bands", "SELECT * FROM testname",
            "testName\trank1\trank2\trank3\trank4\trank5\trank1pinjia\trank2pinjia\trank3pinjia\trank4pinjia\t"
            "rank5pinjia\n甲\t-1\t\\N\t\\N\t\\N\t\\N\ta\\tb\\\\c\t\\N\t\\N\t\\N\t\\N\n" },
        { "EmptyResult", "SELECT * FROM testquestion WHERE testName='乙'",
            "ID\ttestName\tquestionContext\tanswerAValue\tanswerBValue\tanswerCValue\tanswerDValue\tanswerEValue\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto run = RunQuizbank({ "query", Arg(bank), Arg(c.statement) });
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, c.expected);
        EXPECT_EQ(run.err, "");
    }
}

TEST_F(QuizbankTest, QueryPrintsEveryColumnType)
{
    using questionbank::ColumnType;
    using questionbank::Value;
    testsupport::BankBuilder builder;
    builder.withTable("kinds",
        { { "b", ColumnType::Bool }, { "u", ColumnType::Byte }, { "c", ColumnType::Currency },
            { "s", ColumnType::Single }, { "d", ColumnType::Double }, { "t", ColumnType::DateTime },
            { "x", ColumnType::Binary, 16 } });
    builder.addRow("kinds",
        { { "b", Value(true) }, { "u", Value(std::uint8_t { 200 }) },
            { "c", Value(questionbank::Currency { -123450 }) }, { "s", Value(0.1f) }, { "d", Value(1.0 / 3.0) },
            { "t", Value(questionbank::OleDate { 45413.4375 }) },
            { "x", Value(questionbank::Bytes { 0xDE, 0xAD, 0x01 }) } });
    builder.addRow("kinds", { { "b", Value(false) } });
    fs::path bank = builder.writeAs(m_dir.path() / "kinds.mdb");
    auto run = RunQuizbank({ "query", Arg(bank), "SELECT * FROM kinds" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out,
        "b\tu\tc\ts\td\tt\tx\n"
        "1\t200\t-12.345\t0.1\t0.3333333333333333\t2024-05-01 10:30:00\tdead01\n"
        "0\t\\N\t\\N\t\\N\t\\N\t\\N\t\\N\n");
}

TEST_F(QuizbankTest, QueryFailuresPrintTheCodeAndItsText)
{
    fs::path bank = Build(kQuerySource);
    struct Case {
        const char* name;
        QStringList arguments;
        questionbank::HRESULT hr;
        const char* code;
    } cases[] = {
        { "SyntaxError", { "query", Arg(bank), "SELECT FROM testname" }, questionbank::DB_E_ERRORSINCOMMAND,
            "0x80040E14" },
        { "ApostropheInName", { "query", Arg(bank), "SELECT * FROM testname WHERE testName='it's'" },
            questionbank::DB_E_ERRORSINCOMMAND, "0x80040E14" },
        { "WrongPassword", { "query", Arg(bank), "SELECT * FROM testname", "--password", "wrong" },
            questionbank::DB_SEC_E_AUTH_FAILED, "0x80040E4D" },
        { "MissingTable", { "query", Arg(bank), "SELECT * FROM nosuch" }, questionbank::DB_E_NOTABLE, "0x80040E37" },
        { "MissingFile", { "query", Arg(m_dir.path() / "absent.mdb"), "SELECT * FROM testname" }, questionbank::E_FAIL,
            "0x80004005" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto run = RunQuizbank(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err,
            std::string("quizbank query: ") + c.code + " " + questionbank::ComErrorText(questionbank::ComError(c.hr))
                + "\n");
    }
}

TEST_F(QuizbankTest, QueryOpensPathsWithSeparatorsOfTheConnectionString)
{
    fs::path dir = m_dir.path() / "a;Password=x \"quoted\"";
    fs::create_directories(dir);
    fs::path bank = Build(kQuerySource);
    fs::copy_file(bank, dir / "tovra.mdb");
    auto run = RunQuizbank({ "query", Arg(dir / "tovra.mdb"), "SELECT * FROM databasever" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "makedate\n\n\\N\n");
}

TEST_F(QuizbankTest, QueryTakesTheProgramsPasswordByDefault)
{
    testsupport::BankBuilder builder;
    builder.withPassword("other").addVersion("v");
    fs::path bank = builder.writeAs(m_dir.path() / "other.mdb");
    EXPECT_EQ(RunQuizbank({ "query", Arg(bank), "SELECT * FROM databasever" }).exitCode, 2);
    auto run = RunQuizbank({ "query", Arg(bank), "SELECT * FROM databasever", "--password", "other" });
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "makedate\nv\n");
}

TEST_F(QuizbankTest, CheckExitsByWhatItFinds)
{
    fs::path sample = Build(tooltest::ReadText(QUIZBANK_SAMPLE_SOURCE), "sample");
    auto clean = RunQuizbank({ "check", Arg(sample) });
    EXPECT_EQ(clean.exitCode, 0) << clean.out << clean.err;
    EXPECT_EQ(clean.out, "");

    fs::path flawed = Build("[[test]]\nname = \"空\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n", "flawed");
    auto found = RunQuizbank({ "check", Arg(flawed) });
    EXPECT_EQ(found.exitCode, 1);
    EXPECT_EQ(found.out,
        "test \"空\": the test has no questions\n"
        "the databasever table has no row, so the bank has no version\n");

    // A source is checked before it is built, with its lines.
    fs::path source = m_dir.path() / "flawed.toml";
    tooltest::WriteText(source,
        "[[databasever]]\nmakedate = \"x\"\n[[question]]\ntest = \"孤\"\n\n[[question]]\n"
        "test = \"孤\"\nid = 4\n");
    auto fromSource = RunQuizbank({ "check", Arg(source) });
    EXPECT_EQ(fromSource.exitCode, 1);
    EXPECT_EQ(fromSource.out,
        "test \"孤\": 2 question(s) but no testname row: the test is not listed and could not be "
        "evaluated\n");
}

TEST(QuizbankHelp, EveryVerbAnswers)
{
    struct Case {
        QStringList arguments;
        std::string start;
    } cases[] = {
        { { "--help" }, "Usage: quizbank VERB" },
        { { "-h" }, "Usage: quizbank VERB" },
        { { "help", "query" }, "Usage: quizbank query FILE STATEMENT [--password PW]\n" },
        { { "build", "--help" }, "Usage: quizbank build SOURCE -o FILE\n" },
        { { "dump", "--help" }, "Usage: quizbank dump FILE\n" },
        { { "query", "--help" }, "Usage: quizbank query FILE STATEMENT [--password PW]\n" },
        { { "check", "x.mdb", "--help" }, "Usage: quizbank check FILE\n" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        auto run = RunQuizbank(c.arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind(c.start, 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
    }
    auto overview = RunQuizbank({ "--help" }).out;
    for (const char* verb : { "build", "dump", "query", "check" })
        EXPECT_NE(overview.find(std::string("  ") + verb + " "), std::string::npos) << verb;
}

TEST(QuizbankHelp, MisuseGoesToStandardError)
{
    struct Case {
        QStringList arguments;
        std::string message;
    } cases[] = {
        { {}, "Usage: quizbank VERB" },
        { { "frobnicate" }, "unknown verb 'frobnicate'" },
        { { "build", "a.toml" }, "quizbank build: expects SOURCE -o FILE\nUsage: quizbank build SOURCE -o FILE\n" },
        { { "build", "a.toml", "-o" }, "option -o needs a value" },
        { { "dump" }, "quizbank dump: expects FILE" },
        { { "dump", "a.mdb", "--verbose" }, "unknown option --verbose" },
        { { "query", "a.mdb" }, "quizbank query: expects FILE STATEMENT" },
        { { "check", "a.mdb", "b.mdb" }, "quizbank check: expects FILE" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        auto run = RunQuizbank(c.arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
}

} // namespace
