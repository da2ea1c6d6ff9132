#include "quiz/TestFlow.h"

namespace quiz {

std::string QuotedLiteral(std::string_view name)
{
    std::string literal;
    literal.reserve(name.size() + 2);
    for (const char c : name) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    return literal;
}

std::string QuestionQuery(std::string_view testName)
{
    return "SELECT * FROM testquestion WHERE testName='" + QuotedLiteral(testName) + "' ORDER BY ID";
}

std::string EvaluationQuery(std::string_view testName)
{
    return "SELECT * FROM testname WHERE testName='" + QuotedLiteral(testName) + "'";
}

std::int32_t AddPoints(std::int32_t total, std::int32_t points)
{
    // Unsigned arithmetic wraps by definition; the conversion back is modular since C++20.
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(total) + static_cast<std::uint32_t>(points));
}

std::optional<std::int32_t> SelectedPoints(const std::array<std::int32_t, 5>& optionValues, int answer)
{
    if (answer < 0 || answer >= static_cast<int>(optionValues.size()))
        return std::nullopt;
    return optionValues[static_cast<std::size_t>(answer)];
}

std::optional<int> FirstBandReached(
    const std::function<std::optional<std::int32_t>(int band)>& readBound, std::int32_t total)
{
    for (int band = 0; band < 5; ++band) {
        const std::optional<std::int32_t> bound = readBound(band);
        if (bound && total >= *bound)
            return band;
    }
    return std::nullopt;
}

} // namespace quiz
