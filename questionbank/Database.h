#pragma once

#include "Schema.h"
#include "Statement.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace questionbank::jet {
class JetFile;
}

namespace questionbank {

// A decoded table with what queries need on top: its columns by name and, for every text column a
// WHERE has compared, a hash index from the folded text to the matching rows.
class CachedTable {
public:
    explicit CachedTable(Table table);

    const Table& table() const { return m_table; }
    // The column whose name equals `name` ignoring the case of Latin letters.
    std::optional<std::size_t> findColumn(std::string_view name) const;
    // The rows (indexes into table().rows, in file order) whose text in `column` equals `text`.
    const std::vector<std::uint32_t>& rowsMatching(std::size_t column, std::string_view text) const;

private:
    using Index = std::unordered_map<std::string, std::vector<std::uint32_t>>;

    Table m_table;
    std::vector<std::string> m_foldedNames; // in column order
    std::unordered_map<std::string, std::size_t> m_columns; // by folded name; the first of equal names
    mutable std::vector<std::unique_ptr<Index>> m_indexes; // per column, built on first use
};

// The rows one statement selects, in the order it asks for.
struct QueryResult {
    const CachedTable* table = nullptr;
    std::vector<std::uint32_t> rows;
};

// Where a database's tables come from: the Jet file (DatabaseFile.cpp), or tables held in memory.
class TableSource {
public:
    virtual ~TableSource() = default;
    // The database password; empty for none.
    virtual std::string password() const = 0;
    // The stored name of the table whose name equals `name` ignoring the case of Latin letters.
    virtual std::optional<std::string> findTable(std::string_view name) const = 0;
    // Decodes a table found by findTable; throws (anything but ComError) when it is damaged.
    virtual Table readTable(const std::string& storedName) const = 0;
};

// An opened question bank. The file is read once when it is opened; each table is decoded on its
// first use and kept, since nothing ever writes the file. Not thread-safe (the program has one thread).
class Database {
public:
    // Throws ComError(E_FAIL) when the file is missing, unreadable, damaged or not a Jet file.
    static std::shared_ptr<const Database> OpenFile(const std::filesystem::path& path);
    // A database over a Jet file already read (the fuzzer's way in: bytes instead of a path).
    static std::shared_ptr<const Database> OpenJetFile(jet::JetFile file);

    explicit Database(std::unique_ptr<const TableSource> source);
    // A database held in memory, for tests and tools; `password` is empty for none.
    Database(std::vector<Table> tables, std::string password);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // As Jet decides it: a file with a password opens only with exactly that one (case-sensitive),
    // a file without one with any.
    bool acceptsPassword(std::string_view password) const;

    // The table whose name equals `name` ignoring the case of Latin letters.
    // Throws ComError(DB_E_NOTABLE) when there is none and ComError(E_FAIL) when it is damaged.
    const CachedTable& table(std::string_view name) const;

    // Throws ComError: DB_E_NOTABLE, DB_E_PARAMNOTOPTIONAL (unknown column), DB_E_CANTCONVERTVALUE
    // (a text literal against a column that is not text), E_FAIL (damaged table).
    QueryResult run(const Statement& statement) const;

private:
    std::unique_ptr<const TableSource> m_source;
    std::string m_password;
    mutable std::map<std::string, std::unique_ptr<CachedTable>> m_tables; // by stored name
};

} // namespace questionbank
