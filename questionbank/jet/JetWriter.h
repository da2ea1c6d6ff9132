#pragma once

#include "questionbank/Schema.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace questionbank::jet {

struct WriterOptions {
    std::string password; // UTF-8, at most 20 characters; empty for none
    OleDate creationDate { 45413.4375 }; // 2024-05-01 10:30; fixed so that written files are reproducible
};

// A Jet 4 database holding `tables` (user tables, no indexes). Every value must match its column's
// type (or be NULL); throws std::invalid_argument otherwise, or when a table does not fit the format.
// Also refused: a NULL in a Bool column (the null-mask bit is its value), a text starting with U+FEFF
// (readers would take it for compressed text), Numeric columns, Text lengths outside 1..255 (Binary:
// ColumnDef::textLength is its length in bytes, 1..510), rows over 4060 bytes, more than 255 columns,
// names that are empty, longer than 64 characters or repeated (ignoring Latin case), and passwords
// over 20 characters. Memos up to 64 bytes stay in the row, longer ones go to LVAL pages of their
// column. The same input always gives the same bytes.
std::vector<std::uint8_t> WriteJet4(const std::vector<Table>& tables, const WriterOptions& options);
void WriteJet4File(const std::filesystem::path& path, const std::vector<Table>& tables, const WriterOptions& options);

} // namespace questionbank::jet
