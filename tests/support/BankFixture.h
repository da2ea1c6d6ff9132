#pragma once

// Question-bank fixtures: writes a real Jet 4 file (with the program's password) for a test.
//
//   testsupport::BankBuilder bank;
//   bank.addTest("抑郁自评", {30, 20, 10, 0, std::nullopt}, {"高", "中", "低", "很低", std::nullopt});
//   bank.addQuestion(3, "抑郁自评", "问题\r\nA.是 B.否", {2, 0, std::nullopt, std::nullopt, std::nullopt});
//   bank.addVersion("2024-05-01");
//   std::filesystem::path file = bank.write(dir);        // dir/tovra.mdb
//   testsupport::TempBank temp = bank.writeTemp();       // a fresh folder, removed with `temp`
//
// Values are kept by column name and converted to the column's type when the file is written, so a
// damaged bank is the normal one plus an override:
//   bank.withoutTable("databasever");                          // missing table
//   bank.withoutColumn("testquestion", "answerEValue");        // missing column
//   bank.withColumnType("testname", "rank1", ColumnType::Long); // wrong type: 30 becomes a Long
//   bank.withColumns("testname", {...});                       // any column set; cells match by name
// Numbers written into Text/Memo columns become their decimal text; text in a numeric column, or a
// number out of the column type's range, throws std::invalid_argument.

#include "questionbank/BankSchema.h"
#include "questionbank/Schema.h"
#include "questionbank/Value.h"
#include "questionbank/jet/JetWriter.h"

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <variant>
#include <vector>

namespace testsupport {

// A fresh folder under the system's temporary folder, removed with everything in it on destruction.
class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "marvolen-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        m_path = pattern;
    }
    ~TempDir() { removeAll(); }
    TempDir(TempDir&& other) noexcept
        : m_path(std::exchange(other.m_path, {}))
    {
    }
    TempDir& operator=(TempDir&& other) noexcept
    {
        if (this != &other) {
            removeAll();
            m_path = std::exchange(other.m_path, {});
        }
        return *this;
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    void removeAll() noexcept
    {
        if (m_path.empty())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }

    std::filesystem::path m_path;
};

struct TempBank {
    TempDir dir;
    std::filesystem::path file; // dir/tovra.mdb
};

class BankBuilder {
public:
    // A cell before it meets its column: NULL, a number, a text, or an exact value written as it is.
    using Cell = std::variant<std::monostate, std::int64_t, std::string, questionbank::Value>;
    using Bounds = std::array<std::optional<int>, 5>;
    using Texts = std::array<std::optional<std::string>, 5>;
    using Values = std::array<std::optional<int>, 5>;
    using Cells = std::map<std::string, Cell>;

    BankBuilder()
    {
        namespace bank = questionbank::bank;
        m_tables.push_back({ std::string(bank::kTestTable), bank::TestColumns(), {} });
        m_tables.push_back({ std::string(bank::kQuestionTable), bank::QuestionColumns(), {} });
        m_tables.push_back({ std::string(bank::kVersionTable), bank::VersionColumns(), {} });
        m_options.password = std::string(bank::kPassword);
    }

    BankBuilder& addTest(std::optional<std::string> name, const Bounds& bounds, const Texts& texts)
    {
        namespace bank = questionbank::bank;
        CellRow row;
        row[std::string(bank::kTestName)] = text(name);
        for (std::size_t i = 0; i < 5; ++i) {
            row[std::string(bank::kRankBound[i])] = number(bounds[i]);
            row[std::string(bank::kRankText[i])] = text(texts[i]);
        }
        return addCells(bank::kTestTable, std::move(row));
    }

    BankBuilder& addQuestion(std::optional<int> id, std::optional<std::string> testName,
        std::optional<std::string> questionText, const Values& values)
    {
        namespace bank = questionbank::bank;
        CellRow row;
        row[std::string(bank::kQuestionId)] = number(id);
        row[std::string(bank::kTestName)] = text(testName);
        row[std::string(bank::kQuestionText)] = text(questionText);
        for (std::size_t i = 0; i < 5; ++i)
            row[std::string(bank::kAnswerValue[i])] = number(values[i]);
        return addCells(bank::kQuestionTable, std::move(row));
    }

    BankBuilder& addVersion(std::optional<std::string> makeDate)
    {
        namespace bank = questionbank::bank;
        return addCells(bank::kVersionTable, { { std::string(bank::kMakeDate), text(makeDate) } });
    }

    // A row of any table, by column name; columns it does not name are NULL.
    BankBuilder& addRow(std::string_view table, Cells cells) { return addCells(table, std::move(cells)); }

    // ---- Overrides for damaged banks ----

    BankBuilder& withoutTable(std::string_view table)
    {
        m_tables.erase(m_tables.begin() + static_cast<std::ptrdiff_t>(indexOf(table)));
        return *this;
    }

    BankBuilder& withoutColumn(std::string_view table, std::string_view column)
    {
        auto& columns = find(table).columns;
        columns.erase(columns.begin() + static_cast<std::ptrdiff_t>(columnIndex(table, column)));
        return *this;
    }

    BankBuilder& withColumnType(
        std::string_view table, std::string_view column, questionbank::ColumnType type, std::uint16_t textLength = 255)
    {
        auto& def = find(table).columns[columnIndex(table, column)];
        def.type = type;
        def.textLength = textLength;
        return *this;
    }

    BankBuilder& withColumns(std::string_view table, std::vector<questionbank::ColumnDef> columns)
    {
        find(table).columns = std::move(columns);
        return *this;
    }

    // Adds a table, or replaces the one of that name (its rows too).
    BankBuilder& withTable(std::string name, std::vector<questionbank::ColumnDef> columns)
    {
        for (auto& table : m_tables) {
            if (table.name == name) {
                table = { std::move(name), std::move(columns), {} };
                return *this;
            }
        }
        m_tables.push_back({ std::move(name), std::move(columns), {} });
        return *this;
    }

    BankBuilder& renameTable(std::string_view table, std::string name)
    {
        find(table).name = std::move(name);
        return *this;
    }

    BankBuilder& withPassword(std::string password)
    {
        m_options.password = std::move(password);
        return *this;
    }

    // ---- Output ----

    // The tables as the writer gets them.
    std::vector<questionbank::Table> tables() const
    {
        std::vector<questionbank::Table> result;
        for (const auto& table : m_tables) {
            questionbank::Table out { table.name, table.columns, {} };
            for (const auto& cells : table.rows) {
                questionbank::Row row;
                for (const auto& column : table.columns) {
                    const auto cell = cells.find(column.name);
                    row.push_back(
                        cell == cells.end() ? questionbank::Value::null() : convert(cell->second, column, table.name));
                }
                out.rows.push_back(std::move(row));
            }
            result.push_back(std::move(out));
        }
        return result;
    }

    const questionbank::jet::WriterOptions& options() const { return m_options; }

    // Writes dir/tovra.mdb (dir must exist) and returns its path.
    std::filesystem::path write(const std::filesystem::path& dir) const
    {
        return writeAs(dir / std::string(questionbank::bank::kFileName));
    }

    std::filesystem::path writeAs(const std::filesystem::path& file) const
    {
        questionbank::jet::WriteJet4File(file, tables(), m_options);
        return file;
    }

    TempBank writeTemp() const
    {
        TempBank bank;
        bank.file = write(bank.dir.path());
        return bank;
    }

private:
    using CellRow = Cells;
    struct TableCells {
        std::string name;
        std::vector<questionbank::ColumnDef> columns;
        std::vector<CellRow> rows;
    };

    static Cell number(std::optional<int> value) { return value ? Cell(static_cast<std::int64_t>(*value)) : Cell(); }
    static Cell text(const std::optional<std::string>& value) { return value ? Cell(*value) : Cell(); }

    BankBuilder& addCells(std::string_view table, CellRow row)
    {
        find(table).rows.push_back(std::move(row));
        return *this;
    }

    std::size_t indexOf(std::string_view table) const
    {
        for (std::size_t i = 0; i < m_tables.size(); ++i) {
            if (m_tables[i].name == table)
                return i;
        }
        throw std::invalid_argument("BankBuilder: no table " + std::string(table));
    }
    TableCells& find(std::string_view table) { return m_tables[indexOf(table)]; }

    std::size_t columnIndex(std::string_view table, std::string_view column)
    {
        const auto& columns = find(table).columns;
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (columns[i].name == column)
                return i;
        }
        throw std::invalid_argument("BankBuilder: no column " + std::string(column) + " in " + std::string(table));
    }

    template <typename T> static questionbank::Value inRange(std::int64_t value, const std::string& where)
    {
        if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max())
            throw std::invalid_argument("BankBuilder: " + std::to_string(value) + " does not fit " + where);
        return questionbank::Value(static_cast<T>(value));
    }

    static questionbank::Value convert(
        const Cell& cell, const questionbank::ColumnDef& column, const std::string& table)
    {
        using questionbank::ColumnType;
        using questionbank::Value;
        if (std::holds_alternative<std::monostate>(cell))
            return Value::null();
        if (const auto* exact = std::get_if<Value>(&cell))
            return *exact;
        const std::string where = table + "." + column.name;
        if (const auto* textValue = std::get_if<std::string>(&cell)) {
            if (column.type == ColumnType::Text || column.type == ColumnType::Memo || column.type == ColumnType::GUID)
                return Value(*textValue);
            throw std::invalid_argument("BankBuilder: a text for the non-text column " + where);
        }
        const std::int64_t value = std::get<std::int64_t>(cell);
        switch (column.type) {
        case ColumnType::Bool:
            return Value(value != 0);
        case ColumnType::Byte:
            return inRange<std::uint8_t>(value, where);
        case ColumnType::Integer:
            return inRange<std::int16_t>(value, where);
        case ColumnType::Long:
            return inRange<std::int32_t>(value, where);
        case ColumnType::Currency:
            return Value(questionbank::Currency { value * 10000 });
        case ColumnType::Single:
            return Value(static_cast<float>(value));
        case ColumnType::Double:
            return Value(static_cast<double>(value));
        case ColumnType::DateTime:
            return Value(questionbank::OleDate { static_cast<double>(value) });
        case ColumnType::Text:
        case ColumnType::Memo:
            return Value(std::to_string(value));
        default:
            throw std::invalid_argument("BankBuilder: a number for the column " + where);
        }
    }

    std::vector<TableCells> m_tables;
    questionbank::jet::WriterOptions m_options;
};

} // namespace testsupport
