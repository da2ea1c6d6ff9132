#include "BankSource.h"

#include "questionbank/BankSchema.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <toml++/toml.h>

namespace quizbank {

using questionbank::Value;
using questionbank::VarType;
namespace schema = questionbank::bank;

SourceError::SourceError(std::string sourceName, int line, int column, const std::string& message)
    : std::runtime_error(sourceName + (line > 0 ? ":" + std::to_string(line) : std::string())
        + (line > 0 && column > 0 ? ":" + std::to_string(column) : std::string()) + ": " + message)
    , m_line(line)
    , m_column(column)
{
}

std::size_t Utf16Length(std::string_view utf8)
{
    std::size_t units = 0;
    for (unsigned char c : utf8) {
        if ((c & 0xC0) != 0x80)
            ++units; // a lead byte starts one code point
        if ((c & 0xF8) == 0xF0)
            ++units; // four-byte sequences need a surrogate pair
    }
    return units;
}

namespace {

constexpr std::size_t kTextColumnLength = 255;
constexpr std::string_view kNullMarker = "null";

// A plain string's line breaks stand for the bank's CR LF: an LF becomes CR LF unless a CR already
// stands before it. toml++ has already turned the file's own CR LF into LF; a CR comes from an escape.
std::string PlainToStored(const std::string& plain)
{
    std::string stored;
    stored.reserve(plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] == '\n' && (i == 0 || plain[i - 1] != '\r'))
            stored += '\r';
        stored += plain[i];
    }
    return stored;
}

// ---- Reading the source ----

class SourceReader {
public:
    explicit SourceReader(std::string name)
        : m_name(std::move(name))
    {
    }

    [[noreturn]] void fail(const toml::source_region& where, const std::string& message) const
    {
        throw SourceError(m_name, static_cast<int>(where.begin.line), static_cast<int>(where.begin.column), message);
    }

    Bank read(std::string_view source)
    {
        toml::table root;
        try {
            root = toml::parse(source, m_name);
        } catch (const toml::parse_error& error) {
            fail(error.source(), std::string(error.description()));
        }

        Bank bank;
        for (auto&& [key, node] : root) {
            if (key == "databasever") {
                for (const toml::table* row : tableArray(key, node))
                    bank.versions.push_back(readVersion(*row));
            } else if (key == "test") {
                for (const toml::table* row : tableArray(key, node))
                    readTest(*row, bank);
            } else if (key == "question") {
                for (const toml::table* row : tableArray(key, node))
                    m_orphans.push_back(readQuestion(*row, true, std::nullopt));
            } else {
                unknownKey(key, "at the top level (expected [[databasever]], [[test]] or [[question]])");
            }
        }
        // The questions of names without a test row come after those of the tests.
        bank.questions.insert(bank.questions.end(), m_orphans.begin(), m_orphans.end());
        return bank;
    }

private:
    [[noreturn]] void unknownKey(const toml::key& key, const std::string& where) const
    {
        fail(key.source(), "unknown key '" + std::string(key.str()) + "' " + where);
    }

    // `parent` is the name of the enclosing array ("test" for [[test.band]]), empty at the top level.
    std::vector<const toml::table*> tableArray(
        const toml::key& key, const toml::node& node, std::string_view parent = {}) const
    {
        const toml::array* array = node.as_array();
        if (!array || !array->is_array_of_tables()) {
            std::string path
                = parent.empty() ? std::string(key.str()) : std::string(parent) + "." + std::string(key.str());
            fail(node.source(), "'" + path + "' must be an array of tables: write [[" + path + "]] before each entry");
        }
        std::vector<const toml::table*> tables;
        for (const toml::node& element : *array)
            tables.push_back(element.as_table());
        return tables;
    }

    Text readText(const toml::key& key, const toml::node& node, bool textColumn) const
    {
        std::string text;
        if (auto plain = node.value<std::string>()) {
            text = PlainToStored(*plain);
        } else if (const toml::table* exact = node.as_table()) {
            const toml::node* inner = exact->get("exact");
            if (exact->size() != 1 || !inner || !inner->is_string())
                fail(node.source(), "'" + std::string(key.str()) + "' as a table must be { exact = \"...\" }");
            text = *inner->value<std::string>();
        } else if (node.is_date() || node.is_date_time() || node.is_time()) {
            fail(node.source(), "'" + std::string(key.str()) + "' must be a string: put the date in quotes");
        } else {
            fail(node.source(), "'" + std::string(key.str()) + "' must be a string or { exact = \"...\" }");
        }
        if (textColumn && Utf16Length(text) > kTextColumnLength)
            fail(node.source(),
                "'" + std::string(key.str()) + "' is longer than " + std::to_string(kTextColumnLength)
                    + " characters, the size of its column");
        return text;
    }

    std::int64_t readInteger(const std::string& what, const toml::node& node, std::int64_t low, std::int64_t high,
        const std::string& columnKind) const
    {
        auto value = node.value_exact<std::int64_t>();
        if (!value)
            fail(node.source(), what + " must be an integer");
        if (*value < low || *value > high)
            fail(node.source(),
                what + ": " + std::to_string(*value) + " is out of range for " + columnKind + " (" + std::to_string(low)
                    + " to " + std::to_string(high) + ")");
        return *value;
    }

    SmallInt readSmallInt(const std::string& what, const toml::node& node) const
    {
        return static_cast<std::int16_t>(readInteger(what, node, std::numeric_limits<std::int16_t>::min(),
            std::numeric_limits<std::int16_t>::max(), "an Integer column"));
    }

    Text readVersion(const toml::table& row) const
    {
        Text makedate;
        for (auto&& [key, node] : row) {
            if (key == "makedate")
                makedate = readText(key, node, true);
            else
                unknownKey(key, "in [[databasever]] (expected makedate)");
        }
        return makedate;
    }

    void readTest(const toml::table& row, Bank& bank)
    {
        Test test;
        test.line = static_cast<int>(row.source().begin.line);
        // The name comes first: the questions take it as their test name wherever it stands.
        for (auto&& [key, node] : row)
            if (key == "name")
                test.name = readText(key, node, true);
        std::vector<Question> questions;
        for (auto&& [key, node] : row) {
            if (key == "name")
                continue;
            if (key == "band") {
                auto bands = tableArray(key, node, "test");
                if (bands.size() > test.bands.size())
                    fail(bands[test.bands.size()]->source(), "a test has at most 5 bands");
                for (std::size_t i = 0; i < bands.size(); ++i)
                    test.bands[i] = readBand(*bands[i]);
            } else if (key == "question") {
                for (const toml::table* question : tableArray(key, node, "test"))
                    questions.push_back(readQuestion(*question, false, test.name));
            } else {
                unknownKey(key, "in [[test]] (expected name, [[test.band]] or [[test.question]])");
            }
        }
        bank.tests.push_back(test);
        bank.questions.insert(bank.questions.end(), questions.begin(), questions.end());
    }

    Band readBand(const toml::table& row) const
    {
        Band band;
        for (auto&& [key, node] : row) {
            if (key == "bound")
                band.bound = readSmallInt("bound", node);
            else if (key == "text")
                band.text = readText(key, node, false);
            else
                unknownKey(key, "in [[test.band]] (expected bound or text)");
        }
        return band;
    }

    Question readQuestion(const toml::table& row, bool topLevel, const Text& testName) const
    {
        Question question;
        question.line = static_cast<int>(row.source().begin.line);
        question.testName = testName;
        for (auto&& [key, node] : row) {
            if (key == "id") {
                question.id
                    = static_cast<std::int32_t>(readInteger("id", node, std::numeric_limits<std::int32_t>::min(),
                        std::numeric_limits<std::int32_t>::max(), "a Long column"));
            } else if (key == "text") {
                question.text = readText(key, node, false);
            } else if (key == "values") {
                const toml::array* values = node.as_array();
                if (!values)
                    fail(node.source(), "'values' must be an array of up to 5 integers or \"null\"");
                if (values->size() > question.values.size())
                    fail((*values)[question.values.size()].source(), "a question has at most 5 answer values (A to E)");
                for (std::size_t i = 0; i < values->size(); ++i) {
                    const toml::node& value = (*values)[i];
                    std::string what
                        = "values[" + std::to_string(i) + "] (answer " + std::string(1, char('A' + i)) + ")";
                    if (value.is_string()) {
                        if (*value.value<std::string>() != kNullMarker)
                            fail(value.source(), what + " must be an integer or \"null\"");
                        continue;
                    }
                    question.values[i] = readSmallInt(what, value);
                }
            } else if (key == "test" && topLevel) {
                question.testName = readText(key, node, true);
            } else {
                unknownKey(key,
                    topLevel ? "in [[question]] (expected test, id, text or values)"
                             : "in [[test.question]] (expected id, text or values)");
            }
        }
        return question;
    }

    std::string m_name;
    std::vector<Question> m_orphans;
};

// ---- Writing the source ----

void AppendEscaped(std::string& out, char c)
{
    switch (c) {
    case '\\':
        out += "\\\\";
        break;
    case '"':
        out += "\\\"";
        break;
    case '\t':
        out += "\\t";
        break;
    case '\r':
        out += "\\r";
        break;
    case '\n':
        out += "\\n";
        break;
    case '\b':
        out += "\\b";
        break;
    case '\f':
        out += "\\f";
        break;
    default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            char buffer[8];
            std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(static_cast<unsigned char>(c)));
            out += buffer;
        } else {
            out += c;
        }
    }
}

std::string QuotedText(const std::string& text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // CR LF is written as a line break
        plain += text[i];
    }
    std::string out;
    if (PlainToStored(plain) != text) {
        // A lone LF, or a CR before a line break, cannot be told apart in a plain string.
        out = "{ exact = \"";
        for (char c : text)
            AppendEscaped(out, c);
        return out + "\" }";
    }
    bool lines = plain.find('\n') != std::string::npos;
    out = lines ? "\"\"\"\n" : "\"";
    for (char c : plain) {
        if (c == '\n')
            out += '\n';
        else
            AppendEscaped(out, c);
    }
    return out + (lines ? "\"\"\"" : "\"");
}

// For each question, the index of the test it is written under, or -1 for [[question]].
std::vector<int> Placement(const Bank& bank)
{
    std::map<Text, int> firstTest;
    for (std::size_t i = 0; i < bank.tests.size(); ++i)
        firstTest.emplace(bank.tests[i].name, static_cast<int>(i));
    std::vector<int> placement;
    for (const Question& question : bank.questions) {
        auto found = firstTest.find(question.testName);
        placement.push_back(found == firstTest.end() ? -1 : found->second);
    }
    return placement;
}

void WriteQuestionBody(std::string& out, const Question& question)
{
    if (question.id)
        out += "id = " + std::to_string(*question.id) + "\n";
    if (question.text)
        out += "text = " + QuotedText(*question.text) + "\n";
    std::size_t count = question.values.size();
    while (count > 0 && !question.values[count - 1])
        --count;
    if (count > 0) {
        out += "values = [";
        for (std::size_t i = 0; i < count; ++i) {
            if (i > 0)
                out += ", ";
            out += question.values[i] ? std::to_string(*question.values[i]) : "\"" + std::string(kNullMarker) + "\"";
        }
        out += "]\n";
    }
}

} // namespace

Bank ParseSource(std::string_view source, const std::string& sourceName)
{
    return SourceReader(sourceName).read(source);
}

Bank Normalized(const Bank& bank)
{
    Bank normal;
    normal.tests = bank.tests;
    normal.versions = bank.versions;
    auto placement = Placement(bank);
    for (int test = 0; test < static_cast<int>(bank.tests.size()); ++test)
        for (std::size_t i = 0; i < bank.questions.size(); ++i)
            if (placement[i] == test)
                normal.questions.push_back(bank.questions[i]);
    for (std::size_t i = 0; i < bank.questions.size(); ++i)
        if (placement[i] == -1)
            normal.questions.push_back(bank.questions[i]);
    return normal;
}

std::string WriteSource(const Bank& bank)
{
    std::string out = "# Question bank source: quizbank build turns it into the bank file.\n";
    for (const Text& version : bank.versions) {
        out += "\n[[databasever]]\n";
        if (version)
            out += "makedate = " + QuotedText(*version) + "\n";
    }
    auto placement = Placement(bank);
    for (std::size_t t = 0; t < bank.tests.size(); ++t) {
        const Test& test = bank.tests[t];
        out += "\n[[test]]\n";
        if (test.name)
            out += "name = " + QuotedText(*test.name) + "\n";
        std::size_t bands = test.bands.size();
        while (bands > 0 && !test.bands[bands - 1].bound && !test.bands[bands - 1].text)
            --bands;
        for (std::size_t b = 0; b < bands; ++b) {
            out += "\n[[test.band]]\n";
            if (test.bands[b].bound)
                out += "bound = " + std::to_string(*test.bands[b].bound) + "\n";
            if (test.bands[b].text)
                out += "text = " + QuotedText(*test.bands[b].text) + "\n";
        }
        for (std::size_t q = 0; q < bank.questions.size(); ++q) {
            if (placement[q] != static_cast<int>(t))
                continue;
            out += "\n[[test.question]]\n";
            WriteQuestionBody(out, bank.questions[q]);
        }
    }
    for (std::size_t q = 0; q < bank.questions.size(); ++q) {
        if (placement[q] != -1)
            continue;
        out += "\n[[question]]\n";
        if (bank.questions[q].testName)
            out += "test = " + QuotedText(*bank.questions[q].testName) + "\n";
        WriteQuestionBody(out, bank.questions[q]);
    }
    return out;
}

// ---- The bank's tables ----

namespace {

Value TextValue(const Text& text)
{
    return text ? Value(*text) : Value::null();
}
Value SmallIntValue(const SmallInt& value)
{
    return value ? Value(*value) : Value::null();
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
        [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : static_cast<char>(c); });
    return lower;
}

// The columns of one table by name, with the checks that the source format needs.
class ColumnMap {
public:
    ColumnMap(const questionbank::Table& table, const std::vector<questionbank::ColumnDef>& expected)
        : m_table(table)
    {
        for (std::size_t i = 0; i < table.columns.size(); ++i)
            m_index[Lower(table.columns[i].name)] = i;
        for (const auto& column : expected)
            if (!m_index.count(Lower(column.name)))
                throw SchemaError("table " + table.name + " has no column " + column.name);
        for (const auto& column : table.columns) {
            bool known = std::any_of(
                expected.begin(), expected.end(), [&](const auto& e) { return Lower(e.name) == Lower(column.name); });
            if (!known)
                throw SchemaError(
                    "table " + table.name + " has a column " + column.name + " that the source format cannot hold");
        }
    }

    const Value& at(const questionbank::Row& row, std::string_view column, VarType type, std::size_t rowNumber) const
    {
        const Value& value = row.at(m_index.at(Lower(column)));
        if (!value.isNull() && value.type() != type)
            throw SchemaError("table " + m_table.name + ", row " + std::to_string(rowNumber + 1) + ": column "
                + std::string(column) + " holds a value of another type than the bank's schema gives it");
        return value;
    }

    Text text(const questionbank::Row& row, std::string_view column, std::size_t rowNumber) const
    {
        const Value& value = at(row, column, VarType::BStr, rowNumber);
        return value.isNull() ? Text() : Text(value.get<std::string>());
    }

    SmallInt smallInt(const questionbank::Row& row, std::string_view column, std::size_t rowNumber) const
    {
        const Value& value = at(row, column, VarType::I2, rowNumber);
        return value.isNull() ? SmallInt() : SmallInt(value.get<std::int16_t>());
    }

private:
    const questionbank::Table& m_table;
    std::map<std::string, std::size_t> m_index;
};

} // namespace

std::vector<questionbank::Table> ToTables(const Bank& bank)
{
    questionbank::Table tests { std::string(schema::kTestTable), schema::TestColumns(), {} };
    for (const Test& test : bank.tests) {
        questionbank::Row row { TextValue(test.name) };
        for (const Band& band : test.bands)
            row.push_back(SmallIntValue(band.bound));
        for (const Band& band : test.bands)
            row.push_back(TextValue(band.text));
        tests.rows.push_back(std::move(row));
    }
    questionbank::Table questions { std::string(schema::kQuestionTable), schema::QuestionColumns(), {} };
    for (const Question& question : bank.questions) {
        questionbank::Row row { question.id ? Value(*question.id) : Value::null(), TextValue(question.testName),
            TextValue(question.text) };
        for (const SmallInt& value : question.values)
            row.push_back(SmallIntValue(value));
        questions.rows.push_back(std::move(row));
    }
    questionbank::Table versions { std::string(schema::kVersionTable), schema::VersionColumns(), {} };
    for (const Text& version : bank.versions)
        versions.rows.push_back({ TextValue(version) });
    return { tests, questions, versions };
}

Bank FromTables(
    const questionbank::Table& tests, const questionbank::Table& questions, const questionbank::Table& versions)
{
    Bank bank;
    ColumnMap testColumns(tests, schema::TestColumns());
    for (std::size_t r = 0; r < tests.rows.size(); ++r) {
        const auto& row = tests.rows[r];
        Test test;
        test.name = testColumns.text(row, schema::kTestName, r);
        for (std::size_t b = 0; b < test.bands.size(); ++b) {
            test.bands[b].bound = testColumns.smallInt(row, schema::kRankBound[b], r);
            test.bands[b].text = testColumns.text(row, schema::kRankText[b], r);
        }
        bank.tests.push_back(std::move(test));
    }
    ColumnMap questionColumns(questions, schema::QuestionColumns());
    for (std::size_t r = 0; r < questions.rows.size(); ++r) {
        const auto& row = questions.rows[r];
        Question question;
        const Value& id = questionColumns.at(row, schema::kQuestionId, VarType::I4, r);
        if (!id.isNull())
            question.id = id.get<std::int32_t>();
        question.testName = questionColumns.text(row, schema::kTestName, r);
        question.text = questionColumns.text(row, schema::kQuestionText, r);
        for (std::size_t v = 0; v < question.values.size(); ++v)
            question.values[v] = questionColumns.smallInt(row, schema::kAnswerValue[v], r);
        bank.questions.push_back(std::move(question));
    }
    ColumnMap versionColumns(versions, schema::VersionColumns());
    for (std::size_t r = 0; r < versions.rows.size(); ++r)
        bank.versions.push_back(versionColumns.text(versions.rows[r], schema::kMakeDate, r));
    return bank;
}

} // namespace quizbank
