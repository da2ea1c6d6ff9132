#pragma once

#include "questionbank/Schema.h"

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// The question bank as rows of its three tables, and its text source (TOML, described in
// doc/question-bank-source.md). An absent optional is a NULL in the bank.
namespace quizbank {

using Text = std::optional<std::string>;
using SmallInt = std::optional<std::int16_t>;

struct Band {
    SmallInt bound;
    Text text;
    friend bool operator==(const Band&, const Band&) = default;
};

// One row of testname.
struct Test {
    Text name;
    std::array<Band, 5> bands;
    int line = 0; // where the source defines it; 0 when read from a bank file
    friend bool operator==(const Test& a, const Test& b) { return a.name == b.name && a.bands == b.bands; }
};

// One row of testquestion.
struct Question {
    std::optional<std::int32_t> id;
    Text testName;
    Text text;
    std::array<SmallInt, 5> values;
    int line = 0;
    friend bool operator==(const Question& a, const Question& b)
    {
        return a.id == b.id && a.testName == b.testName && a.text == b.text && a.values == b.values;
    }
};

struct Bank {
    std::vector<Test> tests; // testname, in table order
    std::vector<Question> questions; // testquestion, in table order
    std::vector<Text> versions; // databasever.makedate, in table order
    friend bool operator==(const Bank&, const Bank&) = default;
};

// A source that cannot be read; line and column are 1-based, 0 when unknown.
class SourceError : public std::runtime_error {
public:
    SourceError(std::string sourceName, int line, int column, const std::string& message);
    int line() const { return m_line; }
    int column() const { return m_column; }

private:
    int m_line;
    int m_column;
};

// A bank file whose tables the source format cannot hold (a missing table or column, an unknown
// column, a column of another type).
class SchemaError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Texts of the source are UTF-8; every line break of a plain string stands for CR LF in the bank.
Bank ParseSource(std::string_view source, const std::string& sourceName);
std::string WriteSource(const Bank& bank);

// The order the source keeps: testname and databasever rows as they are, the questions of each
// test after one another (stable), grouped under the first test of their name, then the questions
// of names without a test row. Two banks hold the same data when their normal forms are equal.
Bank Normalized(const Bank& bank);

// The rows as the bank file holds them, with the columns of questionbank/BankSchema.h.
std::vector<questionbank::Table> ToTables(const Bank& bank);
// Columns are found by name ignoring case, in any order. Throws SchemaError.
Bank FromTables(
    const questionbank::Table& tests, const questionbank::Table& questions, const questionbank::Table& versions);

// The number of UTF-16 code units of a UTF-8 text (Jet's length of a Text value).
std::size_t Utf16Length(std::string_view utf8);

} // namespace quizbank
