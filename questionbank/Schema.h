#pragma once

#include "Value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace questionbank {

// Jet column types, with the type codes of the file format.
enum class ColumnType : std::uint8_t {
    Bool = 0x01,
    Byte = 0x02,
    Integer = 0x03, // 16-bit signed
    Long = 0x04,    // 32-bit signed
    Currency = 0x05,
    Single = 0x06,
    Double = 0x07,
    DateTime = 0x08,
    Binary = 0x09,
    Text = 0x0A,
    OLE = 0x0B,
    Memo = 0x0C,
    GUID = 0x0F,
    Numeric = 0x10,
};

struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Text;
    std::uint16_t textLength = 255; // Text: the largest number of characters; ignored otherwise
    bool autoNumber = false;        // Long only
    friend bool operator==(const ColumnDef&, const ColumnDef&) = default;
};

// One value per column, in the order of Table::columns.
using Row = std::vector<Value>;

// A table as the question bank holds it: the columns in column-number order and the live rows
// in file order. The reader produces it, the writer consumes it.
struct Table {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<Row> rows;
};

} // namespace questionbank
