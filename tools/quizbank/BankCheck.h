#pragma once

#include "BankSource.h"

#include <string>
#include <vector>

namespace quizbank {

// A flaw that makes a test misbehave in the program. `test` names the test it belongs to
// ("test \"name\"", "testname row 3" for a NULL name), or is empty for the bank as a whole.
struct Problem {
    std::string test;
    std::string message;
    friend bool operator==(const Problem&, const Problem&) = default;
};

// The problems of a bank, in the order of its tests, then the bank-wide ones.
std::vector<Problem> CheckBank(const Bank& bank);

// One problem as a line of quizbank check's output.
std::string ProblemLine(const Problem& problem);

} // namespace quizbank
