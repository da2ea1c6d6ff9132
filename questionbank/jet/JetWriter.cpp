#include "questionbank/jet/JetWriter.h"

#include "questionbank/jet/JetFormat.h"
#include "questionbank/jet/JetWriterText.h"
#include "questionbank/jet/Rc4.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <system_error>

// Page order of a written file: 0 header, 1 global usage map, 2 the MSysObjects TDEF, 3 usage-map
// rows; then per user table its TDEF pages followed by its data pages interleaved with the LVAL pages
// of its memo columns; then the MSysObjects rows (they name the TDEF pages, so they come last), and
// any further usage-map and bitmap pages.

namespace questionbank::jet {

namespace {

namespace fmt = format;

namespace w = fmt::writer;

constexpr std::size_t kPageSize = fmt::kJet4PageSize;
constexpr std::size_t kDataPageHeader = fmt::kJet4DataPage.rowOffsetsOffset;
constexpr std::size_t kEmptyPageFree = kPageSize - kDataPageHeader; // 4082
constexpr std::size_t kMaxColumns = 255; // column numbers are read as one byte
constexpr std::size_t kUsageMapRowSize = fmt::usagemap::kJet4RowSize;
constexpr std::size_t kInlineMapPages = fmt::usagemap::kJet4InlineBitmapBytes * 8;
constexpr std::size_t kBitmapPagePages = fmt::usagemap::pagesPerBitmapPage(kPageSize);
constexpr std::array<std::uint8_t, 4> kDataOwnerNone = { 0, 0, 0, 0 };
constexpr std::array<std::uint8_t, 4> kGlobalMapOwner = { w::kGlobalMapOwner, 0, 0, 0 };
constexpr std::array<std::uint8_t, 4> kLvalOwner = { fmt::datapage::kLvalMarker[0], fmt::datapage::kLvalMarker[1],
    fmt::datapage::kLvalMarker[2], fmt::datapage::kLvalMarker[3] };

[[noreturn]] void fail(const std::string& message)
{
    throw std::invalid_argument(message);
}

void put16(Bytes& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void put32(Bytes& out, std::size_t at, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void put64(Bytes& out, std::size_t at, std::uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

void append16(Bytes& out, std::uint16_t value)
{
    out.resize(out.size() + 2);
    put16(out, out.size() - 2, value);
}

void append32(Bytes& out, std::uint32_t value)
{
    out.resize(out.size() + 4);
    put32(out, out.size() - 4, value);
}

std::array<std::uint8_t, 4> littleEndian32(std::uint32_t value)
{
    return { static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
        static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24) };
}

// ---- Pages ----------------------------------------------------------------------------------

// A page holding rows (table data, long values or usage maps), packed downward from the page end.
struct RowPage {
    std::array<std::uint8_t, 4> owner {};
    std::vector<Bytes> rows;
    std::size_t used = 0; // row bytes plus their 2-byte offsets

    bool fits(std::size_t length) const
    {
        return rows.size() < fmt::datapage::kMaxRowsPerPage && used + length + 2 <= kEmptyPageFree;
    }
};

struct Page {
    Bytes raw; // header, TDEF and bitmap pages: the finished page
    std::optional<RowPage> rows;
};

class PageFile {
public:
    std::uint32_t addRawPage()
    {
        m_pages.push_back(Page { Bytes(kPageSize, 0), std::nullopt });
        return lastPage();
    }

    std::uint32_t addRowPage(std::array<std::uint8_t, 4> owner)
    {
        m_pages.push_back(Page { {}, RowPage { owner, {}, 0 } });
        return lastPage();
    }

    // Appends `row` to the last page of `pages`, or to a new page (recorded in `pages`) when it is full.
    std::uint32_t placeRow(std::vector<std::uint32_t>& pages, std::array<std::uint8_t, 4> owner, Bytes row)
    {
        if (pages.empty() || !m_pages[pages.back()].rows->fits(row.size()))
            pages.push_back(addRowPage(owner));
        RowPage& page = *m_pages[pages.back()].rows;
        page.used += row.size() + 2;
        page.rows.push_back(std::move(row));
        return fmt::rowPointer(pages.back(), static_cast<std::uint8_t>(page.rows.size() - 1));
    }

    Bytes& row(std::uint32_t pointer)
    {
        return m_pages[fmt::rowPointerPage(pointer)].rows->rows[fmt::rowPointerRow(pointer)];
    }
    Bytes& raw(std::uint32_t page) { return m_pages[page].raw; }
    std::size_t pageCount() const { return m_pages.size(); }

    Bytes render() const
    {
        Bytes file;
        file.reserve(m_pages.size() * kPageSize);
        for (const Page& page : m_pages) {
            if (page.rows)
                appendRowPage(file, *page.rows);
            else
                file.insert(file.end(), page.raw.begin(), page.raw.end());
        }
        return file;
    }

private:
    std::uint32_t lastPage() const
    {
        if (m_pages.size() > fmt::catalog::kIdPageMask)
            fail("the database needs more pages than the format can address");
        return static_cast<std::uint32_t>(m_pages.size() - 1);
    }

    static void appendRowPage(Bytes& file, const RowPage& page)
    {
        const std::size_t base = file.size();
        file.resize(base + kPageSize, 0);
        Bytes bytes(kPageSize, 0);
        bytes[0] = static_cast<std::uint8_t>(fmt::PageType::Data);
        bytes[1] = fmt::kPageMarker;
        put16(bytes, fmt::kJet4DataPage.freeSpaceOffset, static_cast<std::uint16_t>(kEmptyPageFree - page.used));
        std::copy(page.owner.begin(), page.owner.end(), bytes.begin() + fmt::kJet4DataPage.tdefPageOffset);
        put16(bytes, fmt::kJet4DataPage.numRowsOffset, static_cast<std::uint16_t>(page.rows.size()));
        // No gaps between rows: readers take a row's end from the previous row's start.
        std::size_t end = kPageSize;
        for (std::size_t i = 0; i < page.rows.size(); ++i) {
            const Bytes& row = page.rows[i];
            const std::size_t start = end - row.size();
            std::copy(row.begin(), row.end(), bytes.begin() + static_cast<std::ptrdiff_t>(start));
            put16(bytes, fmt::kJet4DataPage.rowOffsetsOffset + 2 * i, static_cast<std::uint16_t>(start));
            end = start;
        }
        std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(base));
    }

    std::vector<Page> m_pages;
};

// ---- Tables ---------------------------------------------------------------------------------

bool isLongValue(ColumnType type)
{
    return type == ColumnType::Memo || type == ColumnType::OLE;
}
bool isVariable(ColumnType type)
{
    return type == ColumnType::Text || type == ColumnType::Binary || isLongValue(type);
}

struct ColumnPlan {
    ColumnDef def;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0; // variable columns
    std::uint16_t fixedOffset = 0; // fixed columns
    std::uint16_t length = 0;
    std::uint8_t flags = 0;
    std::vector<std::uint32_t> lvalPages; // Memo/OLE: this column's long-value pages
    std::uint32_t ownedMap = 0;
    std::uint32_t freeMap = 0;
};

struct TablePlan {
    const Table* table = nullptr;
    bool system = false;
    std::vector<ColumnPlan> columns;
    std::uint16_t numVarCols = 0;
    std::size_t fixedSize = 0;
    std::uint32_t firstTdefPage = 0;
    std::vector<std::uint32_t> tdefPages;
    std::vector<std::uint32_t> dataPages;
    std::uint32_t numRows = 0;
    std::uint32_t lastAutoNumber = 0;
    std::uint32_t ownedMap = 0;
    std::uint32_t freeMap = 0;
};

std::string caseFolded(std::string_view name)
{
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(),
        [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return folded;
}

std::u16string checkedName(const std::string& name, const std::string& what)
{
    std::u16string units;
    try {
        units = writertext::toUtf16(name);
    } catch (const std::invalid_argument&) {
        fail(what + " is not valid UTF-8");
    }
    if (units.empty())
        fail(what + " is empty");
    if (units.size() > w::kMaxNameChars)
        fail(what + " \"" + name + "\" is longer than 64 characters");
    return units;
}

std::size_t fixedSize(ColumnType type)
{
    return fmt::fixedLength(static_cast<fmt::ColumnTypeCode>(type));
}

TablePlan planTable(const Table& table, bool system)
{
    TablePlan plan;
    plan.table = &table;
    plan.system = system;
    const std::string tableWhat = "table \"" + table.name + "\"";
    if (table.columns.empty())
        fail(tableWhat + " has no columns");
    if (table.columns.size() > kMaxColumns)
        fail(tableWhat + " has more than 255 columns");
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnDef& def = table.columns[i];
        checkedName(def.name, "a column name of " + tableWhat);
        std::string folded = caseFolded(def.name);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            fail(tableWhat + " has two columns named \"" + def.name + "\"");
        seen.push_back(std::move(folded));

        ColumnPlan column;
        column.def = def;
        column.number = static_cast<std::uint16_t>(i);
        column.flags = fmt::columnflag::kNullable | (system ? fmt::columnflag::kSystem : 0);
        switch (def.type) {
        case ColumnType::Text:
            if (def.textLength < 1 || def.textLength > w::kMaxTextChars)
                fail("column \"" + def.name + "\" of " + tableWhat + " needs a length of 1 to 255 characters");
            column.length = static_cast<std::uint16_t>(2 * def.textLength);
            break;
        case ColumnType::Binary:
            if (def.textLength < 1 || def.textLength > w::kMaxBinaryBytes)
                fail("column \"" + def.name + "\" of " + tableWhat + " needs a length of 1 to 510 bytes");
            column.length = def.textLength;
            break;
        case ColumnType::Memo:
        case ColumnType::OLE:
            break;
        case ColumnType::Numeric:
            fail("column \"" + def.name + "\" of " + tableWhat + ": Numeric is not supported");
        default:
            column.flags |= fmt::columnflag::kFixed;
            column.length = def.type == ColumnType::Bool ? 1 : static_cast<std::uint16_t>(fixedSize(def.type));
            break;
        }
        if (def.autoNumber) {
            if (def.type != ColumnType::Long)
                fail("column \"" + def.name + "\" of " + tableWhat + ": only a Long column can be an autonumber");
            column.flags |= fmt::columnflag::kAutoLong;
        }
        if (isVariable(def.type)) {
            column.varIndex = plan.numVarCols++;
        } else if (def.type != ColumnType::Bool) {
            column.fixedOffset = static_cast<std::uint16_t>(plan.fixedSize);
            plan.fixedSize += fixedSize(def.type);
        }
        plan.columns.push_back(std::move(column));
    }
    return plan;
}

Bytes tdefBuffer(const TablePlan& plan)
{
    const auto& layout = fmt::kJet4Tdef;
    Bytes buffer(layout.blockEnd, 0);
    buffer[0] = static_cast<std::uint8_t>(fmt::PageType::TableDef);
    buffer[1] = fmt::kPageMarker;
    put32(buffer, fmt::tdef::kJet4ConstantOffset, fmt::tdef::kJet4Constant);
    put32(buffer, layout.numRowsOffset, plan.numRows);
    put32(buffer, layout.autoNumberOffset, plan.lastAutoNumber);
    buffer[fmt::tdef::kJet4AutoNumberFlagOffset] = 0x01;
    buffer[layout.tableTypeOffset] = plan.system ? fmt::tdef::kSystemTable : fmt::tdef::kUserTable;
    const auto columnCount = static_cast<std::uint16_t>(plan.columns.size());
    put16(buffer, layout.maxColsOffset, columnCount);
    put16(buffer, layout.numVarColsOffset, plan.numVarCols);
    put16(buffer, layout.numColsOffset, columnCount);
    put32(buffer, layout.usedPagesOffset, plan.ownedMap);
    put32(buffer, layout.freePagesOffset, plan.freeMap);

    for (const ColumnPlan& column : plan.columns) {
        Bytes descriptor(layout.columnSize, 0);
        descriptor[layout.colTypeOffset] = static_cast<std::uint8_t>(column.def.type);
        put32(descriptor, fmt::tdef::kJet4ColumnConstantOffset, fmt::tdef::kJet4Constant);
        put16(descriptor, layout.colNumberOffset, column.number);
        put16(descriptor, layout.colVarIndexOffset, column.varIndex);
        put16(descriptor, layout.colNumber2Offset, column.number);
        const bool text = column.def.type == ColumnType::Text || column.def.type == ColumnType::Memo;
        if (text) {
            put16(descriptor, layout.colSortOrderOffset, fmt::header::kLcidGeneral);
            descriptor[fmt::tdef::kJet4ColumnMiscFlagsOffset] = fmt::columnflag::kCompressedUnicode;
        }
        descriptor[layout.colFlagsOffset] = column.flags;
        put16(descriptor, layout.colFixedOffsetOffset, column.fixedOffset);
        put16(descriptor, layout.colLengthOffset, column.length);
        buffer.insert(buffer.end(), descriptor.begin(), descriptor.end());
    }
    for (const ColumnPlan& column : plan.columns) {
        const std::u16string name = writertext::toUtf16(column.def.name);
        append16(buffer, static_cast<std::uint16_t>(2 * name.size()));
        for (char16_t unit : name)
            append16(buffer, static_cast<std::uint16_t>(unit));
    }
    for (const ColumnPlan& column : plan.columns) {
        if (!isLongValue(column.def.type))
            continue;
        append16(buffer, column.number);
        append32(buffer, column.ownedMap);
        append32(buffer, column.freeMap);
    }
    append16(buffer, fmt::tdef::kTerminator);
    put32(buffer, layout.lengthOffset, static_cast<std::uint32_t>(buffer.size()));
    return buffer;
}

std::size_t tdefPageCount(std::size_t length)
{
    const std::size_t continuation = kPageSize - fmt::kJet4Tdef.pageHeaderSize;
    return length <= kPageSize ? 1 : 1 + (length - kPageSize + continuation - 1) / continuation;
}

void writeTdef(PageFile& file, const TablePlan& plan)
{
    const Bytes buffer = tdefBuffer(plan);
    const std::size_t headerSize = fmt::kJet4Tdef.pageHeaderSize;
    std::size_t at = 0;
    for (std::size_t i = 0; i < plan.tdefPages.size(); ++i) {
        Bytes& page = file.raw(plan.tdefPages[i]);
        std::size_t used;
        if (i == 0) {
            used = std::min(buffer.size(), kPageSize);
            std::copy(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(used), page.begin());
            at = used;
        } else {
            const std::size_t chunk = std::min(buffer.size() - at, kPageSize - headerSize);
            page[0] = static_cast<std::uint8_t>(fmt::PageType::TableDef);
            page[1] = fmt::kPageMarker;
            std::copy(buffer.begin() + static_cast<std::ptrdiff_t>(at),
                buffer.begin() + static_cast<std::ptrdiff_t>(at + chunk), page.begin() + headerSize);
            at += chunk;
            used = headerSize + chunk;
        }
        const std::size_t free = used + 8 >= kPageSize ? 0 : kPageSize - used - 8;
        put16(page, fmt::tdef::kFreeSpaceOffset, static_cast<std::uint16_t>(free));
        put32(page, fmt::kJet4Tdef.nextPageOffset, i + 1 < plan.tdefPages.size() ? plan.tdefPages[i + 1] : 0);
    }
}

// ---- Values ---------------------------------------------------------------------------------

const char* typeName(ColumnType type)
{
    switch (type) {
    case ColumnType::Bool:
        return "Bool";
    case ColumnType::Byte:
        return "Byte";
    case ColumnType::Integer:
        return "Integer";
    case ColumnType::Long:
        return "Long";
    case ColumnType::Currency:
        return "Currency";
    case ColumnType::Single:
        return "Single";
    case ColumnType::Double:
        return "Double";
    case ColumnType::DateTime:
        return "DateTime";
    case ColumnType::Binary:
        return "Binary";
    case ColumnType::Text:
        return "Text";
    case ColumnType::OLE:
        return "OLE";
    case ColumnType::Memo:
        return "Memo";
    case ColumnType::GUID:
        return "GUID";
    case ColumnType::Numeric:
        return "Numeric";
    }
    return "?";
}

VarType expectedVarType(ColumnType type)
{
    switch (type) {
    case ColumnType::Bool:
        return VarType::Bool;
    case ColumnType::Byte:
        return VarType::UI1;
    case ColumnType::Integer:
        return VarType::I2;
    case ColumnType::Long:
        return VarType::I4;
    case ColumnType::Currency:
        return VarType::Currency;
    case ColumnType::Single:
        return VarType::R4;
    case ColumnType::Double:
        return VarType::R8;
    case ColumnType::DateTime:
        return VarType::Date;
    case ColumnType::Text:
    case ColumnType::Memo:
    case ColumnType::GUID:
        return VarType::BStr;
    case ColumnType::Binary:
    case ColumnType::OLE:
        return VarType::Binary;
    case ColumnType::Numeric:
        return VarType::Decimal;
    }
    return VarType::Empty;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "{00112233-4455-6677-8899-AABBCCDDEEFF}": the first three groups are stored little-endian.
std::optional<std::array<std::uint8_t, 16>> parseGuid(std::string_view text)
{
    if (text.size() != 38 || text.front() != '{' || text.back() != '}')
        return std::nullopt;
    std::array<std::uint8_t, 16> plain {};
    std::size_t digits = 0;
    for (std::size_t i = 1; i + 1 < text.size(); ++i) {
        if (i == 9 || i == 14 || i == 19 || i == 24) {
            if (text[i] != '-')
                return std::nullopt;
            continue;
        }
        const int digit = hexDigit(text[i]);
        if (digit < 0)
            return std::nullopt;
        plain[digits / 2] = static_cast<std::uint8_t>(plain[digits / 2] << 4 | digit);
        ++digits;
    }
    std::array<std::uint8_t, 16> stored = plain;
    std::reverse(stored.begin(), stored.begin() + 4);
    std::reverse(stored.begin() + 4, stored.begin() + 6);
    std::reverse(stored.begin() + 6, stored.begin() + 8);
    return stored;
}

class RowEncoder {
public:
    RowEncoder(PageFile& file, TablePlan& plan)
        : m_file(file)
        , m_plan(plan)
    {
    }

    Bytes encode(const Row& row, std::size_t rowIndex)
    {
        const Table& table = *m_plan.table;
        const std::string rowWhat = "row " + std::to_string(rowIndex) + " of table \"" + table.name + "\"";
        if (row.size() != m_plan.columns.size())
            fail(rowWhat + " has " + std::to_string(row.size()) + " values for " + std::to_string(m_plan.columns.size())
                + " columns");

        const std::size_t columnCount = m_plan.columns.size();
        Bytes out(2 + m_plan.fixedSize, 0);
        put16(out, 0, static_cast<std::uint16_t>(columnCount));
        Bytes nullMask(fmt::nullMaskSize(columnCount), 0);
        std::vector<std::uint16_t> varOffsets(m_plan.numVarCols, 0);

        for (ColumnPlan& column : m_plan.columns) {
            const Value& value = row[column.number];
            const std::string where = rowWhat + ", column \"" + column.def.name + "\"";
            if (isVariable(column.def.type))
                varOffsets[column.varIndex] = static_cast<std::uint16_t>(out.size());
            if (value.isNull()) {
                if (column.def.type == ColumnType::Bool)
                    fail(where + ": a Bool column cannot hold NULL");
                continue;
            }
            if (value.type() != expectedVarType(column.def.type))
                fail(where + ": the value does not match the column type " + typeName(column.def.type));
            const bool present = encodeValue(column, value, out, where);
            if (present)
                nullMask[column.number / 8] |= static_cast<std::uint8_t>(1u << (column.number % 8));
        }

        if (m_plan.numVarCols > 0) {
            append16(out, static_cast<std::uint16_t>(out.size())); // end of the variable data
            for (std::size_t i = m_plan.numVarCols; i-- > 0;)
                append16(out, varOffsets[i]);
            append16(out, m_plan.numVarCols);
        }
        out.insert(out.end(), nullMask.begin(), nullMask.end());
        if (out.size() > w::kJet4MaxRowBytes)
            fail(rowWhat + " takes " + std::to_string(out.size()) + " bytes, more than the 4060 a row can hold");
        return out;
    }

private:
    // Returns whether the null-mask bit is set.
    bool encodeValue(ColumnPlan& column, const Value& value, Bytes& out, const std::string& where)
    {
        const std::size_t at = 2 + column.fixedOffset;
        switch (column.def.type) {
        case ColumnType::Bool:
            return value.get<bool>();
        case ColumnType::Byte:
            out[at] = value.get<std::uint8_t>();
            break;
        case ColumnType::Integer:
            put16(out, at, static_cast<std::uint16_t>(value.get<std::int16_t>()));
            break;
        case ColumnType::Long: {
            const std::int32_t number = value.get<std::int32_t>();
            put32(out, at, static_cast<std::uint32_t>(number));
            if (column.def.autoNumber && number > 0)
                m_plan.lastAutoNumber = std::max(m_plan.lastAutoNumber, static_cast<std::uint32_t>(number));
            break;
        }
        case ColumnType::Currency:
            put64(out, at, static_cast<std::uint64_t>(value.get<Currency>().scaled));
            break;
        case ColumnType::Single:
            put32(out, at, std::bit_cast<std::uint32_t>(value.get<float>()));
            break;
        case ColumnType::Double:
            put64(out, at, std::bit_cast<std::uint64_t>(value.get<double>()));
            break;
        case ColumnType::DateTime:
            put64(out, at, std::bit_cast<std::uint64_t>(value.get<OleDate>().days));
            break;
        case ColumnType::GUID: {
            const auto guid = parseGuid(value.get<std::string>());
            if (!guid)
                fail(where + ": a GUID must look like {00112233-4455-6677-8899-AABBCCDDEEFF}");
            std::copy(guid->begin(), guid->end(), out.begin() + static_cast<std::ptrdiff_t>(at));
            break;
        }
        case ColumnType::Text: {
            const Bytes text = encodeText(value.get<std::string>(), where);
            if (text.size() > column.length)
                fail(where + ": the text is longer than " + std::to_string(column.def.textLength) + " characters");
            out.insert(out.end(), text.begin(), text.end());
            break;
        }
        case ColumnType::Binary: {
            const Bytes& bytes = value.get<Bytes>();
            if (bytes.size() > column.length)
                fail(where + ": the value is longer than " + std::to_string(column.length) + " bytes");
            out.insert(out.end(), bytes.begin(), bytes.end());
            break;
        }
        case ColumnType::Memo:
            appendLongValue(column, encodeText(value.get<std::string>(), where), out, where);
            break;
        case ColumnType::OLE:
            appendLongValue(column, value.get<Bytes>(), out, where);
            break;
        case ColumnType::Numeric:
            break; // rejected by planTable
        }
        return true;
    }

    static Bytes encodeText(const std::string& text, const std::string& where)
    {
        std::u16string units;
        try {
            units = writertext::toUtf16(text);
        } catch (const std::invalid_argument&) {
            fail(where + ": the text is not valid UTF-8");
        }
        // Stored as-is, such a value would start FF FE, which every reader takes for compressed text.
        if (!units.empty() && units.front() == u'\uFEFF')
            fail(where + ": a text cannot begin with U+FEFF");
        Bytes bytes;
        bytes.reserve(2 * units.size());
        for (char16_t unit : units)
            append16(bytes, static_cast<std::uint16_t>(unit));
        return bytes;
    }

    void appendLongValue(ColumnPlan& column, const Bytes& data, Bytes& out, const std::string& where)
    {
        if (data.size() > w::kMaxLongValueBytes)
            fail(where + ": the value is longer than 16 MB");
        Bytes header(fmt::memo::kHeaderSize, 0);
        put32(header, 0, static_cast<std::uint32_t>(data.size()));
        if (data.size() <= fmt::memo::kMaxInlineBytes) {
            header[fmt::memo::kTypeOffset] = fmt::memo::kInline;
            out.insert(out.end(), header.begin(), header.end());
            out.insert(out.end(), data.begin(), data.end());
            return;
        }
        if (data.size() <= fmt::memo::kJet4MaxSingleRowBytes) {
            header[fmt::memo::kTypeOffset] = fmt::memo::kSingleRow;
            put32(header, fmt::memo::kPointerOffset, m_file.placeRow(column.lvalPages, kLvalOwner, data));
        } else {
            header[fmt::memo::kTypeOffset] = fmt::memo::kChain;
            const std::size_t chunkSize = fmt::memo::kJet4MaxChunkBytes;
            std::vector<std::uint32_t> pointers;
            for (std::size_t at = 0; at < data.size(); at += chunkSize) {
                const std::size_t length = std::min(chunkSize, data.size() - at);
                Bytes chunk(fmt::memo::kChainLinkSize, 0);
                chunk.insert(chunk.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                    data.begin() + static_cast<std::ptrdiff_t>(at + length));
                pointers.push_back(m_file.placeRow(column.lvalPages, kLvalOwner, std::move(chunk)));
            }
            for (std::size_t i = 0; i + 1 < pointers.size(); ++i)
                put32(m_file.row(pointers[i]), 0, pointers[i + 1]);
            put32(header, fmt::memo::kPointerOffset, pointers.front());
        }
        out.insert(out.end(), header.begin(), header.end());
    }

    PageFile& m_file;
    TablePlan& m_plan;
};

void writeRows(PageFile& file, TablePlan& plan)
{
    RowEncoder encoder(file, plan);
    const auto owner = littleEndian32(plan.firstTdefPage);
    const std::vector<Row>& rows = plan.table->rows;
    if (rows.size() > std::numeric_limits<std::uint32_t>::max())
        fail("table \"" + plan.table->name + "\" has too many rows");
    for (std::size_t i = 0; i < rows.size(); ++i)
        file.placeRow(plan.dataPages, owner, encoder.encode(rows[i], i));
    plan.numRows = static_cast<std::uint32_t>(rows.size());
}

// ---- Usage maps -----------------------------------------------------------------------------

class UsageMaps {
public:
    explicit UsageMaps(PageFile& file, std::uint32_t firstMapPage)
        : m_file(file)
        , m_mapPages { firstMapPage }
    {
    }

    // A map row listing exactly `pages` (ascending); `start` is the first page of an empty one.
    std::uint32_t add(const std::vector<std::uint32_t>& pages, std::uint32_t start)
    {
        Bytes row(kUsageMapRowSize, 0);
        if (pages.empty() || pages.back() - pages.front() < kInlineMapPages) {
            const std::uint32_t first = pages.empty() ? start : pages.front();
            row[0] = fmt::usagemap::kInline;
            put32(row, fmt::usagemap::kInlineStartOffset, first);
            for (std::uint32_t page : pages) {
                const std::uint32_t bit = page - first;
                row[fmt::usagemap::kInlineBitmapOffset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
            }
        } else {
            row[0] = fmt::usagemap::kReference;
            std::vector<std::uint32_t> bitmapPages(fmt::usagemap::kJet4ReferencePages, 0);
            for (std::uint32_t page : pages) {
                const std::size_t slot = page / kBitmapPagePages;
                if (slot >= bitmapPages.size())
                    fail("a table reaches beyond the pages a usage map can describe");
                if (bitmapPages[slot] == 0) {
                    bitmapPages[slot] = m_file.addRawPage();
                    Bytes& bitmap = m_file.raw(bitmapPages[slot]);
                    bitmap[0] = static_cast<std::uint8_t>(fmt::PageType::UsageBitmap);
                    bitmap[1] = fmt::kPageMarker;
                }
                const std::size_t bit = page - slot * kBitmapPagePages;
                m_file.raw(bitmapPages[slot])[fmt::usagemap::kBitmapPageHeaderSize + bit / 8]
                    |= static_cast<std::uint8_t>(1u << (bit % 8));
            }
            for (std::size_t k = 0; k < bitmapPages.size(); ++k)
                put32(row, fmt::usagemap::kReferencePagesOffset + 4 * k, bitmapPages[k]);
        }
        return m_file.placeRow(m_mapPages, kDataOwnerNone, std::move(row));
    }

private:
    PageFile& m_file;
    std::vector<std::uint32_t> m_mapPages;
};

void addMaps(UsageMaps& maps, TablePlan& plan)
{
    plan.ownedMap = maps.add(plan.dataPages, plan.firstTdefPage);
    plan.freeMap = maps.add({}, plan.firstTdefPage);
    for (ColumnPlan& column : plan.columns) {
        if (!isLongValue(column.def.type))
            continue;
        column.ownedMap = maps.add(column.lvalPages, plan.firstTdefPage);
        column.freeMap = maps.add({}, plan.firstTdefPage);
    }
}

// Page 1: the free pages of the file, which here are only those past its end.
void writeGlobalMap(PageFile& file, std::uint32_t page)
{
    const std::size_t pages = file.pageCount();
    const std::size_t rowLimit = kEmptyPageFree - 2 * 2 - kUsageMapRowSize - fmt::usagemap::kInlineBitmapOffset;
    std::size_t bitmapBytes = fmt::usagemap::kJet4InlineBitmapBytes;
    if (pages > w::kJet4InlineGlobalMapPages)
        bitmapBytes = std::min((pages + 255) / 256 * 32, rowLimit);
    Bytes free(fmt::usagemap::kInlineBitmapOffset + bitmapBytes, 0);
    for (std::size_t bit = pages; bit < bitmapBytes * 8; ++bit)
        free[fmt::usagemap::kInlineBitmapOffset + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
    std::vector<std::uint32_t> pagesOfMap { page };
    file.placeRow(pagesOfMap, kGlobalMapOwner, std::move(free));
    file.placeRow(pagesOfMap, kGlobalMapOwner, Bytes(kUsageMapRowSize, 0));
}

// ---- Catalog --------------------------------------------------------------------------------

Table catalogTable(const std::vector<TablePlan>& userTables, OleDate created)
{
    Table catalog;
    catalog.name = "MSysObjects";
    catalog.columns = {
        { "Id", ColumnType::Long },
        { "ParentId", ColumnType::Long },
        { "Name", ColumnType::Text, 255 },
        { "Type", ColumnType::Integer },
        { "DateCreate", ColumnType::DateTime },
        { "DateUpdate", ColumnType::DateTime },
        { "Owner", ColumnType::Binary, 510 },
        { "Flags", ColumnType::Long },
        { "Database", ColumnType::Memo },
        { "Connect", ColumnType::Memo },
        { "ForeignName", ColumnType::Text, 255 },
        { "RmtInfoShort", ColumnType::Binary, 510 },
        { "RmtInfoLong", ColumnType::OLE },
        { "Lv", ColumnType::OLE },
        { "LvProp", ColumnType::OLE },
        { "LvModule", ColumnType::OLE },
        { "LvExtra", ColumnType::OLE },
    };
    auto add
        = [&](std::uint32_t id, std::uint32_t parent, const std::string& name, std::int16_t type, std::uint32_t flags) {
              Row row(catalog.columns.size(), Value::null());
              row[0] = Value(static_cast<std::int32_t>(id));
              row[1] = Value(static_cast<std::int32_t>(parent));
              row[2] = Value(name);
              row[3] = Value(type);
              row[4] = Value(created);
              row[5] = Value(created);
              row[7] = Value(static_cast<std::int32_t>(flags));
              catalog.rows.push_back(std::move(row));
          };
    const std::uint32_t system = w::kSystemObjectFlags;
    add(w::kTablesId, fmt::catalog::kTablesParentId, "Tables", w::kTypeContainer, system);
    add(w::kDatabasesId, fmt::catalog::kTablesParentId, "Databases", w::kTypeContainer, system);
    add(w::kRelationshipsId, fmt::catalog::kTablesParentId, "Relationships", w::kTypeContainer, system);
    add(w::kMSysDbId, w::kDatabasesId, "MSysDb", w::kTypeDatabase, system);
    add(fmt::kCatalogTdefPage, w::kTablesId, "MSysObjects", fmt::catalog::kTypeTable, system);
    for (const TablePlan& plan : userTables)
        add(plan.firstTdefPage, w::kTablesId, plan.table->name, fmt::catalog::kTypeTable, 0);
    return catalog;
}

// ---- Header ---------------------------------------------------------------------------------

void writeHeader(Bytes& page, const WriterOptions& options, const std::u16string& password)
{
    namespace h = fmt::header;
    page[0] = static_cast<std::uint8_t>(fmt::PageType::Header);
    page[1] = fmt::kPageMarker;
    std::copy(h::kMagic.begin(), h::kMagic.end(), page.begin() + h::kMagicOffset);
    put32(page, h::kVersionOffset, h::kVersionJet4);
    std::copy(h::kJet4ConstantBlock.begin(), h::kJet4ConstantBlock.end(), page.begin() + h::kJet4ConstantBlockOffset);
    put16(page, h::kCodePageOffset, h::kCodePage1252);
    put32(page, h::kDatabaseKeyOffset, 0); // non-zero would mean every page is encoded
    // Every password byte, the padding too, is XORed with the integral creation date.
    const auto mask = littleEndian32(static_cast<std::uint32_t>(static_cast<std::int32_t>(options.creationDate.days)));
    for (std::size_t i = 0; i < h::kJet4PasswordLength; ++i) {
        std::uint8_t byte = 0;
        if (i / 2 < password.size())
            byte = static_cast<std::uint8_t>(password[i / 2] >> (i % 2 == 0 ? 0 : 8));
        page[h::kPasswordOffset + i] = byte ^ mask[i % 4];
    }
    put32(page, h::kJet4BuildOffset, h::kJet4Build);
    put16(page, h::kJet4SortOrderOffset, h::kLcidGeneral);
    put64(page, h::kCreationDateOffset, std::bit_cast<std::uint64_t>(options.creationDate.days));
    rc4Apply(h::kRc4Key, std::span(page).subspan(h::kMaskOffset, h::kJet4MaskLength));
    std::copy(h::kTrailer.begin(), h::kTrailer.end(), page.begin() + h::kTrailerOffset);
}

std::u16string checkedPassword(const std::string& password)
{
    std::u16string units;
    try {
        units = writertext::toUtf16(password);
    } catch (const std::invalid_argument&) {
        fail("the password is not valid UTF-8");
    }
    if (units.size() > w::kJet4MaxPasswordChars)
        fail("the password is longer than 20 characters");
    return units;
}

void checkOptions(const WriterOptions& options)
{
    const double days = options.creationDate.days;
    // The password mask is the integral part of the date as a 32-bit number.
    if (!std::isfinite(days) || days < 0 || days >= 2147483648.0)
        fail("the creation date is out of range");
}

} // namespace

std::vector<std::uint8_t> WriteJet4(const std::vector<Table>& tables, const WriterOptions& options)
{
    checkOptions(options);
    const std::u16string password = checkedPassword(options.password);

    std::vector<TablePlan> plans;
    std::vector<std::string> seen { caseFolded("MSysObjects") };
    for (const Table& table : tables) {
        checkedName(table.name, "a table name");
        std::string folded = caseFolded(table.name);
        if (std::find(seen.begin(), seen.end(), folded) != seen.end())
            fail("the table name \"" + table.name + "\" is used twice or is reserved");
        seen.push_back(std::move(folded));
        plans.push_back(planTable(table, false));
    }

    PageFile file;
    file.addRawPage(); // the header, written over the rendered file
    const std::uint32_t globalMapPage = file.addRowPage(kGlobalMapOwner); // filled once the page count is known
    const std::uint32_t catalogTdef = file.addRawPage();
    const std::uint32_t firstMapPage = file.addRowPage(kDataOwnerNone);

    for (TablePlan& plan : plans) {
        const std::size_t count = tdefPageCount(tdefBuffer(plan).size());
        for (std::size_t i = 0; i < count; ++i)
            plan.tdefPages.push_back(file.addRawPage());
        plan.firstTdefPage = plan.tdefPages.front();
        writeRows(file, plan);
    }

    // The catalog lists the TDEF pages, so its rows come after the user tables.
    const Table catalog = catalogTable(plans, options.creationDate);
    TablePlan catalogPlan = planTable(catalog, true);
    catalogPlan.tdefPages = { catalogTdef };
    catalogPlan.firstTdefPage = catalogTdef;
    if (tdefPageCount(tdefBuffer(catalogPlan).size()) != 1)
        fail("the catalog does not fit its page");
    writeRows(file, catalogPlan);

    UsageMaps maps(file, firstMapPage);
    addMaps(maps, catalogPlan);
    for (TablePlan& plan : plans)
        addMaps(maps, plan);

    writeTdef(file, catalogPlan);
    for (const TablePlan& plan : plans)
        writeTdef(file, plan);

    writeGlobalMap(file, globalMapPage);
    Bytes bytes = file.render();
    writeHeader(bytes, options, password);
    return bytes;
}

void WriteJet4File(const std::filesystem::path& path, const std::vector<Table>& tables, const WriterOptions& options)
{
    const Bytes bytes = WriteJet4(tables, options);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        throw std::system_error(errno, std::generic_category(), "cannot create " + path.string());
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw std::system_error(errno, std::generic_category(), "cannot write " + path.string());
}

} // namespace questionbank::jet
