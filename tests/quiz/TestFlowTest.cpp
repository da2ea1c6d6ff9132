// The flow's decisions without a dialog.
#include "quiz/TestFlow.h"

#include <gtest/gtest.h>
#include <limits>
#include <vector>

namespace {

TEST(TestFlow, QueriesDoubleEveryApostrophe)
{
    EXPECT_EQ(quiz::QuestionQuery("周末"), "SELECT * FROM testquestion WHERE testName='周末' ORDER BY ID");
    EXPECT_EQ(quiz::EvaluationQuery("周末"), "SELECT * FROM testname WHERE testName='周末'");
    EXPECT_EQ(quiz::EvaluationQuery("x' OR '1'='1"), "SELECT * FROM testname WHERE testName='x'' OR ''1''=''1'");
    EXPECT_EQ(quiz::QuotedLiteral("''"), "''''");
    EXPECT_EQ(quiz::QuotedLiteral(""), "");
}

TEST(TestFlow, TotalWrapsAt32BitsWithoutUndefinedBehaviour)
{
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(quiz::AddPoints(3, -5), -2);
    EXPECT_EQ(quiz::AddPoints(max, 1), min);
    EXPECT_EQ(quiz::AddPoints(min, -32768), max - 32767);
}

TEST(TestFlow, SelectedPointsOnlyForAnOptionThatExists)
{
    const std::array<std::int32_t, 5> values = { 1, 2, 3, 4, 5 };
    EXPECT_EQ(quiz::SelectedPoints(values, 0), 1);
    EXPECT_EQ(quiz::SelectedPoints(values, 4), 5);
    EXPECT_EQ(quiz::SelectedPoints(values, -1), std::nullopt);
    EXPECT_EQ(quiz::SelectedPoints(values, 5), std::nullopt);
}

TEST(TestFlow, BandBoundsAreReadOnlyUpToTheBandChosen)
{
    const std::vector<std::optional<std::int32_t>> bounds = { std::nullopt, 20, 10, std::nullopt, 0 };
    std::vector<int> read;
    const auto readBound = [&](int band) {
        read.push_back(band);
        return bounds[static_cast<std::size_t>(band)];
    };
    EXPECT_EQ(quiz::FirstBandReached(readBound, 15), 2);
    EXPECT_EQ(read, (std::vector<int> { 0, 1, 2 }));
    read.clear();
    EXPECT_EQ(quiz::FirstBandReached(readBound, -1), std::nullopt);
    EXPECT_EQ(read, (std::vector<int> { 0, 1, 2, 3, 4 }));
}

} // namespace
