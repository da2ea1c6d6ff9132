#include "questionbank/jet/JetReader.h"

#include "questionbank/jet/FieldCodec.h"
#include "questionbank/jet/JetFormat.h"
#include "questionbank/jet/Rc4.h"
#include "questionbank/jet/TextCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace questionbank::jet {

namespace {

namespace fmt = format;
using ByteSpan = std::span<const std::uint8_t>;

[[noreturn]] void fail(const std::string& what)
{
    throw FormatError(what);
}

bool fits(ByteSpan data, std::size_t offset, std::size_t length)
{
    return offset <= data.size() && length <= data.size() - offset;
}

ByteSpan slice(ByteSpan data, std::size_t offset, std::size_t length, const char* what)
{
    if (!fits(data, offset, length))
        fail(std::string(what) + " lies outside its page");
    return data.subspan(offset, length);
}

std::uint8_t readU8(ByteSpan data, std::size_t offset)
{
    if (offset >= data.size())
        fail("field outside the page");
    return data[offset];
}

std::uint16_t readU16(ByteSpan data, std::size_t offset)
{
    if (!fits(data, offset, 2))
        fail("field outside the page");
    return static_cast<std::uint16_t>(data[offset] | (data[offset + 1] << 8));
}

std::uint32_t readU32(ByteSpan data, std::size_t offset)
{
    if (!fits(data, offset, 4))
        fail("field outside the page");
    return static_cast<std::uint32_t>(data[offset]) | (static_cast<std::uint32_t>(data[offset + 1]) << 8)
        | (static_cast<std::uint32_t>(data[offset + 2]) << 16) | (static_cast<std::uint32_t>(data[offset + 3]) << 24);
}

std::uint64_t readU64(ByteSpan data, std::size_t offset)
{
    return static_cast<std::uint64_t>(readU32(data, offset))
        | (static_cast<std::uint64_t>(readU32(data, offset + 4)) << 32);
}

// Reads a 1- or 2-byte count, as Jet 3 and Jet 4 rows store them.
std::size_t readCount(ByteSpan data, std::size_t offset, std::size_t size)
{
    return size == 1 ? readU8(data, offset) : readU16(data, offset);
}

bool equalsIgnoringLatinCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::optional<ColumnType> knownColumnType(std::uint8_t code)
{
    switch (static_cast<fmt::ColumnTypeCode>(code)) {
    case fmt::ColumnTypeCode::Bool:
    case fmt::ColumnTypeCode::Byte:
    case fmt::ColumnTypeCode::Integer:
    case fmt::ColumnTypeCode::Long:
    case fmt::ColumnTypeCode::Currency:
    case fmt::ColumnTypeCode::Single:
    case fmt::ColumnTypeCode::Double:
    case fmt::ColumnTypeCode::DateTime:
    case fmt::ColumnTypeCode::Binary:
    case fmt::ColumnTypeCode::Text:
    case fmt::ColumnTypeCode::OLE:
    case fmt::ColumnTypeCode::Memo:
    case fmt::ColumnTypeCode::GUID:
    case fmt::ColumnTypeCode::Numeric:
        return static_cast<ColumnType>(code);
    }
    return std::nullopt;
}

struct ColumnInfo {
    ColumnDef def;
    std::uint8_t typeCode = 0;
    bool known = false; // a type this reader decodes; others come out as raw bytes
    bool fixed = false;
    std::uint16_t number = 0;
    std::uint16_t varIndex = 0;
    std::uint16_t fixedOffset = 0;
    std::uint16_t length = 0;
    std::uint8_t scale = 0;
};

struct TableDef {
    std::uint32_t tdefPage = 0;
    std::size_t numVarCols = 0;
    std::uint32_t usedPages = 0; // row pointer to the owned-pages map
    std::vector<ColumnInfo> columns;
};

struct CatalogEntry {
    std::string name;
    std::uint32_t tdefPage = 0;
    bool system = false;
};

struct RowSlot {
    std::size_t start = 0;
    std::size_t end = 0;
    std::uint16_t flags = 0;
};

// Row pointers already followed: one bit for each pointer the file could hold (256 a page), so
// that a table of 100,000 memos costs no allocation or hashing per row.
class RowPointerSet {
public:
    explicit RowPointerSet(std::size_t pageCount)
        : m_pageCount(pageCount)
    {
    }
    // False when the pointer was followed before. A pointer past the file is not kept: the caller's
    // rowAt refuses it.
    bool insert(std::uint32_t pointer)
    {
        if (fmt::rowPointerPage(pointer) >= m_pageCount)
            return true;
        if (m_words.empty())
            m_words.assign(m_pageCount * (256 / 64), 0);
        std::uint64_t& word = m_words[pointer / 64];
        const std::uint64_t bit = std::uint64_t(1) << (pointer % 64);
        if (word & bit)
            return false;
        word |= bit;
        return true;
    }

private:
    std::size_t m_pageCount;
    std::vector<std::uint64_t> m_words; // allocated on the first insert
};

// Per-read state, so that decoding a table does not allocate per row beyond the values.
struct DecodeContext {
    explicit DecodeContext(std::size_t pageCount)
        : usedLongValueRows(pageCount)
        , usedOverflowTargets(pageCount)
    {
    }
    std::optional<CodePageDecoder> codePage;
    std::vector<std::size_t> varOffsets;
    std::vector<std::uint8_t> longValue;
    // Every long-value row belongs to one value; a row reached twice is a loop or a shared row,
    // and refusing both keeps a table's text within what the file holds.
    RowPointerSet usedLongValueRows;
    // Likewise every moved row has one pointer row.
    RowPointerSet usedOverflowTargets;
};

} // namespace

struct JetFile::Impl {
    std::vector<std::uint8_t> bytes;
    JetVersion version = JetVersion::Jet4;
    std::size_t pageSize = fmt::kJet4PageSize;
    std::size_t pageCount = 0;
    std::uint16_t codePage = fmt::header::kCodePage1252;
    std::string password;
    std::vector<CatalogEntry> catalog;

    bool jet4() const { return version == JetVersion::Jet4; }
    const fmt::TdefLayout& tdefLayout() const { return jet4() ? fmt::kJet4Tdef : fmt::kJet3Tdef; }
    const fmt::DataPageLayout& dataLayout() const { return jet4() ? fmt::kJet4DataPage : fmt::kJet3DataPage; }
    std::size_t countSize() const { return jet4() ? fmt::kJet4Row.countSize : fmt::kJet3Row.countSize; }

    ByteSpan page(std::uint64_t number) const
    {
        if (number >= pageCount)
            fail("page " + std::to_string(number) + " is beyond the end of the file");
        return ByteSpan(bytes).subspan(static_cast<std::size_t>(number) * pageSize, pageSize);
    }

    void parseHeader();
    void decodePages(std::uint32_t databaseKey);
    void readCatalog();
    TableDef readTableDef(std::uint32_t tdefPage) const;
    std::vector<bool> ownedPages(const TableDef& table) const;
    RowSlot rowSlot(ByteSpan data, std::size_t index) const;
    ByteSpan rowAt(std::uint32_t pointer, std::uint16_t* flags = nullptr) const;
    ByteSpan longValue(ByteSpan field, DecodeContext& context) const;
    Value decodeValue(const ColumnInfo& column, ByteSpan field, DecodeContext& context) const;
    void decodeRow(const TableDef& table, ByteSpan row, std::span<const std::size_t> wanted, DecodeContext& context,
        Row& out) const;
    template <typename Sink>
    void forEachRow(
        const TableDef& table, std::span<const std::size_t> wanted, DecodeContext& context, Sink&& sink) const;
    std::string text(ByteSpan data, DecodeContext& context) const;
};

void JetFile::Impl::parseHeader()
{
    ByteSpan all(bytes);
    if (all.size() < fmt::header::kMaskOffset + fmt::header::kJet4MaskLength || all[0] != 0
        || !std::equal(
            fmt::header::kMagic.begin(), fmt::header::kMagic.end() - 1, all.begin() + fmt::header::kMagicOffset))
        fail("not a Jet database");
    const std::uint32_t versionField = readU32(all, fmt::header::kVersionOffset);
    if (versionField == fmt::header::kVersionJet3) {
        version = JetVersion::Jet3;
        pageSize = fmt::kJet3PageSize;
    } else if (versionField == fmt::header::kVersionJet4) {
        version = JetVersion::Jet4;
        pageSize = fmt::kJet4PageSize;
    } else {
        fail("unsupported Jet version " + std::to_string(versionField));
    }
    if (all.size() % pageSize != 0)
        fail("the file is not a whole number of pages");
    pageCount = all.size() / pageSize;
    if (pageCount <= fmt::kCatalogTdefPage)
        fail("the file ends before the catalog");

    const std::size_t maskLength = jet4() ? fmt::header::kJet4MaskLength : fmt::header::kJet3MaskLength;
    std::vector<std::uint8_t> header(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(pageSize));
    rc4Apply(fmt::header::kRc4Key, std::span(header).subspan(fmt::header::kMaskOffset, maskLength));
    const ByteSpan decoded(header);

    codePage = readU16(decoded, fmt::header::kCodePageOffset);
    const ByteSpan stored = decoded.subspan(
        fmt::header::kPasswordOffset, jet4() ? fmt::header::kJet4PasswordLength : fmt::header::kJet3PasswordLength);
    if (jet4()) {
        // Each byte is XOR-ed with the whole days of the creation date, as 4 little-endian bytes.
        const double created = std::bit_cast<double>(readU64(decoded, fmt::header::kCreationDateOffset));
        std::uint32_t days = 0;
        if (std::isfinite(created) && created > -2147483648.0 && created < 2147483648.0)
            days = static_cast<std::uint32_t>(static_cast<std::int32_t>(std::trunc(created)));
        std::vector<std::uint8_t> plain(stored.begin(), stored.end());
        for (std::size_t i = 0; i < plain.size(); ++i)
            plain[i] ^= static_cast<std::uint8_t>(days >> (8 * (i % 4)));
        std::size_t length = 0;
        if (plain.size() >= 2 && plain[0] == fmt::text::kCompressedMarker0
            && plain[1] == fmt::text::kCompressedMarker1) {
            length = std::find(plain.begin() + 2, plain.end(), 0) - plain.begin();
        } else {
            while (length + 1 < plain.size() && (plain[length] != 0 || plain[length + 1] != 0))
                length += 2;
        }
        password = decodeJet4Text(ByteSpan(plain).first(length));
    } else {
        const auto end = std::find(stored.begin(), stored.end(), 0);
        password = CodePageDecoder(codePage).decode(ByteSpan(stored.begin(), end));
    }

    const std::uint32_t databaseKey = readU32(decoded, fmt::header::kDatabaseKeyOffset);
    if (databaseKey != 0)
        decodePages(databaseKey);
}

void JetFile::Impl::decodePages(std::uint32_t databaseKey)
{
    for (std::size_t number = 1; number < pageCount; ++number) {
        const std::uint32_t key = databaseKey ^ static_cast<std::uint32_t>(number);
        const std::array<std::uint8_t, 4> keyBytes
            = { static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                  static_cast<std::uint8_t>(key >> 16), static_cast<std::uint8_t>(key >> 24) };
        rc4Apply(keyBytes, std::span(bytes).subspan(number * pageSize, pageSize));
    }
}

std::string JetFile::Impl::text(ByteSpan data, DecodeContext& context) const
{
    if (jet4())
        return decodeJet4Text(data);
    if (!context.codePage)
        context.codePage.emplace(codePage);
    return context.codePage->decode(data);
}

TableDef JetFile::Impl::readTableDef(std::uint32_t tdefPage) const
{
    const auto& layout = tdefLayout();
    // The definition may continue over further pages; each adds its bytes after the page header.
    std::vector<std::uint8_t> buffer;
    std::vector<bool> seen(pageCount, false);
    std::uint64_t current = tdefPage;
    while (true) {
        const ByteSpan data = page(current);
        if (data[0] != static_cast<std::uint8_t>(fmt::PageType::TableDef))
            fail("page " + std::to_string(current) + " is not a table definition");
        if (seen[current])
            fail("the table definition pages form a loop");
        seen[current] = true;
        const auto from
            = buffer.empty() ? data.begin() : data.begin() + static_cast<std::ptrdiff_t>(layout.pageHeaderSize);
        buffer.insert(buffer.end(), from, data.end());
        current = readU32(data, layout.nextPageOffset);
        if (current == 0)
            break;
    }
    const ByteSpan def(buffer);

    TableDef table;
    table.tdefPage = tdefPage;
    table.numVarCols = readU16(def, layout.numVarColsOffset);
    table.usedPages = readU32(def, layout.usedPagesOffset);
    const std::size_t numCols = readU16(def, layout.numColsOffset);
    const std::uint64_t numRealIndexes = readU32(def, layout.numRealIndexesOffset);
    if (numRealIndexes > def.size())
        fail("implausible index count in a table definition");
    std::size_t offset = layout.blockEnd + static_cast<std::size_t>(numRealIndexes) * layout.realIndexEntrySize;

    table.columns.reserve(std::min<std::size_t>(numCols, def.size() / layout.columnSize));
    for (std::size_t i = 0; i < numCols; ++i, offset += layout.columnSize) {
        const ByteSpan desc = slice(def, offset, layout.columnSize, "a column descriptor");
        ColumnInfo column;
        column.typeCode = desc[layout.colTypeOffset];
        column.number = readU16(desc, layout.colNumberOffset);
        column.varIndex = readU16(desc, layout.colVarIndexOffset);
        column.fixedOffset = readU16(desc, layout.colFixedOffsetOffset);
        column.length = readU16(desc, layout.colLengthOffset);
        column.scale = desc[layout.colScaleOffset];
        const std::uint8_t flags = desc[layout.colFlagsOffset];
        column.fixed = (flags & fmt::columnflag::kFixed) != 0;
        const auto type = knownColumnType(column.typeCode);
        column.known = type.has_value();
        column.def.type = type.value_or(ColumnType::Binary);
        if (column.def.type == ColumnType::Text)
            column.def.textLength = static_cast<std::uint16_t>(jet4() ? column.length / 2 : column.length);
        column.def.autoNumber = column.def.type == ColumnType::Long && (flags & fmt::columnflag::kAutoLong) != 0;
        table.columns.push_back(std::move(column));
    }
    DecodeContext context(pageCount);
    for (auto& column : table.columns) {
        const std::size_t length = readCount(def, offset, layout.nameLengthSize);
        offset += layout.nameLengthSize;
        column.def.name = text(slice(def, offset, length, "a column name"), context);
        offset += length;
    }
    std::stable_sort(table.columns.begin(), table.columns.end(),
        [](const ColumnInfo& a, const ColumnInfo& b) { return a.number < b.number; });
    return table;
}

RowSlot JetFile::Impl::rowSlot(ByteSpan data, std::size_t index) const
{
    const auto& layout = dataLayout();
    const std::size_t numRows = readU16(data, layout.numRowsOffset);
    const std::size_t tableEnd = layout.rowOffsetsOffset + 2 * numRows;
    if (index >= numRows || numRows > fmt::datapage::kMaxRowsPerPage || tableEnd > pageSize)
        fail("row number outside the page's row table");
    const std::uint16_t raw = readU16(data, layout.rowOffsetsOffset + 2 * index);
    RowSlot slot;
    slot.flags = raw & static_cast<std::uint16_t>(~fmt::datapage::kOffsetMask);
    slot.start = raw & fmt::datapage::kOffsetMask;
    // Rows are packed downwards: a row ends where the one before it starts.
    slot.end = index == 0 ? pageSize
                          : (readU16(data, layout.rowOffsetsOffset + 2 * (index - 1)) & fmt::datapage::kOffsetMask);
    if (slot.start < tableEnd || slot.start > slot.end || slot.end > pageSize) {
        if (slot.flags & fmt::datapage::kDeletedFlag)
            return RowSlot { 0, 0, slot.flags }; // a deleted row's offsets do not matter
        fail("a row lies outside its page");
    }
    return slot;
}

ByteSpan JetFile::Impl::rowAt(std::uint32_t pointer, std::uint16_t* flags) const
{
    const ByteSpan data = page(fmt::rowPointerPage(pointer));
    if (data[0] != static_cast<std::uint8_t>(fmt::PageType::Data))
        fail("a row pointer leads to a page that holds no rows");
    const RowSlot slot = rowSlot(data, fmt::rowPointerRow(pointer));
    if (flags)
        *flags = slot.flags;
    return data.subspan(slot.start, slot.end - slot.start);
}

std::vector<bool> JetFile::Impl::ownedPages(const TableDef& table) const
{
    const ByteSpan map = rowAt(table.usedPages);
    if (map.empty())
        fail("a table's usage map is empty");
    std::vector<bool> owned(pageCount, false);
    auto markBits = [&](ByteSpan bitmap, std::uint64_t firstPage) {
        for (std::size_t i = 0; i < bitmap.size(); ++i) {
            if (bitmap[i] == 0)
                continue;
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((bitmap[i] & (1u << bit)) == 0)
                    continue;
                const std::uint64_t number = firstPage + 8 * i + bit;
                // Pages past the end mean the file was cut short: rows would go missing unnoticed.
                if (number >= pageCount)
                    fail("a table owns page " + std::to_string(number) + ", beyond the end of the file");
                owned[static_cast<std::size_t>(number)] = true;
            }
        }
    };
    switch (map[0]) {
    case fmt::usagemap::kInline:
        markBits(map.subspan(std::min(map.size(), fmt::usagemap::kInlineBitmapOffset)),
            readU32(map, fmt::usagemap::kInlineStartOffset));
        break;
    case fmt::usagemap::kReference: {
        const std::size_t perPage = fmt::usagemap::pagesPerBitmapPage(pageSize);
        for (std::size_t k = 0; fmt::usagemap::kReferencePagesOffset + 4 * (k + 1) <= map.size(); ++k) {
            const std::uint32_t mapPage = readU32(map, fmt::usagemap::kReferencePagesOffset + 4 * k);
            if (mapPage == 0)
                continue;
            const ByteSpan bitmapPage = page(mapPage);
            if (bitmapPage[0] != static_cast<std::uint8_t>(fmt::PageType::UsageBitmap))
                fail("a usage map refers to a page that is not a usage bitmap");
            markBits(bitmapPage.subspan(fmt::usagemap::kBitmapPageHeaderSize), static_cast<std::uint64_t>(k) * perPage);
        }
        break;
    }
    default:
        fail("unknown usage map type");
    }
    return owned;
}

ByteSpan JetFile::Impl::longValue(ByteSpan field, DecodeContext& context) const
{
    if (field.size() < fmt::memo::kHeaderSize)
        fail("a memo field is shorter than its header");
    const std::size_t length = field[0] | (field[1] << 8) | (field[2] << 16);
    const std::uint8_t type = field[fmt::memo::kTypeOffset];
    const std::uint32_t pointer = readU32(field, fmt::memo::kPointerOffset);
    switch (type) {
    case fmt::memo::kInline:
        return slice(field, fmt::memo::kHeaderSize, length, "an inline memo");
    case fmt::memo::kSingleRow: {
        if (!context.usedLongValueRows.insert(pointer))
            fail("a long-value row is used twice");
        const ByteSpan row = rowAt(pointer);
        if (length > row.size())
            fail("a memo is longer than its long-value row");
        return row.first(length);
    }
    case fmt::memo::kChain: {
        auto& out = context.longValue;
        out.clear();
        // The length field is not trusted for the allocation: the chain must hold the bytes.
        out.reserve(std::min(length, bytes.size()));
        std::uint32_t next = pointer;
        while (out.size() < length) {
            if (next == 0)
                fail("a memo's long-value chain ends early");
            if (!context.usedLongValueRows.insert(next))
                fail("a long-value row is used twice (a loop or a shared chain)");
            const ByteSpan row = rowAt(next);
            if (row.size() < fmt::memo::kChainLinkSize)
                fail("a long-value row is too short");
            next = readU32(row, 0);
            const ByteSpan chunk = row.subspan(fmt::memo::kChainLinkSize);
            const std::size_t take = std::min(chunk.size(), length - out.size());
            out.insert(out.end(), chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(take));
        }
        return ByteSpan(out);
    }
    default:
        fail("unknown memo storage type");
    }
}

Value JetFile::Impl::decodeValue(const ColumnInfo& column, ByteSpan field, DecodeContext& context) const
{
    if (!column.known)
        return Value(Bytes(field.begin(), field.end()));
    auto need = [&](std::size_t size) {
        if (field.size() < size)
            fail("column '" + column.def.name + "' holds too few bytes");
    };
    switch (column.def.type) {
    case ColumnType::Bool:
        return Value(true);
    case ColumnType::Byte:
        need(1);
        return Value(field[0]);
    case ColumnType::Integer:
        need(2);
        return Value(static_cast<std::int16_t>(readU16(field, 0)));
    case ColumnType::Long:
        need(4);
        return Value(static_cast<std::int32_t>(readU32(field, 0)));
    case ColumnType::Currency:
        need(8);
        return Value(Currency { static_cast<std::int64_t>(readU64(field, 0)) });
    case ColumnType::Single:
        need(4);
        return Value(std::bit_cast<float>(readU32(field, 0)));
    case ColumnType::Double:
        need(8);
        return Value(std::bit_cast<double>(readU64(field, 0)));
    case ColumnType::DateTime:
        need(8);
        return Value(OleDate { std::bit_cast<double>(readU64(field, 0)) });
    case ColumnType::GUID:
        need(16);
        return Value(guidText(field.first<16>()));
    case ColumnType::Numeric:
        need(17);
        return Value(Decimal { numericText(field.first<17>(), column.scale) });
    case ColumnType::Binary:
        return Value(Bytes(field.begin(), field.end()));
    case ColumnType::Text:
        return Value(text(field, context));
    case ColumnType::Memo:
        if (field.empty())
            return Value(std::string());
        return Value(text(longValue(field, context), context));
    case ColumnType::OLE: {
        if (field.empty())
            return Value(Bytes());
        const ByteSpan data = longValue(field, context);
        return Value(Bytes(data.begin(), data.end()));
    }
    }
    return Value(Bytes(field.begin(), field.end()));
}

void JetFile::Impl::decodeRow(
    const TableDef& table, ByteSpan row, std::span<const std::size_t> wanted, DecodeContext& context, Row& out) const
{
    const std::size_t cs = countSize();
    const std::size_t rowSize = row.size();
    const std::size_t columnCount = readCount(row, 0, cs);
    const std::size_t maskSize = fmt::nullMaskSize(columnCount);
    if (maskSize + cs > rowSize)
        fail("a row is shorter than its null mask");
    const std::size_t maskStart = rowSize - maskSize;

    // Offsets of the variable columns; entry varCount is the end of the variable data.
    std::size_t varCount = 0;
    auto& offsets = context.varOffsets;
    offsets.clear();
    if (table.numVarCols > 0) {
        if (maskStart < 2 * cs)
            fail("a row is too short for its variable columns");
        varCount = readCount(row, maskStart - cs, cs);
        if (jet4()) {
            if (maskStart < cs + 2 * (varCount + 2))
                fail("a row is too short for its variable-column table");
            for (std::size_t i = 0; i <= varCount; ++i)
                offsets.push_back(readU16(row, maskStart - 4 - 2 * i));
        } else {
            // Offsets are single bytes; the jump table says where they pass each 256-byte mark.
            const std::size_t numJumps = (rowSize - 1) / 256;
            if (maskStart < cs + 1 + numJumps + (varCount + 1))
                fail("a row is too short for its variable-column table");
            const std::size_t jumpsEnd = maskStart - 1;
            const std::size_t tableEnd = jumpsEnd - numJumps;
            for (std::size_t i = 0; i <= varCount; ++i) {
                std::size_t offset = row[tableEnd - 1 - i];
                for (std::size_t j = 0; j < numJumps; ++j) {
                    if (row[jumpsEnd - 1 - j] <= i)
                        offset += 256;
                }
                offsets.push_back(offset);
            }
        }
    }

    out.clear();
    out.reserve(wanted.size());
    for (const std::size_t index : wanted) {
        const ColumnInfo& column = table.columns[index];
        const bool inRow = column.number < columnCount;
        const bool present = inRow && (row[maskStart + column.number / 8] & (1u << (column.number % 8))) != 0;
        if (column.def.type == ColumnType::Bool && column.known) {
            out.emplace_back(present);
            continue;
        }
        if (!present) {
            out.push_back(Value::null());
            continue;
        }
        ByteSpan field;
        if (column.fixed) {
            std::size_t length = column.length;
            if (column.known) {
                const std::size_t natural = fmt::fixedLength(static_cast<fmt::ColumnTypeCode>(column.typeCode));
                if (natural != 0)
                    length = natural;
            }
            field = slice(row.first(maskStart), cs + column.fixedOffset, length, "a fixed column");
        } else {
            if (column.varIndex >= varCount) {
                out.push_back(Value::null()); // the row predates the column
                continue;
            }
            const std::size_t start = offsets[column.varIndex];
            const std::size_t end = offsets[column.varIndex + 1];
            if (start > end || end > maskStart)
                fail("a variable column lies outside its row");
            field = row.subspan(start, end - start);
        }
        out.push_back(decodeValue(column, field, context));
    }
}

template <typename Sink>
void JetFile::Impl::forEachRow(
    const TableDef& table, std::span<const std::size_t> wanted, DecodeContext& context, Sink&& sink) const
{
    const std::vector<bool> owned = ownedPages(table);
    const auto& layout = dataLayout();
    Row row;
    for (std::size_t number = 0; number < pageCount; ++number) {
        if (!owned[number])
            continue;
        const ByteSpan data = page(number);
        if (data[0] != static_cast<std::uint8_t>(fmt::PageType::Data)
            || readU32(data, layout.tdefPageOffset) != table.tdefPage)
            fail("page " + std::to_string(number) + " is in a table's usage map but holds none of its rows");
        const std::size_t numRows = readU16(data, layout.numRowsOffset);
        for (std::size_t index = 0; index < numRows; ++index) {
            const RowSlot slot = rowSlot(data, index);
            // Deleted rows, and the moved copies of overflow rows, which their pointer row reaches.
            if (slot.flags & fmt::datapage::kDeletedFlag)
                continue;
            ByteSpan bytesOfRow = data.subspan(slot.start, slot.end - slot.start);
            if (slot.flags & fmt::datapage::kOverflowFlag) {
                // The moved copy carries the deleted bit; another pointer there would start a chase.
                std::uint16_t targetFlags = 0;
                const std::uint32_t target = readU32(bytesOfRow, 0);
                if (!context.usedOverflowTargets.insert(target))
                    fail("two overflow rows lead to the same row");
                bytesOfRow = rowAt(target, &targetFlags);
                if ((targetFlags & fmt::datapage::kOverflowFlag) && !(targetFlags & fmt::datapage::kDeletedFlag))
                    fail("an overflow row leads to another overflow row");
            }
            decodeRow(table, bytesOfRow, wanted, context, row);
            sink(row);
        }
    }
}

void JetFile::Impl::readCatalog()
{
    const TableDef objects = readTableDef(fmt::kCatalogTdefPage);
    auto find = [&](std::string_view name) -> std::size_t {
        for (std::size_t i = 0; i < objects.columns.size(); ++i) {
            if (equalsIgnoringLatinCase(objects.columns[i].def.name, name))
                return i;
        }
        fail("the catalog has no column " + std::string(name));
    };
    const std::array<std::size_t, 4> wanted = { find("Id"), find("Name"), find("Type"), find("Flags") };
    DecodeContext context(pageCount);
    forEachRow(objects, wanted, context, [&](const Row& row) {
        const auto* type = row[2].getIf<std::int16_t>();
        const auto* id = row[0].getIf<std::int32_t>();
        const auto* name = row[1].getIf<std::string>();
        if (!type || !id || !name || (*type & fmt::catalog::kTypeMask) != fmt::catalog::kTypeTable)
            return;
        const auto* flags = row[3].getIf<std::int32_t>();
        const std::uint32_t flagBits = flags ? static_cast<std::uint32_t>(*flags) : 0;
        catalog.push_back(CatalogEntry { *name, static_cast<std::uint32_t>(*id) & fmt::catalog::kIdPageMask,
            (flagBits & fmt::catalog::kSystemFlags) != 0 });
    });
}

JetFile::JetFile(std::unique_ptr<Impl> impl)
    : m_impl(std::move(impl))
{
}
JetFile::JetFile(JetFile&&) noexcept = default;
JetFile& JetFile::operator=(JetFile&&) noexcept = default;
JetFile::~JetFile() = default;

JetFile JetFile::open(const std::filesystem::path& path)
{
    auto systemError = [&path](int error) { return std::system_error(error, std::generic_category(), path.string()); };
    // Non-blocking, so that a FIFO in place of the file cannot hang the open; read-only always.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        throw systemError(errno);
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer { fd };
    struct stat info { };
    if (::fstat(fd, &info) != 0)
        throw systemError(errno);
    if (S_ISDIR(info.st_mode))
        throw systemError(EISDIR);
    if (!S_ISREG(info.st_mode))
        throw systemError(EINVAL);
    if (static_cast<std::uint64_t>(info.st_size) > fmt::kMaxFileSize)
        fail("the file is larger than a Jet database can be");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(info.st_size));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throw systemError(errno);
        if (got == 0)
            break; // shrank while we read: what we have is what the file holds now
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return fromBytes(std::move(bytes));
}

JetFile JetFile::fromBytes(std::vector<std::uint8_t> bytes)
{
    auto impl = std::make_unique<Impl>();
    impl->bytes = std::move(bytes);
    impl->parseHeader();
    impl->readCatalog();
    return JetFile(std::move(impl));
}

JetVersion JetFile::version() const
{
    return m_impl->version;
}

std::string JetFile::password() const
{
    return m_impl->password;
}

std::vector<std::string> JetFile::tableNames(bool includeSystemTables) const
{
    std::vector<std::string> names;
    for (const auto& entry : m_impl->catalog) {
        if (includeSystemTables || !entry.system)
            names.push_back(entry.name);
    }
    return names;
}

std::optional<std::string> JetFile::findTable(std::string_view name) const
{
    for (const auto& entry : m_impl->catalog) {
        if (equalsIgnoringLatinCase(entry.name, name))
            return entry.name;
    }
    return std::nullopt;
}

Table JetFile::readTable(std::string_view name) const
{
    const auto entry = std::find_if(m_impl->catalog.begin(), m_impl->catalog.end(),
        [&](const CatalogEntry& e) { return equalsIgnoringLatinCase(e.name, name); });
    if (entry == m_impl->catalog.end())
        throw std::out_of_range("no table named " + std::string(name));
    const TableDef def = m_impl->readTableDef(entry->tdefPage);
    Table table;
    table.name = entry->name;
    std::vector<std::size_t> wanted(def.columns.size());
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        wanted[i] = i;
        table.columns.push_back(def.columns[i].def);
    }
    DecodeContext context(m_impl->pageCount);
    m_impl->forEachRow(def, wanted, context, [&](Row& row) { table.rows.push_back(std::move(row)); });
    return table;
}

} // namespace questionbank::jet
