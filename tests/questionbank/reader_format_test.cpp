// The reader's pieces on small inputs: opening what is not a database, text and field decoding,
// the password in the header, and pages encoded with a database key.

#include "questionbank/jet/FieldCodec.h"
#include "questionbank/jet/JetFormat.h"
#include "questionbank/jet/JetReader.h"
#include "questionbank/jet/Rc4.h"
#include "questionbank/jet/TextCodec.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <limits>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

using namespace questionbank;
using namespace questionbank::jet;
namespace fmt = questionbank::jet::format;
namespace fs = std::filesystem;
using FileBytes = std::vector<std::uint8_t>;

const fs::path kCorpus = MARVOLEN_CORPUS_DIR;

FileBytes readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return FileBytes(std::istreambuf_iterator<char>(in), {});
}

class ScratchDir {
public:
    ScratchDir()
    {
        std::string pattern = (fs::temp_directory_path() / "marvolen-reader-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::system_error(errno, std::generic_category(), "mkdtemp");
        m_path = pattern;
    }
    ~ScratchDir()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// ---- Opening ---------------------------------------------------------------------------------

int errorCodeOf(const fs::path& path)
{
    try {
        (void)JetFile::open(path);
    } catch (const std::system_error& e) {
        return e.code().value();
    }
    return 0;
}

TEST(OpenFile, FileSystemProblemsRaiseSystemErrorWithTheCause)
{
    ScratchDir dir;
    ::mkfifo((dir.path() / "pipe").c_str(), 0600);
    EXPECT_EQ(errorCodeOf(dir.path() / "missing.mdb"), ENOENT);
    EXPECT_EQ(errorCodeOf(dir.path()), EISDIR);
    EXPECT_EQ(errorCodeOf(dir.path() / "pipe"), EINVAL); // and does not wait for a writer
    EXPECT_EQ(errorCodeOf(dir.path() / "missing" / "tovra.mdb"), ENOENT);
}

TEST(OpenFile, WhatIsNotAJetDatabaseRaisesFormatError)
{
    ScratchDir dir;
    const FileBytes bank = readFile(kCorpus / "generated/bank-jet4.mdb");
    const std::string text = "ID,testName\r\n1,abc\r\n";
    struct Case {
        const char* name;
        FileBytes bytes;
    };
    const Case cases[] = {
        { "empty", {} },
        { "text", FileBytes(text.begin(), text.end()) },
        { "zeros", FileBytes(3 * fmt::kJet4PageSize, 0) },
        { "header page only", FileBytes(bank.begin(), bank.begin() + fmt::kJet4PageSize) },
        { "not whole pages", FileBytes(bank.begin(), bank.end() - 1) },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path file = dir.path() / (std::string(c.name) + ".mdb");
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
        EXPECT_THROW((void)JetFile::open(file), FormatError);
        EXPECT_THROW((void)JetFile::fromBytes(c.bytes), FormatError);
    }
    // Refused before anything is read (a sparse file takes no disk space).
    const fs::path huge = dir.path() / "huge.mdb";
    std::ofstream(huge).put('\0');
    fs::resize_file(huge, fmt::kMaxFileSize + 1);
    EXPECT_THROW((void)JetFile::open(huge), FormatError);
}

TEST(OpenFile, UnreadableFileRaisesSystemError)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root reads every file";
    ScratchDir dir;
    const fs::path file = dir.path() / "locked.mdb";
    std::ofstream(file) << "x";
    fs::permissions(file, fs::perms::none);
    EXPECT_EQ(errorCodeOf(file), EACCES);
}

// ---- Text ------------------------------------------------------------------------------------

std::string jet4(std::initializer_list<int> bytes)
{
    FileBytes b;
    for (int v : bytes)
        b.push_back(static_cast<std::uint8_t>(v));
    return decodeJet4Text(b);
}

TEST(Jet4Text, PlainAndCompressedForms)
{
    struct Case {
        const char* name;
        std::string decoded;
        std::string expected;
    };
    const Case cases[] = {
        { "UTF-16LE", jet4({ 'A', 0, 0x2D, 0x4E }), "A\xE4\xB8\xAD" },
        { "empty", jet4({}), "" },
        { "compressed", jet4({ 0xFF, 0xFE, 'a', 'b', 0xE9 }), "ab\xC3\xA9" },
        { "compressed marker alone", jet4({ 0xFF, 0xFE }), "" },
        // A 0x00 byte switches to two bytes per character and back.
        { "compressed, then raw, then compressed", jet4({ 0xFF, 0xFE, 'A', 0, 0x2D, 0x4E, 0, 'B' }),
            "A\xE4\xB8\xAD"
            "B" },
        { "compressed ending in raw mode", jet4({ 0xFF, 0xFE, 0, 0x87, 0x65 }), "\xE6\x96\x87" },
        { "surrogate pair", jet4({ 0x40, 0xD8, 0x00, 0xDC }), "\xF0\xA0\x80\x80" },
        { "lone high surrogate", jet4({ 0x40, 0xD8, 'A', 0 }),
            "\xEF\xBF\xBD"
            "A" },
        { "lone low surrogate", jet4({ 0x00, 0xDC }), "\xEF\xBF\xBD" },
        { "odd last byte", jet4({ 'A', 0, 'B' }), "A\xEF\xBF\xBD" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.decoded, c.expected) << c.name;
}

TEST(CodePageText, DecodesTheFilesCodePageAndReplacesInvalidBytes)
{
    struct Case {
        std::uint16_t codePage;
        FileBytes bytes;
        std::string expected;
    };
    const Case cases[] = {
        { 1252, { 'a', 0x80, 0xE9, 0x9F }, "a\xE2\x82\xAC\xC3\xA9\xC5\xB8" },
        { 1252, { 0x81 }, "\xC2\x81" }, // unassigned: the C1 control, as Windows maps it
        { 936, { 0xD6, 0xD0, 0xCE, 0xC4 }, "\xE4\xB8\xAD\xE6\x96\x87" },
        { 936, { 'a', 0xFF, 'b' },
            "a\xEF\xBF\xBD"
            "b" },
        { 936, { 'a', 0xD6 }, "a\xEF\xBF\xBD" }, // a lead byte cut off at the end
        { 936, { 0xD6, 0x7F, 'c' },
            "\xEF\xBF\xBD\x7F"
            "c" },
        { 0xFFFF, { 'x', 0xE9 }, "x\xC3\xA9" }, // unknown code page: 1252
    };
    for (const auto& c : cases) {
        CodePageDecoder decoder(c.codePage);
        EXPECT_EQ(decoder.decode(c.bytes), c.expected) << "code page " << c.codePage;
        // The decoder keeps no state from one value to the next.
        EXPECT_EQ(decoder.decode(c.bytes), c.expected) << "code page " << c.codePage << ", again";
    }
}

TEST(CodePageText, LongInputGrowsTheOutput)
{
    FileBytes bytes;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        bytes.insert(bytes.end(), { 0xD6, 0xD0, 0xFF });
        expected += "\xE4\xB8\xAD\xEF\xBF\xBD";
    }
    EXPECT_EQ(CodePageDecoder(936).decode(bytes), expected);
}

// ---- Fields ----------------------------------------------------------------------------------

std::array<std::uint8_t, 17> numeric(bool negative, std::array<std::uint32_t, 4> words)
{
    std::array<std::uint8_t, 17> bytes {};
    bytes[0] = negative ? 0x80 : 0x00;
    for (std::size_t w = 0; w < 4; ++w) {
        for (std::size_t i = 0; i < 4; ++i)
            bytes[1 + 4 * w + i] = static_cast<std::uint8_t>(words[w] >> (8 * i));
    }
    return bytes;
}

TEST(NumericField, ExactDecimalText)
{
    struct Case {
        bool negative;
        std::array<std::uint32_t, 4> words; // most significant first
        unsigned scale;
        const char* expected;
    };
    const Case cases[] = {
        { false, { 0, 0, 0, 0 }, 0, "0" }, { true, { 0, 0, 0, 0 }, 4, "0" }, { false, { 0, 0, 0, 12345 }, 0, "12345" },
        { true, { 0, 0, 0, 12345 }, 2, "-123.45" }, { false, { 0, 0, 0, 10000 }, 4, "1" },
        { false, { 0, 0, 0, 12300 }, 4, "1.23" }, { false, { 0, 0, 0, 5 }, 3, "0.005" },
        { false, { 0, 0, 1, 0 }, 0, "4294967296" }, { false, { 1, 0, 0, 0 }, 0, "79228162514264337593543950336" },
        { false, { 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF }, 0, "340282366920938463463374607431768211455" },
        { true, { 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF }, 38, "-3.40282366920938463463374607431768211455" },
        { false, { 0, 0, 0, 7 }, 200, "0.000000000000000000000000000000000000007" }, // scale beyond 39 digits
    };
    for (const auto& c : cases)
        EXPECT_EQ(numericText(numeric(c.negative, c.words), c.scale), c.expected) << c.expected;
}

TEST(GuidField, BracedUpperCaseWithTheFirstThreeGroupsLittleEndian)
{
    const std::array<std::uint8_t, 16> bytes
        = { 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0xad, 0xbe, 0xef };
    EXPECT_EQ(guidText(bytes), "{03020100-0504-0706-0809-0A0B0CADBEEF}");
}

// ---- The header: password and database key ----------------------------------------------------

// Rewrites the password of a corpus file the way Jet stores it.
FileBytes withPassword(const char* corpusFile, const std::u16string& password, double creationDate)
{
    FileBytes file = readFile(kCorpus / corpusFile);
    const bool isJet4 = file[fmt::header::kVersionOffset] == fmt::header::kVersionJet4;
    const std::size_t length = isJet4 ? fmt::header::kJet4MaskLength : fmt::header::kJet3MaskLength;
    const std::span region(file.data() + fmt::header::kMaskOffset, length);
    rc4Apply(fmt::header::kRc4Key, region);
    std::uint8_t* stored = file.data() + fmt::header::kPasswordOffset;
    if (isJet4) {
        const auto dateBits = std::bit_cast<std::uint64_t>(creationDate);
        for (int i = 0; i < 8; ++i)
            file[fmt::header::kCreationDateOffset + i] = static_cast<std::uint8_t>(dateBits >> (8 * i));
        const auto days = std::isfinite(creationDate) && std::fabs(creationDate) < 2e9
            ? static_cast<std::uint32_t>(static_cast<std::int32_t>(creationDate))
            : 0u;
        for (std::size_t i = 0; i < fmt::header::kJet4PasswordLength; ++i) {
            const std::size_t unit = i / 2;
            const char16_t c = unit < password.size() ? password[unit] : u'\0';
            const auto plain = static_cast<std::uint8_t>(i % 2 == 0 ? c & 0xFF : c >> 8);
            stored[i] = plain ^ static_cast<std::uint8_t>(days >> (8 * (i % 4)));
        }
    } else {
        for (std::size_t i = 0; i < fmt::header::kJet3PasswordLength; ++i)
            stored[i] = i < password.size() ? static_cast<std::uint8_t>(password[i]) : 0;
    }
    rc4Apply(fmt::header::kRc4Key, region);
    return file;
}

TEST(Password, DecodedFromTheHeader)
{
    struct Case {
        const char* file;
        std::u16string password;
        double creationDate;
        std::string expected;
    };
    const Case cases[] = {
        { "generated/bank-jet4.mdb", u"", 45413.4375, "" },
        { "generated/bank-jet4.mdb", u"Abc123!@#xyz9", 45413.4375, "Abc123!@#xyz9" },
        // Twenty characters fill the area: no terminating zero.
        { "generated/bank-jet4.mdb", u"abcdefghijklmnopqrst", 45413.4375, "abcdefghijklmnopqrst" },
        { "generated/bank-jet4.mdb", u"密码mima", 44568.68, "\xE5\xAF\x86\xE7\xA0\x81mima" },
        // Dates before 1899-12-30 are negative; the mask is their whole days.
        { "generated/bank-jet4.mdb", u"old", -1000.25, "old" },
        // A damaged date must not make the conversion undefined.
        { "generated/bank-jet4.mdb", u"nan", std::numeric_limits<double>::quiet_NaN(), "nan" },
        { "generated/bank-jet4.mdb", u"huge", 1e300, "huge" },
        { "generated/bank-jet3-gbk.mdb", u"", 0, "" },
        { "generated/bank-jet3-gbk.mdb", u"abcdefghijklmnopqrst", 0, "abcdefghijklmnopqrst" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        const JetFile file = JetFile::fromBytes(withPassword(c.file, c.password, c.creationDate));
        EXPECT_EQ(file.password(), c.expected);
    }
}

TEST(DatabaseKey, PagesEncodedWithTheKeyReadTheSame)
{
    for (const char* name : { "generated/bank-jet4.mdb", "access/jackcess-testV1997.mdb" }) {
        SCOPED_TRACE(name);
        const FileBytes plain = readFile(kCorpus / name);
        FileBytes encoded = plain;
        const bool isJet4 = plain[fmt::header::kVersionOffset] == fmt::header::kVersionJet4;
        const std::size_t pageSize = isJet4 ? fmt::kJet4PageSize : fmt::kJet3PageSize;
        const std::uint32_t key = 0x12345678;
        const std::span region(encoded.data() + fmt::header::kMaskOffset,
            isJet4 ? fmt::header::kJet4MaskLength : fmt::header::kJet3MaskLength);
        rc4Apply(fmt::header::kRc4Key, region);
        for (int i = 0; i < 4; ++i)
            encoded[fmt::header::kDatabaseKeyOffset + i] = static_cast<std::uint8_t>(key >> (8 * i));
        rc4Apply(fmt::header::kRc4Key, region);
        for (std::size_t page = 1; page < encoded.size() / pageSize; ++page) {
            const std::uint32_t pageKey = key ^ static_cast<std::uint32_t>(page);
            const std::array<std::uint8_t, 4> keyBytes
                = { static_cast<std::uint8_t>(pageKey), static_cast<std::uint8_t>(pageKey >> 8),
                      static_cast<std::uint8_t>(pageKey >> 16), static_cast<std::uint8_t>(pageKey >> 24) };
            rc4Apply(keyBytes, std::span(encoded.data() + page * pageSize, pageSize));
        }

        const JetFile expected = JetFile::fromBytes(plain);
        const JetFile actual = JetFile::fromBytes(encoded);
        ASSERT_EQ(actual.tableNames(), expected.tableNames());
        for (const auto& table : expected.tableNames()) {
            EXPECT_EQ(actual.readTable(table).rows, expected.readTable(table).rows) << table;
        }
    }
}

// ---- Usage maps ------------------------------------------------------------------------------

std::uint32_t le32(const FileBytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8)
        | (static_cast<std::uint32_t>(b[at + 2]) << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// The file with every table's inline (type 0) owned-pages map turned into a reference (type 1)
// map: the bitmap moves to a usage-bitmap page appended to the file.
FileBytes withReferenceMaps(const FileBytes& original)
{
    FileBytes file = original;
    const bool isJet4 = file[fmt::header::kVersionOffset] == fmt::header::kVersionJet4;
    const std::size_t pageSize = isJet4 ? fmt::kJet4PageSize : fmt::kJet3PageSize;
    const auto& tdef = isJet4 ? fmt::kJet4Tdef : fmt::kJet3Tdef;
    const auto& data = isJet4 ? fmt::kJet4DataPage : fmt::kJet3DataPage;
    const std::size_t pages = original.size() / pageSize;
    for (std::size_t page = 0; page < pages; ++page) {
        if (original[page * pageSize] != static_cast<std::uint8_t>(fmt::PageType::TableDef))
            continue;
        const std::uint32_t pointer = le32(original, page * pageSize + tdef.usedPagesOffset);
        const std::size_t mapPage = fmt::rowPointerPage(pointer);
        const std::size_t mapRow = fmt::rowPointerRow(pointer);
        if (mapPage >= pages || original[mapPage * pageSize] != static_cast<std::uint8_t>(fmt::PageType::Data))
            continue; // a continuation page
        const std::size_t rowOffsets = mapPage * pageSize + data.rowOffsetsOffset;
        const std::size_t start = mapPage * pageSize
            + (static_cast<std::size_t>(
                   original[rowOffsets + 2 * mapRow] | (original[rowOffsets + 2 * mapRow + 1] << 8))
                & fmt::datapage::kOffsetMask);
        const std::size_t end = mapRow == 0 ? (mapPage + 1) * pageSize
                                            : mapPage * pageSize
                + (static_cast<std::size_t>(
                       original[rowOffsets + 2 * mapRow - 2] | (original[rowOffsets + 2 * mapRow - 1] << 8))
                    & fmt::datapage::kOffsetMask);
        if (file[start] != fmt::usagemap::kInline)
            continue;
        const std::size_t firstPage = le32(file, start + fmt::usagemap::kInlineStartOffset);

        const std::size_t bitmapPage = file.size() / pageSize;
        file.resize(file.size() + pageSize, 0);
        std::uint8_t* bitmap = file.data() + bitmapPage * pageSize;
        bitmap[0] = static_cast<std::uint8_t>(fmt::PageType::UsageBitmap);
        bitmap[1] = fmt::kPageMarker;
        for (std::size_t bit = 0; bit < (end - start - fmt::usagemap::kInlineBitmapOffset) * 8; ++bit) {
            if (file[start + fmt::usagemap::kInlineBitmapOffset + bit / 8] & (1u << (bit % 8))) {
                const std::size_t owned = firstPage + bit;
                bitmap[fmt::usagemap::kBitmapPageHeaderSize + owned / 8]
                    |= static_cast<std::uint8_t>(1u << (owned % 8));
            }
        }
        std::fill(
            file.begin() + static_cast<std::ptrdiff_t>(start), file.begin() + static_cast<std::ptrdiff_t>(end), 0);
        file[start] = fmt::usagemap::kReference;
        for (int i = 0; i < 4; ++i)
            file[start + fmt::usagemap::kReferencePagesOffset + i] = static_cast<std::uint8_t>(bitmapPage >> (8 * i));
    }
    return file;
}

TEST(UsageMap, ReferenceMapsReadLikeInlineMaps)
{
    for (const char* name :
        { "generated/bank-jet4.mdb", "generated/bank-jet3-gbk.mdb", "access/jackcess-testV1997.mdb" }) {
        SCOPED_TRACE(name);
        const FileBytes plain = readFile(kCorpus / name);
        const FileBytes converted = withReferenceMaps(plain);
        ASSERT_GT(converted.size(), plain.size());
        const JetFile expected = JetFile::fromBytes(plain);
        const JetFile actual = JetFile::fromBytes(converted);
        ASSERT_EQ(actual.tableNames(true), expected.tableNames(true));
        for (const auto& table : expected.tableNames(true)) {
            const auto rows = expected.readTable(table).rows;
            EXPECT_EQ(actual.readTable(table).rows, rows) << table;
        }
    }
}

} // namespace
