#pragma once

#include "questionbank/Schema.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace questionbank::jet {

// The file is not a Jet 3 or Jet 4 database, or it is damaged.
class FormatError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class JetVersion { Jet3, Jet4 };

// A Jet database file, read-only. The whole file is read into memory when it is opened; every
// offset, length and page chain is checked against it, so a damaged file raises FormatError and
// never reads outside the file, loops or allocates more than a small multiple of the file's size.
class JetFile {
public:
    // Throws std::system_error when the file cannot be read (missing, a directory, no permission)
    // and FormatError when it is not a readable Jet 3/4 file. Never opens the file for writing.
    static JetFile open(const std::filesystem::path& path);
    static JetFile fromBytes(std::vector<std::uint8_t> bytes);

    JetFile(JetFile&&) noexcept;
    JetFile& operator=(JetFile&&) noexcept;
    ~JetFile();

    JetVersion version() const;
    // The database password stored in the header (UTF-8); empty when the file has none.
    std::string password() const;
    // The names of the user tables (system tables too when asked), in catalog order.
    std::vector<std::string> tableNames(bool includeSystemTables = false) const;
    // The stored name of the table whose name equals `name` ignoring the case of Latin letters.
    std::optional<std::string> findTable(std::string_view name) const;
    // Decodes a whole table: its columns in column-number order and its live rows in file order
    // (a row Jet moved to another page keeps the place of its row pointer). NULL and "" stay
    // apart. Throws std::out_of_range for an unknown table and FormatError for a damaged one;
    // the other tables of the file stay readable. Safe to call from several threads at once.
    Table readTable(std::string_view name) const;

private:
    struct Impl;
    explicit JetFile(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace questionbank::jet
