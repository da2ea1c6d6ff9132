#pragma once

// Constants and layout offsets of the Jet 3 (Access 97) and Jet 4 (Access 2000) file formats,
// named once for the reader and the writer. All integers in the file are little-endian.

#include "questionbank/Schema.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace questionbank::jet::format {

// ---- Pages ----------------------------------------------------------------------------------

inline constexpr std::size_t kJet4PageSize = 4096;
inline constexpr std::size_t kJet3PageSize = 2048;

// Byte 0 of every page.
enum class PageType : std::uint8_t {
    Header = 0x00, // page 0, the database definition
    Data = 0x01, // table rows, LVAL rows and usage-map rows
    TableDef = 0x02,
    IndexNode = 0x03,
    IndexLeaf = 0x04,
    UsageBitmap = 0x05,
};
// Byte 1 of every page.
inline constexpr std::uint8_t kPageMarker = 0x01;

// Access databases cannot grow beyond 2 GB; a larger file is not one.
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t { 2 } << 30;

// The catalog table MSysObjects always has its table definition on this page.
inline constexpr std::uint32_t kCatalogTdefPage = 2;

// A row pointer packs the page number in the upper 3 bytes and the row number in the low byte.
constexpr std::uint32_t rowPointer(std::uint32_t page, std::uint8_t row)
{
    return (page << 8) | row;
}
constexpr std::uint32_t rowPointerPage(std::uint32_t pointer)
{
    return pointer >> 8;
}
constexpr std::uint8_t rowPointerRow(std::uint32_t pointer)
{
    return static_cast<std::uint8_t>(pointer & 0xFF);
}

// ---- Page 0: database definition -----------------------------------------------------------

namespace header {
inline constexpr std::size_t kMagicOffset = 0x04; // "Standard Jet DB" + NUL
inline constexpr std::array<char, 16> kMagic
    = { 'S', 't', 'a', 'n', 'd', 'a', 'r', 'd', ' ', 'J', 'e', 't', ' ', 'D', 'B', '\0' };
inline constexpr std::size_t kVersionOffset = 0x14; // u32
inline constexpr std::uint32_t kVersionJet3 = 0;
inline constexpr std::uint32_t kVersionJet4 = 1;

// The region 0x18.. is obfuscated with RC4 under this key (equivalent to XOR with a fixed mask).
inline constexpr std::array<std::uint8_t, 4> kRc4Key = { 0xC7, 0xDA, 0x39, 0x6B };
inline constexpr std::size_t kMaskOffset = 0x18;
inline constexpr std::size_t kJet4MaskLength = 128;
inline constexpr std::size_t kJet3MaskLength = 126;

// Offsets below are file offsets into the decoded header.
inline constexpr std::size_t kJet4ConstantBlockOffset = 0x18; // 24 constant bytes
inline constexpr std::array<std::uint8_t, 24> kJet4ConstantBlock = { 0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00,
    0x02, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00, 0x04, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00 };
inline constexpr std::size_t kJet3SortOrderOffset = 0x3A; // u16
inline constexpr std::size_t kCodePageOffset = 0x3C; // u16
inline constexpr std::size_t kDatabaseKeyOffset = 0x3E; // u32; non-zero means every page is RC4-encoded
inline constexpr std::size_t kPasswordOffset = 0x42;
inline constexpr std::size_t kJet4PasswordLength = 40; // UCS-2LE, XOR-ed with the creation-date mask
inline constexpr std::size_t kJet3PasswordLength = 20; // code-page bytes
inline constexpr std::size_t kJet4BuildOffset = 0x6A; // u32, readers ignore it
inline constexpr std::uint32_t kJet4Build = 8618;
inline constexpr std::size_t kJet4SortOrderOffset = 0x6E; // u16 LCID, u8 0, u8 sort version
inline constexpr std::size_t kCreationDateOffset = 0x72; // double, OLE date (Jet 4)
inline constexpr std::size_t kTrailerOffset = 0x98; // 8 constant bytes after the obfuscated region
inline constexpr std::array<std::uint8_t, 8> kTrailer = { 0x54, 0x06, 0x00, 0x00, 0x34, 0x2E, 0x30, 0x00 };

inline constexpr std::uint16_t kCodePage1252 = 1252;
inline constexpr std::uint16_t kCodePage936 = 936;
inline constexpr std::uint16_t kLcidGeneral = 0x0409;
inline constexpr std::uint16_t kLcidChinesePrc = 0x0804;
} // namespace header

// ---- Column types and flags ----------------------------------------------------------------

// The column types carry the file format's type codes (questionbank/Schema.h).
using ColumnTypeCode = questionbank::ColumnType;

namespace columnflag {
inline constexpr std::uint8_t kFixed = 0x01;
inline constexpr std::uint8_t kNullable = 0x02; // always set
inline constexpr std::uint8_t kAutoLong = 0x04;
inline constexpr std::uint8_t kSystem = 0x10;
inline constexpr std::uint8_t kAutoGuid = 0x40;
inline constexpr std::uint8_t kHyperlink = 0x80;
inline constexpr std::uint8_t kCompressedUnicode = 0x01; // the Jet 4 misc-flags byte
} // namespace columnflag

// Length of the fixed-width column types in the fixed area of a row (Bool takes none).
constexpr std::size_t fixedLength(ColumnTypeCode type)
{
    switch (type) {
    case ColumnTypeCode::Bool:
        return 0;
    case ColumnTypeCode::Byte:
        return 1;
    case ColumnTypeCode::Integer:
        return 2;
    case ColumnTypeCode::Long:
        return 4;
    case ColumnTypeCode::Currency:
        return 8;
    case ColumnTypeCode::Single:
        return 4;
    case ColumnTypeCode::Double:
        return 8;
    case ColumnTypeCode::DateTime:
        return 8;
    case ColumnTypeCode::GUID:
        return 16;
    case ColumnTypeCode::Numeric:
        return 17;
    default:
        return 0;
    }
}

// ---- Table definition (TDEF) ---------------------------------------------------------------

struct TdefLayout {
    std::size_t pageHeaderSize; // continuation pages carry this header, then the next bytes
    std::size_t nextPageOffset; // u32
    std::size_t lengthOffset; // u32 tdef_len
    std::size_t numRowsOffset; // u32
    std::size_t autoNumberOffset; // u32
    std::size_t tableTypeOffset; // u8
    std::size_t maxColsOffset; // u16
    std::size_t numVarColsOffset; // u16
    std::size_t numColsOffset; // u16
    std::size_t numIndexesOffset; // u32 logical indexes
    std::size_t numRealIndexesOffset; // u32
    std::size_t usedPagesOffset; // u32 row pointer to the owned-pages map
    std::size_t freePagesOffset; // u32 row pointer to the free-space map
    std::size_t blockEnd; // first byte after the fixed header
    std::size_t realIndexEntrySize; // per real index, before the columns
    // Column descriptor
    std::size_t columnSize;
    std::size_t colTypeOffset; // u8
    std::size_t colNumberOffset; // u16
    std::size_t colVarIndexOffset; // u16
    std::size_t colNumber2Offset; // u16
    std::size_t colSortOrderOffset; // u16 (Jet 3: sort order, Jet 4: Text LCID; Numeric: precision, scale)
    std::size_t colPrecisionOffset; // u8, Numeric
    std::size_t colScaleOffset; // u8, Numeric
    std::size_t colFlagsOffset; // u8
    std::size_t colFixedOffsetOffset; // u16
    std::size_t colLengthOffset; // u16
    std::size_t nameLengthSize; // 1 (Jet 3, code page bytes) or 2 (Jet 4, UCS-2LE bytes)
    std::size_t realIndexDefSize; // after the column names
    std::size_t logicalIndexDefSize;
};

inline constexpr TdefLayout kJet4Tdef = {
    .pageHeaderSize = 8,
    .nextPageOffset = 4,
    .lengthOffset = 8,
    .numRowsOffset = 16,
    .autoNumberOffset = 20,
    .tableTypeOffset = 40,
    .maxColsOffset = 41,
    .numVarColsOffset = 43,
    .numColsOffset = 45,
    .numIndexesOffset = 47,
    .numRealIndexesOffset = 51,
    .usedPagesOffset = 55,
    .freePagesOffset = 59,
    .blockEnd = 63,
    .realIndexEntrySize = 12,
    .columnSize = 25,
    .colTypeOffset = 0,
    .colNumberOffset = 5,
    .colVarIndexOffset = 7,
    .colNumber2Offset = 9,
    .colSortOrderOffset = 11,
    .colPrecisionOffset = 11,
    .colScaleOffset = 12,
    .colFlagsOffset = 15,
    .colFixedOffsetOffset = 21,
    .colLengthOffset = 23,
    .nameLengthSize = 2,
    .realIndexDefSize = 52,
    .logicalIndexDefSize = 28,
};

inline constexpr TdefLayout kJet3Tdef = {
    .pageHeaderSize = 8,
    .nextPageOffset = 4,
    .lengthOffset = 8,
    .numRowsOffset = 12,
    .autoNumberOffset = 16,
    .tableTypeOffset = 20,
    .maxColsOffset = 21,
    .numVarColsOffset = 23,
    .numColsOffset = 25,
    .numIndexesOffset = 27,
    .numRealIndexesOffset = 31,
    .usedPagesOffset = 35,
    .freePagesOffset = 39,
    .blockEnd = 43,
    .realIndexEntrySize = 8,
    .columnSize = 18,
    .colTypeOffset = 0,
    .colNumberOffset = 1,
    .colVarIndexOffset = 3,
    .colNumber2Offset = 5,
    .colSortOrderOffset = 7,
    .colPrecisionOffset = 9,
    .colScaleOffset = 10,
    .colFlagsOffset = 13,
    .colFixedOffsetOffset = 14,
    .colLengthOffset = 16,
    .nameLengthSize = 1,
    .realIndexDefSize = 39,
    .logicalIndexDefSize = 20,
};

namespace tdef {
inline constexpr std::size_t kFreeSpaceOffset = 2; // Jet 4: u16 free space; Jet 3: the word "VC"
inline constexpr std::array<char, 2> kJet3Id = { 'V', 'C' };
inline constexpr std::size_t kJet4ConstantOffset = 12; // u32 1625
inline constexpr std::uint32_t kJet4Constant = 1625;
inline constexpr std::size_t kJet4AutoNumberFlagOffset = 24; // 0x01
inline constexpr std::size_t kJet4ColumnConstantOffset = 1; // u32 1625 in each column descriptor
inline constexpr std::size_t kJet4ColumnMiscFlagsOffset = 16;
inline constexpr std::uint8_t kUserTable = 0x4E;
inline constexpr std::uint8_t kSystemTable = 0x53;
inline constexpr std::uint16_t kTerminator = 0xFFFF;
// Per Memo/OLE column after the index sections: u16 column number, u32 owned map, u32 free map.
inline constexpr std::size_t kLongValueMapEntrySize = 10;
} // namespace tdef

// ---- Data pages ----------------------------------------------------------------------------

struct DataPageLayout {
    std::size_t freeSpaceOffset; // u16
    std::size_t tdefPageOffset; // u32, "LVAL" on long-value pages
    std::size_t numRowsOffset; // u16
    std::size_t rowOffsetsOffset; // u16 per row
};

inline constexpr DataPageLayout kJet4DataPage = { 2, 4, 12, 14 };
inline constexpr DataPageLayout kJet3DataPage = { 2, 4, 8, 10 };

namespace datapage {
inline constexpr std::array<char, 4> kLvalMarker = { 'L', 'V', 'A', 'L' };
inline constexpr std::uint16_t kOffsetMask = 0x1FFF;
// Flag bits of a row offset. Jet marks a deleted row with 0x8000 and a row that only holds a
// row pointer to its moved (overflow) copy with 0x4000.
inline constexpr std::uint16_t kDeletedFlag = 0x8000;
inline constexpr std::uint16_t kOverflowFlag = 0x4000;
inline constexpr std::size_t kMaxRowsPerPage = 255;
} // namespace datapage

// ---- Rows ----------------------------------------------------------------------------------

// Jet 4: u16 column count, fixed area, variable data, u16 EOD, u16 var offsets in reverse order,
// u16 var count, null mask. Jet 3: the same with u8 fields plus a jump table (one byte per 256
// bytes of row) between the var offsets and the var count.
struct RowLayout {
    std::size_t countSize; // column count, var count, EOD and var offsets
    bool hasJumpTable;
};
inline constexpr RowLayout kJet4Row = { 2, false };
inline constexpr RowLayout kJet3Row = { 1, true };

constexpr std::size_t nullMaskSize(std::size_t columnCount)
{
    return (columnCount + 7) / 8;
}

// ---- Long values (Memo, OLE) ---------------------------------------------------------------

namespace memo {
inline constexpr std::size_t kHeaderSize = 12;
inline constexpr std::size_t kLengthSize = 3; // u24 at 0
inline constexpr std::size_t kTypeOffset = 3; // u8
inline constexpr std::size_t kPointerOffset = 4; // u32 row pointer
inline constexpr std::uint8_t kInline = 0x80;
inline constexpr std::uint8_t kSingleRow = 0x40;
inline constexpr std::uint8_t kChain = 0x00;
inline constexpr std::size_t kChainLinkSize = 4; // each chained LVAL row starts with the next row pointer
inline constexpr std::size_t kMaxInlineBytes = 64;
inline constexpr std::size_t kJet4MaxSingleRowBytes = 4076;
inline constexpr std::size_t kJet4MaxChunkBytes = 4072;
} // namespace memo

// ---- Usage maps ----------------------------------------------------------------------------

namespace usagemap {
inline constexpr std::uint8_t kInline = 0x00; // u8 type, u32 start page, bitmap
inline constexpr std::uint8_t kReference = 0x01; // u8 type, u32 page numbers of type-0x05 pages
inline constexpr std::size_t kInlineStartOffset = 1;
inline constexpr std::size_t kInlineBitmapOffset = 5;
inline constexpr std::size_t kReferencePagesOffset = 1;
inline constexpr std::size_t kBitmapPageHeaderSize = 4; // 05 01 00 00
inline constexpr std::size_t kJet4RowSize = 69;
inline constexpr std::size_t kJet4InlineBitmapBytes = 64;
inline constexpr std::size_t kJet4ReferencePages = 17;
inline constexpr std::size_t kJet3RowSize = 133;
inline constexpr std::size_t kJet3InlineBitmapBytes = 128;
inline constexpr std::size_t kJet3ReferencePages = 33;
// Pages covered by one type-0x05 bitmap page.
constexpr std::size_t pagesPerBitmapPage(std::size_t pageSize)
{
    return (pageSize - kBitmapPageHeaderSize) * 8;
}
} // namespace usagemap

// ---- Text ----------------------------------------------------------------------------------

namespace text {
// A Jet 4 value starting with these bytes is compressed: one byte per character 0x00xx, and a
// 0x00 byte switches between that and plain UCS-2LE.
inline constexpr std::uint8_t kCompressedMarker0 = 0xFF;
inline constexpr std::uint8_t kCompressedMarker1 = 0xFE;
} // namespace text

// ---- Catalog (MSysObjects) -----------------------------------------------------------------

namespace catalog {
inline constexpr std::int16_t kTypeTable = 1;
inline constexpr std::int16_t kTypeMask = 0x7F;
inline constexpr std::uint32_t kIdPageMask = 0x00FFFFFF;
inline constexpr std::uint32_t kSystemFlags = 0x80000002;
inline constexpr std::uint32_t kTablesParentId = 0x0F000000;
} // namespace catalog

} // namespace questionbank::jet::format

// ---- Writer only ----------------------------------------------------------------------------

namespace questionbank::jet::format::writer {
inline constexpr std::size_t kJet4MaxRowBytes = 4060; // the largest row Jet itself writes
inline constexpr std::size_t kMaxNameChars = 64;      // table and column names
inline constexpr std::size_t kJet4MaxPasswordChars = 20;
inline constexpr std::size_t kMaxTextChars = 255;
inline constexpr std::size_t kMaxBinaryBytes = 510;
inline constexpr std::size_t kMaxLongValueBytes = 0xFFFFFF; // the memo length field has three bytes
inline constexpr std::uint32_t kGlobalMapOwner = 1;         // bytes 4-7 of page 1 in Access files
inline constexpr std::uint32_t kJet4InlineGlobalMapPages = 512;

// The catalog rows Jet writes into an empty database (besides MSysObjects itself).
inline constexpr std::uint32_t kTablesId = 0x0F000001;
inline constexpr std::uint32_t kDatabasesId = 0x0F000002;
inline constexpr std::uint32_t kRelationshipsId = 0x0F000003;
inline constexpr std::uint32_t kMSysDbId = 0x10000000;
inline constexpr std::int16_t kTypeDatabase = 2;
inline constexpr std::int16_t kTypeContainer = 3;
inline constexpr std::uint32_t kSystemObjectFlags = 0x80000000;
} // namespace questionbank::jet::format::writer
