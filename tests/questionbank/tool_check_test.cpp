// quizbank check: each problem kind on a small source of its own.
#include "tool_testing.h"
#include "tools/quizbank/BankCheck.h"

#include <gtest/gtest.h>

namespace {

using namespace quizbank;

// A test that behaves: two questions (totals 0 to 3), bands covering every total, and a version.
const std::string kVersion = "[[databasever]]\nmakedate = \"2026-12-01\"\n";
const std::string kGoodTest = R"(
[[test]]
name = "好"
[[test.band]]
bound = 2
text = "高"
[[test.band]]
bound = 0
text = "低"
[[test.question]]
id = 1
values = [0, 1]
text = "q"
[[test.question]]
id = 2
values = [0, 2]
text = "q"
)";

std::vector<std::string> Check(const std::string& source)
{
    std::vector<std::string> lines;
    for (const Problem& problem : CheckBank(ParseSource(source, "check.toml")))
        lines.push_back(ProblemLine(problem));
    return lines;
}

struct CheckCase {
    const char* name;
    std::string source;
    std::vector<std::string> problems;
};

class CheckTest : public testing::TestWithParam<CheckCase> { };

TEST_P(CheckTest, FindsTheProblem)
{
    EXPECT_EQ(Check(GetParam().source), GetParam().problems);
}

// A test "T" with the given bands and questions, beside the good test and the version.
std::string WithTest(const std::string& body)
{
    return kVersion + kGoodTest + "\n[[test]]\nname = \"T\"\n" + body;
}

const std::string kOneQuestion = "[[test.question]]\nid = 1\ntext = \"q\"\nvalues = [0, 5, 10]\n"; // totals 0, 5, 10

INSTANTIATE_TEST_SUITE_P(Kinds, CheckTest,
    testing::Values(CheckCase { "Clean", kVersion + kGoodTest, {} },
        CheckCase { "TestWithoutQuestions", WithTest("[[test.band]]\nbound = 0\ntext = \"x\"\n"),
            { "test \"T\": the test has no questions" } },
        CheckCase { "QuestionsWithoutTestRow",
            kVersion + kGoodTest
                + "[[question]]\ntest = \"孤\"\nvalues = [1]\n[[question]]\ntest = \"孤\"\n"
                  "values = [2]\n",
            { "test \"孤\": 2 question(s) but no testname row: the test is not listed and could not be evaluated" } },
        CheckCase { "TestRowFoundIgnoringLatinCase",
            kVersion
                + "[[test]]\nname = \"Abc\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n"
                  "[[question]]\ntest = \"aBC\"\ntext = \"q\"\nvalues = [1]\n",
            {} },
        CheckCase { "QuestionWithoutAnyValue",
            WithTest("[[test.band]]\nbound = 0\ntext = \"x\"\n" + kOneQuestion
                + "[[test.question]]\nid = 2\ntext = \"q\"\nvalues = [\"null\", \"null\"]\n"),
            { "test \"T\": question ID 2 (line 30) has no answer value, so it shows no option to choose" } },
        CheckCase { "NullTestName", kVersion + kGoodTest + "[[test]]\n[[test.band]]\nbound = 0\ntext = \"x\"\n",
            { "testname row 2: the test name is NULL: the list shows an empty name, and no query can find its "
              "questions" } },
        CheckCase { "NullTestNameOfQuestions", kVersion + kGoodTest + "[[question]]\nvalues = [1]\n",
            { "1 question(s) have a NULL test name and belong to no test" } },
        CheckCase { "AllBoundsNull", WithTest("[[test.band]]\ntext = \"x\"\n" + kOneQuestion),
            { "test \"T\": band 1 has a text but no bound, so it is never shown",
                "test \"T\": no band has a bound: every total gets an empty evaluation" } },
        CheckCase { "NoBandsAtAll", WithTest(kOneQuestion),
            { "test \"T\": no band has a bound: every total gets an empty evaluation" } },
        CheckCase { "BandAfterALowerBound",
            WithTest("[[test.band]]\nbound = 0\ntext = \"a\"\n[[test.band]]\nbound = 5\ntext = \"b\"\n"
                     "[[test.band]]\nbound = 0\ntext = \"c\"\n"
                + kOneQuestion),
            { "test \"T\": band 2 (bound 5) can never be reached: band 1 before it has the lower or equal bound 0",
                "test \"T\": band 3 (bound 0) can never be reached: band 1 before it has the lower or equal bound "
                "0" } },
        CheckCase { "BandBeyondEveryTotal",
            WithTest(
                "[[test.band]]\nbound = 11\ntext = \"a\"\n[[test.band]]\nbound = 0\ntext = \"b\"\n" + kOneQuestion),
            { "test \"T\": band 1 (bound 11) is never reached by the totals the questions give (0 to 10)" } },
        CheckCase { "BandBetweenTotals",
            // Only 0, 5 and 10 occur: nothing lands in 6 to 9.
            WithTest("[[test.band]]\nbound = 10\ntext = \"a\"\n[[test.band]]\nbound = 6\ntext = \"b\"\n"
                     "[[test.band]]\nbound = 0\ntext = \"c\"\n"
                + kOneQuestion),
            { "test \"T\": band 2 (bound 6) is never reached by the totals the questions give (0 to 10)" } },
        CheckCase { "TotalsBelowEveryBound", WithTest("[[test.band]]\nbound = 5\ntext = \"a\"\n" + kOneQuestion),
            { "test \"T\": totals below 5 (the least is 0) reach no band and get an empty evaluation" } },
        CheckCase { "HiddenAddsTheHeldAValue",
            // The second question has no A: a press without a choice adds the 10 that A kept.
            WithTest("[[test.band]]\nbound = 11\ntext = \"a\"\n[[test.band]]\nbound = 0\ntext = \"b\"\n"
                     "[[test.question]]\nid = 1\ntext = \"q\"\nvalues = [10]\n"
                     "[[test.question]]\nid = 2\ntext = \"q\"\nvalues = [\"null\", 0]\n"),
            {} },
        CheckCase { "HeldAValueFollowsIdOrder",
            // Asked as 1 then 2: question 2 comes first in the source but its A is read first.
            WithTest("[[test.band]]\nbound = 1\ntext = \"a\"\n[[test.band]]\nbound = -5\ntext = \"b\"\n"
                     "[[test.question]]\nid = 2\ntext = \"q\"\nvalues = [-5]\n"
                     "[[test.question]]\nid = 1\ntext = \"q\"\nvalues = [\"null\", 0]\n"),
            { "test \"T\": band 1 (bound 1) is never reached by the totals the questions give (-5 to -5)" } },
        CheckCase { "TotalsTooManyToListOneByOne",
            // 17 questions of -32768 or 32767 span more than a million totals; the range is taken whole.
            WithTest("[[test.band]]\nbound = 1\ntext = \"a\"\n[[test.band]]\nbound = -32768\ntext = \"b\"\n" +
                [] {
                    std::string questions;
                    for (int i = 0; i < 17; ++i)
                        questions += "[[test.question]]\ntext = \"q\"\nvalues = [-32768, 32767]\n";
                    return questions;
                }()),
            { "test \"T\": totals below -32768 (the least is -557056) reach no band and get an empty evaluation" } },
        CheckCase { "ReachedBandWithoutText",
            WithTest("[[test.band]]\nbound = 5\n[[test.band]]\nbound = 0\ntext = \"b\"\n" + kOneQuestion),
            { "test \"T\": band 1 (bound 5) has no text: its totals get an empty evaluation and the later bands "
              "are not tried" } },
        CheckCase { "NameWithApostrophe",
            kVersion + "[[test]]\nname = \"it's\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n" + kOneQuestion,
            { "test \"it's\": the name contains an apostrophe, which breaks the program's queries" } },
        CheckCase { "DuplicateName",
            kVersion + kGoodTest + "[[test]]\nname = \"好\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n",
            { "test \"好\": an earlier testname row has the same name; the evaluation always uses the first" } },
        CheckCase { "DuplicateIdAndNullText",
            WithTest("[[test.band]]\nbound = 0\ntext = \"x\"\n" + kOneQuestion
                + "[[test.question]]\nid = 1\nvalues = [1]\n"),
            { "test \"T\": question ID 1 (line 30) has a NULL text and shows an empty question",
                "test \"T\": question ID 1 is given to more than one question, so their order is not defined" } },
        CheckCase { "NameWithLineBreakStaysOnItsLine",
            kVersion + kGoodTest + "[[test]]\nname = \"a\\nb\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n",
            { "test \"a\\r\\nb\": the test has no questions" } },
        CheckCase { "NoVersionRow", kGoodTest, { "the databasever table has no row, so the bank has no version" } },
        CheckCase { "NullVersion", "[[databasever]]\n[[databasever]]\nmakedate = \"x\"\n" + kGoodTest,
            { "the first databasever row has a NULL makedate, so the bank has no version" } }),
    [](const auto& row) { return std::string(row.param.name); });

TEST(CheckLongName, CountsCodePage936Bytes)
{
    // 100 Chinese characters take 200 bytes in the program's query.
    std::string name;
    for (int i = 0; i < 100; ++i)
        name += "测";
    auto lines = Check(kVersion + "[[test]]\nname = \"" + name + "\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n"
        + "[[test.question]]\ntext = \"q\"\nvalues = [1]\n");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("longer than 199 bytes"), std::string::npos) << lines[0];
    EXPECT_EQ(Check(kVersion + "[[test]]\nname = \"" + name.substr(3) + "\"\n[[test.band]]\nbound = 0\ntext = \"x\"\n"
                  + "[[test.question]]\ntext = \"q\"\nvalues = [1]\n"),
        std::vector<std::string> {});
}

TEST(CheckSample, HasTheMixOfTestsItIsMeantToShow)
{
    Bank sample = ParseSource(tooltest::ReadText(QUIZBANK_SAMPLE_SOURCE), "tovra.toml");
    EXPECT_GE(sample.tests.size(), 4u);
    ASSERT_FALSE(sample.versions.empty());
    bool negative = false, unsortedIds = false, twoOptions = false, fiveOptions = false;
    for (const quizbank::Test& test : sample.tests) {
        auto bands
            = std::count_if(test.bands.begin(), test.bands.end(), [](const Band& b) { return b.bound && b.text; });
        EXPECT_GE(bands, 3) << *test.name;
        std::optional<std::int32_t> lastId;
        for (const Question& question : sample.questions) {
            if (question.testName != test.name)
                continue;
            auto options
                = std::count_if(question.values.begin(), question.values.end(), [](auto v) { return v.has_value(); });
            twoOptions |= options == 2;
            fiveOptions |= options == 5;
            negative |= std::any_of(question.values.begin(), question.values.end(), [](auto v) { return v && *v < 0; });
            unsortedIds |= lastId && question.id < lastId;
            lastId = question.id;
            // The program shows the options as lines of the question text.
            EXPECT_NE(question.text->find("\r\nA. "), std::string::npos) << *question.text;
        }
    }
    EXPECT_TRUE(negative && unsortedIds && twoOptions && fiveOptions);
}

TEST(CheckSample, IsClean)
{
    EXPECT_EQ(Check(tooltest::ReadText(QUIZBANK_SAMPLE_SOURCE)), std::vector<std::string> {});
}

} // namespace
