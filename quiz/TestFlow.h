#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The decisions of the test flow that need no dialog: the two queries, the running total and the
// choice of the evaluation band.
namespace quiz {

// A name as an SQL text literal's contents: every apostrophe doubled, so that a name such as
// "x' OR '1'='1" finds only its own rows.
std::string QuotedLiteral(std::string_view name);

// "SELECT * FROM testquestion WHERE testName='NAME' ORDER BY ID"
std::string QuestionQuery(std::string_view testName);
// "SELECT * FROM testname WHERE testName='NAME'"
std::string EvaluationQuery(std::string_view testName);

// The 32-bit running total plus one answer's points. It wraps modulo 2^32 on overflow, as the
// machine's 32-bit addition does, without relying on signed overflow (16-bit values would need
// over 65 000 questions to get there).
std::int32_t AddPoints(std::int32_t total, std::int32_t points);

// The points of the selected option, or nothing when no option is selected (-1) or the index lies
// outside the five options.
std::optional<std::int32_t> SelectedPoints(const std::array<std::int32_t, 5>& optionValues, int answer);

// The first band, in band order 0 to 4, whose lower bound `total` reaches; a band whose bound is
// NULL (nothing) does not exist and is skipped. `readBound` is called band by band and not past the
// band chosen, so a read that fails after that band is never made.
std::optional<int> FirstBandReached(
    const std::function<std::optional<std::int32_t>(int band)>& readBound, std::int32_t total);

} // namespace quiz
