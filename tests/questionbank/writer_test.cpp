// The parts of a written file that the readers do not check, and the inputs the writer refuses.

#include "BankFixture.h"
#include "questionbank/jet/JetFormat.h"
#include "questionbank/jet/JetWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using questionbank::Bytes;
using questionbank::ColumnDef;
using questionbank::ColumnType;
using questionbank::OleDate;
using questionbank::Row;
using questionbank::Table;
using questionbank::Value;
using questionbank::jet::WriteJet4;
using questionbank::jet::WriterOptions;
namespace fmt = questionbank::jet::format;

constexpr std::size_t kPage = 4096;

std::uint16_t u16(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t u32(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(u16(bytes, at)) | static_cast<std::uint32_t>(u16(bytes, at + 2)) << 16;
}

TEST(JetWriterHeader, PasswordIsMaskedWithTheCreationDateAndObfuscated)
{
    // The vector checked against Access-made files: 2024-05-01 10:30 and "Abc123!@#xyz9".
    WriterOptions options;
    options.password = "Abc123!@#xyz9";
    options.creationDate = OleDate{45413.4375};
    const Bytes file = WriteJet4({}, options);
    const Bytes expected = {0xA2, 0x4A, 0x8E, 0x37, 0x5B, 0xF5, 0xAD, 0xFA};
    EXPECT_EQ(Bytes(file.begin() + 0x42, file.begin() + 0x4A), expected);
    EXPECT_EQ(file[0x14], 1) << "Jet 4";
    EXPECT_EQ(std::memcmp(file.data() + 4, "Standard Jet DB", 16), 0);
}

TEST(JetWriterHeader, SameInputGivesTheSameBytes)
{
    const auto tables = testsupport::BankBuilder()
                            .addTest("抑郁自评", {30, 20, 10, 0, std::nullopt}, {"高", "中", "低", "很低", std::nullopt})
                            .addQuestion(3, "抑郁自评", std::string(9000, 'x'), {})
                            .tables();
    WriterOptions options;
    options.password = "pw";
    EXPECT_EQ(WriteJet4(tables, options), WriteJet4(tables, options));
}

// Readers take a row's extent from the neighbouring offsets and never look at free_space or at the
// owner of a page, but Jet does: check every row page of a bank that spans thousands of pages.
TEST(JetWriterLayout, RowPagesArePackedAndOwnedByTheirTable)
{
    testsupport::BankBuilder builder;
    for (int test = 0; test < 400; ++test) {
        const std::string name = "测验" + std::to_string(test);
        builder.addTest(name, {1, 2, 3, 4, 5}, {std::string(100 + test * 30, 'e'), "", std::nullopt, "d", "e"});
        for (int question = 0; question < 100; ++question)
            builder.addQuestion(test * 100 + question, name, "问题" + std::to_string(question), {1, 2, 3, 4, 5});
    }
    const Bytes file = WriteJet4(builder.tables(), builder.options());
    ASSERT_EQ(file.size() % kPage, 0u);
    const std::size_t pages = file.size() / kPage;
    ASSERT_GT(pages, 512u);

    // Table pages grouped by the TDEF page they name; LVAL and usage-map pages name none.
    constexpr std::uint32_t kLval = 0x4C41564C;
    std::map<std::uint32_t, std::vector<std::size_t>> owned;
    for (std::size_t page = 1; page < pages; ++page) {
        const std::size_t base = page * kPage;
        ASSERT_EQ(file[base + 1], fmt::kPageMarker) << "page " << page;
        if (file[base] != static_cast<std::uint8_t>(fmt::PageType::Data))
            continue;
        const std::size_t rows = u16(file, base + 12);
        ASSERT_LE(rows, 255u);
        std::size_t end = kPage;
        std::size_t used = 0;
        for (std::size_t row = 0; row < rows; ++row) {
            const std::uint16_t start = u16(file, base + 14 + 2 * row);
            ASSERT_EQ(start & ~fmt::datapage::kOffsetMask, 0) << "no flag bits, page " << page;
            ASSERT_LT(start, end) << "page " << page << " row " << row;
            ASSERT_GE(start, 14 + 2 * rows);
            used += end - start + 2;
            end = start;
        }
        EXPECT_EQ(u16(file, base + 2), kPage - 14 - used) << "free space of page " << page;
        const std::uint32_t owner = u32(file, base + 4);
        if (owner != kLval && owner > 1)
            owned[owner].push_back(page);
    }
    ASSERT_EQ(owned.size(), 3u) << "MSysObjects, testname and testquestion";

    // Every owner is a table definition, and its owned-pages map is a reference map (type 1)
    // exactly when its pages span more than one inline map.
    for (const auto& [tdef, tablePages] : owned) {
        ASSERT_LT(tdef, pages);
        ASSERT_EQ(file[tdef * kPage], static_cast<std::uint8_t>(fmt::PageType::TableDef)) << "page " << tdef;
        EXPECT_EQ(u32(file, tdef * kPage + fmt::kJet4Tdef.numRowsOffset) > 0, true);
        const std::uint32_t ownedMap = u32(file, tdef * kPage + fmt::kJet4Tdef.usedPagesOffset);
        const std::size_t mapPage = fmt::rowPointerPage(ownedMap);
        const std::size_t mapRow = u16(file, mapPage * kPage + 14 + 2 * fmt::rowPointerRow(ownedMap));
        const std::uint8_t mapType = file[mapPage * kPage + mapRow];
        EXPECT_EQ(mapType,
                  tablePages.back() - tablePages.front() >= 512 ? fmt::usagemap::kReference : fmt::usagemap::kInline)
            << "table at page " << tdef;
    }
    EXPECT_GT(owned.rbegin()->second.size(), 512u) << "testquestion spans more than one inline map";
}

// ---- Refused input ----

struct BadInput {
    std::string name;
    std::vector<Table> tables;
    WriterOptions options;
};

Table oneColumn(ColumnDef column, std::vector<Row> rows = {})
{
    return Table{"t", {std::move(column)}, std::move(rows)};
}

std::vector<BadInput> badInputs()
{
    std::vector<BadInput> cases;
    auto add = [&](std::string name, std::vector<Table> tables, std::string password = "") {
        WriterOptions options;
        options.password = std::move(password);
        cases.push_back({std::move(name), std::move(tables), std::move(options)});
    };
    const ColumnDef text10{"x", ColumnType::Text, 10};
    add("LongForInteger", {oneColumn({"i", ColumnType::Integer}, {{Value(std::int32_t{1})}})});
    add("IntegerForLong", {oneColumn({"l", ColumnType::Long}, {{Value(std::int16_t{1})}})});
    add("NumberForMemo", {oneColumn({"m", ColumnType::Memo}, {{Value(std::int32_t{1})}})});
    add("EmptyValue", {oneColumn({"l", ColumnType::Long}, {{Value()}})});
    add("NullBool", {oneColumn({"b", ColumnType::Bool}, {{Value::null()}})});
    add("TextTooLong", {oneColumn(text10, {{Value("12345678901")}})});
    add("SurrogatePairsCountTwice", {oneColumn(text10, {{Value("𠀀𠀀𠀀𠀀𠀀x")}})});
    add("InvalidUtf8", {oneColumn(text10, {{Value("\xE4\xB8")}})});
    add("LeadingByteOrderMark", {oneColumn({"m", ColumnType::Memo}, {{Value("\xEF\xBB\xBFtext")}})});
    add("BadGuid", {oneColumn({"g", ColumnType::GUID}, {{Value("00112233-4455-6677-8899-AABBCCDDEEFF")}})});
    add("TooFewValues", {Table{"t", {{"a", ColumnType::Long}, {"b", ColumnType::Long}}, {{Value(std::int32_t{1})}}}});
    add("TooManyValues", {oneColumn({"a", ColumnType::Long}, {{Value(std::int32_t{1}), Value(std::int32_t{2})}})});
    {
        // Nine full Text(255) columns need 4590 bytes; a row holds 4060.
        Table wide{"t", {}, {{}}};
        for (int i = 0; i < 9; ++i) {
            wide.columns.push_back({"c" + std::to_string(i), ColumnType::Text, 255});
            wide.rows[0].push_back(Value(std::string(255, 'x')));
        }
        add("RowTooLarge", {wide});
    }
    add("TextLengthZero", {oneColumn({"x", ColumnType::Text, 0})});
    add("TextLength256", {oneColumn({"x", ColumnType::Text, 256})});
    add("NumericColumn", {oneColumn({"n", ColumnType::Numeric})});
    add("AutoNumberText", {oneColumn({"x", ColumnType::Text, 10, true})});
    add("NoColumns", {Table{"t", {}, {}}});
    {
        Table many{"t", {}, {}};
        for (int i = 0; i < 256; ++i)
            many.columns.push_back({"c" + std::to_string(i), ColumnType::Long});
        add("TooManyColumns", {many});
    }
    add("DuplicateColumn", {Table{"t", {{"Name", ColumnType::Long}, {"name", ColumnType::Long}}, {}}});
    add("EmptyColumnName", {oneColumn({"", ColumnType::Long})});
    add("DuplicateTable", {oneColumn({"a", ColumnType::Long}), Table{"T", {{"a", ColumnType::Long}}, {}}});
    add("CatalogName", {Table{"MSysObjects", {{"a", ColumnType::Long}}, {}}});
    add("EmptyTableName", {Table{"", {{"a", ColumnType::Long}}, {}}});
    add("TableName65Characters", {Table{std::string(65, 'n'), {{"a", ColumnType::Long}}, {}}});
    add("Password21Characters", {}, std::string(21, 'p'));
    add("PasswordInvalidUtf8", {}, "\xFF");
    return cases;
}

void PrintTo(const BadInput& input, std::ostream* out) { *out << input.name; }

class JetWriterRefuses : public testing::TestWithParam<BadInput> { };

TEST_P(JetWriterRefuses, WithInvalidArgument)
{
    EXPECT_THROW(WriteJet4(GetParam().tables, GetParam().options), std::invalid_argument);
}

INSTANTIATE_TEST_SUITE_P(BadInputs, JetWriterRefuses, testing::ValuesIn(badInputs()),
                         [](const testing::TestParamInfo<BadInput>& param) { return param.param.name; });

TEST(JetWriterOptions, RefuseACreationDateThatGivesNoPasswordMask)
{
    for (double days : {-1.0, 3e9, std::nan("")}) {
        WriterOptions options;
        options.creationDate = OleDate{days};
        EXPECT_THROW(WriteJet4({}, options), std::invalid_argument) << days;
    }
}

// ---- The fixture builder ----

TEST(BankBuilder, RefusesValuesItCannotStore)
{
    using testsupport::BankBuilder;
    // 40000 does not fit the Integer column rank1, text does not fit a number column.
    EXPECT_THROW(BankBuilder().addTest("t", {40000, 0, 0, 0, 0}, {}).tables(), std::invalid_argument);
    EXPECT_THROW(BankBuilder().addRow("testname", {{"rank1", std::string("x")}}).tables(), std::invalid_argument);
    EXPECT_THROW(BankBuilder().withoutTable("nosuch"), std::invalid_argument);
    EXPECT_THROW(BankBuilder().withoutColumn("testname", "nosuch"), std::invalid_argument);
}

TEST(BankBuilder, ConvertsCellsToTheOverriddenColumnType)
{
    auto tables = testsupport::BankBuilder()
                      .withColumnType("testname", "rank1", ColumnType::Long)
                      .withColumnType("testname", "rank2", ColumnType::Text, 10)
                      .withoutColumn("testname", "rank3")
                      .addTest("t", {40000, -2, 3, 4, 5}, {"a", "b", "c", "d", std::nullopt})
                      .tables();
    ASSERT_EQ(tables.size(), 3u);
    const Row& row = tables[0].rows.at(0);
    ASSERT_EQ(row.size(), 10u);
    EXPECT_EQ(row[1], Value(std::int32_t{40000}));
    EXPECT_EQ(row[2], Value("-2"));
    EXPECT_EQ(row[3], Value(std::int16_t{4}));
    EXPECT_TRUE(row[9].isNull());
}

} // namespace
