// Every kind of file the writer produces for the other tests, read back by three readers that share
// no code with it: mdb-export, mdb-reader and our own JetFile.

#include "BankFixture.h"
#include "questionbank/jet/JetReader.h"
#include "questionbank/jet/JetWriter.h"
#include "writer_readers.h"

#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace questionbank {
// Long texts would flood the failure messages.
inline void PrintTo(const Value& value, std::ostream* out)
{
    if (value.isNull())
        *out << "NULL";
    else if (const auto* text = value.getIf<std::string>())
        *out << '"' << text->substr(0, 80)
             << (text->size() > 80 ? "...\" (" + std::to_string(text->size()) + " bytes)" : "\"");
    else if (const auto* bytes = value.getIf<Bytes>())
        *out << bytes->size() << " bytes";
    else if (const auto* number = value.getIf<std::int32_t>())
        *out << *number;
    else if (const auto* small = value.getIf<std::int16_t>())
        *out << *small;
    else
        *out << "value of type " << static_cast<int>(value.type());
}
} // namespace questionbank

namespace {

using questionbank::Bytes;
using questionbank::ColumnDef;
using questionbank::ColumnType;
using questionbank::Currency;
using questionbank::OleDate;
using questionbank::Table;
using questionbank::Value;
using testsupport::BankBuilder;
namespace bank = questionbank::bank;

std::string repeat(const std::string& unit, std::size_t count)
{
    std::string out;
    for (std::size_t i = 0; i < count; ++i)
        out += unit;
    return out;
}

struct Fixture {
    std::string name;
    std::function<BankBuilder()> build;
};

BankBuilder sampleBank()
{
    BankBuilder builder;
    builder.addTest("抑郁自评", { 30, 20, 10, 0, std::nullopt }, { "高", "中", "低", "很低", std::nullopt });
    builder.addQuestion(3, "抑郁自评", "问题\r\nA.是 B.否", { 2, 0, std::nullopt, std::nullopt, std::nullopt });
    builder.addVersion("2024-05-01");
    return builder;
}

// Tables of every column type with random values, NULLs and lengths, from a fixed seed: the mixes
// of fixed and variable columns, null masks and row sizes that the hand-made fixtures miss.
BankBuilder randomTables()
{
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return state;
    };
    auto below = [&next](std::uint64_t bound) { return next() % bound; };
    const std::vector<std::string> pool
        = { "a", "Z", "0", " ", "'", "\"", ",", "\r\n", "中", "文", "测", "𠀀", "é", "€" };
    auto randomText = [&](std::size_t maxUnits) {
        std::string text;
        const std::size_t target = below(maxUnits + 1);
        std::size_t units = 0;
        while (units < target) {
            const std::string& piece = pool[below(pool.size())];
            const std::size_t pieceUnits = piece == "𠀀" || piece == "\r\n" ? 2 : 1;
            if (units + pieceUnits > target)
                break;
            text += piece;
            units += pieceUnits;
        }
        return text;
    };
    auto randomBytes = [&](std::size_t maxBytes) {
        Bytes bytes(below(maxBytes + 1));
        for (auto& byte : bytes)
            byte = static_cast<std::uint8_t>(next());
        return bytes;
    };
    const std::vector<ColumnType> types = { ColumnType::Bool, ColumnType::Byte, ColumnType::Integer, ColumnType::Long,
        ColumnType::Currency, ColumnType::Single, ColumnType::Double, ColumnType::DateTime, ColumnType::GUID,
        ColumnType::Text, ColumnType::Binary, ColumnType::OLE, ColumnType::Memo };
    BankBuilder builder;
    for (int t = 0; t < 12; ++t) {
        const std::string table = "random" + std::to_string(t);
        std::vector<ColumnDef> columns;
        const std::size_t columnCount = 1 + below(t == 11 ? 120 : 24);
        for (std::size_t c = 0; c < columnCount; ++c) {
            const ColumnType type = types[below(types.size())];
            columns.push_back({ "c" + std::to_string(c), type,
                static_cast<std::uint16_t>(1 + below(type == ColumnType::Binary ? 510 : 255)) });
        }
        builder.withTable(table, columns);
        const std::size_t rows = below(4) == 0 ? 0 : below(300);
        for (std::size_t r = 0; r < rows; ++r) {
            BankBuilder::Cells cells;
            // Bytes of in-row variable data left under the 4060-byte row limit, after the widest fixed
            // area, the offsets and the null mask this table could have.
            std::size_t budget = 3800 - 18 * columns.size();
            for (const ColumnDef& column : columns) {
                if (column.type != ColumnType::Bool && below(5) == 0)
                    continue; // NULL
                Value value;
                switch (column.type) {
                case ColumnType::Bool:
                    value = Value(below(2) == 1);
                    break;
                case ColumnType::Byte:
                    value = Value(static_cast<std::uint8_t>(next()));
                    break;
                case ColumnType::Integer:
                    value = Value(static_cast<std::int16_t>(next()));
                    break;
                case ColumnType::Long:
                    value = Value(static_cast<std::int32_t>(next()));
                    break;
                case ColumnType::Currency:
                    value = Value(Currency { static_cast<std::int64_t>(next()) >> 8 });
                    break;
                case ColumnType::Single:
                    value = Value(static_cast<float>(static_cast<std::int32_t>(next())) / 1024.0f);
                    break;
                case ColumnType::Double:
                    value = Value(static_cast<double>(static_cast<std::int64_t>(next())) / 3.0);
                    break;
                case ColumnType::DateTime:
                    value = Value(OleDate { static_cast<double>(below(80000 * 8)) / 8.0 });
                    break;
                case ColumnType::GUID: {
                    static const char* digits = "0123456789ABCDEF";
                    std::string guid = "{";
                    for (int i = 0; i < 32; ++i) {
                        if (i == 8 || i == 12 || i == 16 || i == 20)
                            guid += '-';
                        guid += digits[below(16)];
                    }
                    value = Value(guid + "}");
                    break;
                }
                case ColumnType::Text: {
                    std::string text = randomText(std::min<std::size_t>(column.textLength, budget / 2));
                    budget -= std::min(budget, 2 * text.size());
                    value = Value(std::move(text));
                    break;
                }
                case ColumnType::Binary: {
                    Bytes bytes = randomBytes(std::min<std::size_t>(column.textLength, budget));
                    budget -= bytes.size();
                    value = Value(std::move(bytes));
                    break;
                }
                case ColumnType::OLE:
                    value = Value(randomBytes(below(3) == 0 ? 9000 : 60));
                    break;
                case ColumnType::Memo:
                    value = Value(randomText(below(3) == 0 ? 6000 : 32));
                    break;
                default:
                    break;
                }
                cells[column.name] = value;
            }
            builder.addRow(table, std::move(cells));
        }
    }
    return builder;
}

const std::vector<Fixture>& fixtures()
{
    static const std::vector<Fixture> all = {
        { "SampleBank", sampleBank },
        { "NullInEveryNullableColumn",
            [] {
                BankBuilder builder;
                builder.addTest(std::nullopt, {}, {});
                builder.addQuestion(std::nullopt, std::nullopt, std::nullopt, {});
                builder.addVersion(std::nullopt);
                // Empty texts beside NULLs: the two must stay apart.
                builder.addTest("", { 0, 0, 0, 0, 0 }, { "", "", "", "", "" });
                builder.addVersion("");
                return builder;
            } },
        { "NegativePointsAndUnsortedIds",
            [] {
                BankBuilder builder;
                builder.addTest("焦虑", { -10, -20, -32768, 32767, 0 }, { "a", "b", "c", "d", "e" });
                for (int id : { 7, 3, 2147483647, -1, 0, 5 })
                    builder.addQuestion(id, "焦虑", "第" + std::to_string(id) + "题", { -5, -32768, 32767, -1, 1 });
                return builder;
            } },
        { "ApostrophesAndQuotes",
            [] {
                BankBuilder builder = sampleBank();
                const std::string name = "O'Brien \"测试\" 'x'' -- ; \\ ,";
                builder.addTest(name, { 1, 2, 3, 4, 5 }, { "'", "\"", "''", "a,b", "line\r\nbreak\ttab" });
                builder.addQuestion(1, name, "\"quoted\" 'single' \\back\\slash,comma", { 1, 1, 1, 1, 1 });
                return builder;
            } },
        { "LongEvaluationTexts",
            [] {
                // Around each storage boundary: inline up to 64 bytes, one LVAL row up to 4076, chunks of 4072.
                BankBuilder builder;
                builder.addTest("长文本", { 1, 2, 3, 4, 5 },
                    { repeat("评", 20000), repeat("中", 32), repeat("中", 33), repeat("中", 2038),
                        repeat("中", 2039) });
                builder.addTest("整块", { 1, 2, 3, 4, 5 },
                    { repeat("块", 4072), repeat("a", 4072 * 3 / 2 + 1), "", repeat("x", 31), repeat("y", 4076) });
                for (int id = 0; id < 40; ++id)
                    builder.addQuestion(
                        id, "长文本", repeat("问", 100 + 97 * static_cast<std::size_t>(id)), { 1, 0, 0, 0, 0 });
                return builder;
            } },
        { "EmptyTables", [] { return BankBuilder(); } },
        { "MissingTable",
            [] {
                BankBuilder builder = sampleBank();
                builder.withoutTable(bank::kVersionTable);
                return builder;
            } },
        { "MissingColumns",
            [] {
                BankBuilder builder = sampleBank();
                builder.withoutColumn(bank::kQuestionTable, "answerEValue");
                builder.withoutColumn(bank::kTestTable, "rank5pinjia");
                builder.withoutColumn(bank::kTestTable, "testName");
                return builder;
            } },
        { "LongWhereIntegerExpected",
            [] {
                BankBuilder builder;
                builder.withColumnType(bank::kTestTable, "rank1", ColumnType::Long);
                builder.withColumnType(bank::kQuestionTable, "answerAValue", ColumnType::Long);
                builder.withColumnType(bank::kQuestionTable, "ID", ColumnType::Integer);
                builder.withColumnType(bank::kQuestionTable, "questionContext", ColumnType::Text, 100);
                builder.withColumnType(bank::kTestTable, "rank2pinjia", ColumnType::Text, 10);
                builder.addTest("类型", { 100000, 2, 3, 4, 5 }, { "a", "b", "c", "d", "e" });
                builder.addQuestion(12, "类型", "短", { -70000, 1, 1, 1, 1 });
                return builder;
            } },
        { "NamesOf127Characters",
            [] {
                BankBuilder builder;
                const std::string chinese = repeat("测", 127);
                const std::string latin = repeat("n", 127);
                builder.addTest(chinese, { 1, 1, 1, 1, 1 }, { "a", "b", "c", "d", "e" });
                builder.addTest(latin, { 1, 1, 1, 1, 1 }, { "a", "b", "c", "d", "e" });
                builder.addTest(repeat("满", 255), { 1, 1, 1, 1, 1 }, { "a", "b", "c", "d", "e" });
                builder.addQuestion(1, chinese, "q", { 1, 1, 1, 1, 1 });
                builder.addQuestion(2, latin, "q", { 1, 1, 1, 1, 1 });
                return builder;
            } },
        { "RareGbkCharacters",
            [] {
                BankBuilder builder;
                const std::string rare = "丂丄丅丆丏丒丗丟〇々㈠ⅰ﹏€·—…‰※№㊣龘鑫燚靐";
                builder.addTest(rare, { 1, 1, 1, 1, 1 }, { rare, "兀嗀", "﨎﨏﨑", "朤", "〡〢〣" });
                builder.addQuestion(1, rare, rare + "\r\n" + rare, { 1, 1, 1, 1, 1 });
                builder.addVersion("二〇二四");
                return builder;
            } },
        { "NonBmpCharacters",
            [] {
                BankBuilder builder;
                const std::string extensionB = "𠀀𠀁𪚥𩸽";
                // 127 surrogate pairs fill 254 of the 255 UTF-16 units of a Text column.
                builder.addTest(
                    repeat("𠀀", 127), { 1, 1, 1, 1, 1 }, { extensionB, "😀", repeat("𪚥", 40), "a𠀀b", "" });
                builder.addQuestion(1, extensionB, extensionB, { 1, 1, 1, 1, 1 });
                return builder;
            } },
        { "ManyRowsOverManyPages",
            [] {
                // 1,000 tests of 100 questions: well over 512 data pages, so the owned-pages maps are references.
                BankBuilder builder;
                for (int test = 0; test < 1000; ++test) {
                    const std::string name = "测验" + std::to_string(test);
                    builder.addTest(name, { test, 2, 3, 4, 5 }, { "高" + name, "中", "低", "很低", std::nullopt });
                    for (int question = 0; question < 100; ++question)
                        builder.addQuestion(test * 100 + question, name,
                            "问题" + std::to_string(question) + "\r\nA.是 B.否",
                            { question % 7 - 3, 0, 1, std::nullopt, 4 });
                }
                builder.addVersion("2024-05-01");
                return builder;
            } },
        { "EveryColumnType",
            [] {
                BankBuilder builder;
                builder.withTable("types",
                    { { "b", ColumnType::Bool }, { "y", ColumnType::Byte }, { "i", ColumnType::Integer },
                        { "l", ColumnType::Long, 255, true }, { "c", ColumnType::Currency },
                        { "s", ColumnType::Single }, { "d", ColumnType::Double }, { "t", ColumnType::DateTime },
                        { "g", ColumnType::GUID }, { "x", ColumnType::Text, 10 }, { "bin", ColumnType::Binary, 20 },
                        { "o", ColumnType::OLE }, { "m", ColumnType::Memo } });
                builder.addRow("types",
                    { { "b", Value(true) }, { "y", Value(std::uint8_t { 200 }) },
                        { "i", Value(std::int16_t { -32768 }) }, { "l", Value(std::int32_t { 7 }) },
                        { "c", Value(Currency { -12345678 }) }, { "s", Value(1.5f) }, { "d", Value(-0.1) },
                        { "t", Value(OleDate { 45413.4375 }) },
                        { "g", Value("{00112233-4455-6677-8899-AABBCCDDEEFF}") }, { "x", Value("0123456789") },
                        { "bin", Value(Bytes { 1, 2, 255 }) }, { "o", Value(Bytes(5000, 7)) },
                        { "m", Value("memo") } });
                builder.addRow("types", { { "b", Value(false) } }); // everything else NULL
                builder.addRow("types",
                    { { "b", Value(false) }, { "y", Value(std::uint8_t { 0 }) }, { "i", Value(std::int16_t { 32767 }) },
                        { "l", Value(std::int32_t { -2147483647 - 1 }) }, { "c", Value(Currency { 10000 }) },
                        { "s", Value(-3.25e-5f) }, { "d", Value(1e300) }, { "t", Value(OleDate { 2.75 }) },
                        { "g", Value("{FFFFFFFF-0000-0000-0000-000000000001}") }, { "x", Value("𠀀x") },
                        { "bin", Value(Bytes(20, 0xAB)) }, { "o", Value(Bytes { 9 }) },
                        { "m", Value(repeat("m", 3000)) } });
                return builder;
            } },
        { "WideTable",
            [] {
                // 255 columns need a table definition of two pages.
                std::vector<ColumnDef> columns;
                BankBuilder::Cells cells;
                for (int i = 0; i < 255; ++i) {
                    const std::string name = "column_with_a_longer_name_" + std::to_string(i);
                    const ColumnType type = i % 3 == 0 ? ColumnType::Integer
                        : i % 3 == 1                   ? ColumnType::Text
                                                       : ColumnType::Memo;
                    columns.push_back({ name, type, 10 });
                    if (i % 5 != 0)
                        cells[name] = type == ColumnType::Integer ? BankBuilder::Cell(std::int64_t { i })
                                                                  : BankBuilder::Cell("v" + std::to_string(i));
                }
                BankBuilder builder;
                builder.withTable("wide", columns);
                builder.addRow("wide", cells);
                builder.addRow("wide", {});
                return builder;
            } },
        { "RandomTables", randomTables },
        { "NoPassword",
            [] {
                BankBuilder builder = sampleBank();
                builder.withPassword("");
                return builder;
            } },
        { "LongestChinesePassword",
            [] {
                BankBuilder builder = sampleBank();
                builder.withPassword("密码密码密码密码密码ab'\"123456"); // 20 characters
                return builder;
            } },
    };
    return all;
}

void PrintTo(const Fixture& fixture, std::ostream* out)
{
    *out << fixture.name;
}

class WriterReadBack : public testing::TestWithParam<Fixture> {
protected:
    void SetUp() override
    {
        m_builder = GetParam().build();
        m_tables = m_builder.tables();
        m_bank.emplace(m_builder.writeTemp());
    }

    BankBuilder m_builder;
    std::vector<Table> m_tables;
    std::optional<testsupport::TempBank> m_bank;
};

std::vector<std::string> namesOf(const std::vector<Table>& tables)
{
    std::vector<std::string> names;
    for (const auto& table : tables)
        names.push_back(table.name);
    return names;
}

TEST_P(WriterReadBack, MdbReaderReadsEveryTableExactly)
{
    std::string error;
    const QJsonObject dump = writertest::dumpWithMdbReader(m_bank->file, &error);
    ASSERT_TRUE(error.empty()) << error;

    const std::string& password = m_builder.options().password;
    EXPECT_EQ(dump["password"],
        password.empty() ? QJsonValue(QJsonValue::Null) : QJsonValue(QString::fromStdString(password)));
    EXPECT_EQ(
        dump["creationDate"].toDouble(), std::round((m_builder.options().creationDate.days - 25569.0) * 86400000.0));

    const QJsonArray tables = dump["tables"].toArray();
    ASSERT_EQ(static_cast<std::size_t>(tables.size()), m_tables.size());
    for (std::size_t t = 0; t < m_tables.size(); ++t) {
        const Table& expected = m_tables[t];
        const QJsonObject table = tables[static_cast<qsizetype>(t)].toObject();
        SCOPED_TRACE(expected.name);
        ASSERT_EQ(table["name"].toString().toStdString(), expected.name);
        EXPECT_EQ(table["rowCount"].toInteger(), static_cast<qint64>(expected.rows.size()));

        const QJsonArray columns = table["columns"].toArray();
        ASSERT_EQ(static_cast<std::size_t>(columns.size()), expected.columns.size());
        for (std::size_t c = 0; c < expected.columns.size(); ++c) {
            const ColumnDef& column = expected.columns[c];
            const QJsonObject actual = columns[static_cast<qsizetype>(c)].toObject();
            EXPECT_EQ(actual["name"].toString().toStdString(), column.name);
            EXPECT_EQ(actual["type"].toString(), writertest::mdbReaderType(column.type)) << column.name;
            EXPECT_EQ(actual["autoLong"].toBool(), column.autoNumber) << column.name;
            if (column.type == ColumnType::Text) {
                EXPECT_EQ(actual["size"].toInt(), 2 * column.textLength) << column.name;
            }
        }

        const QJsonArray rows = table["rows"].toArray();
        ASSERT_EQ(static_cast<std::size_t>(rows.size()), expected.rows.size());
        for (std::size_t r = 0; r < expected.rows.size(); ++r) {
            const QJsonArray row = rows[static_cast<qsizetype>(r)].toArray();
            for (std::size_t c = 0; c < expected.columns.size(); ++c) {
                const QJsonValue want = writertest::mdbReaderValue(expected.rows[r][c], expected.columns[c].type);
                const QJsonValue got = row[static_cast<qsizetype>(c)];
                ASSERT_EQ(got, want)
                    << "row " << r << ", column " << expected.columns[c].name << ": got "
                    << QJsonDocument(QJsonArray { got }).toJson(QJsonDocument::Compact).left(200).toStdString();
            }
        }
    }
}

TEST_P(WriterReadBack, MdbExportReadsEveryTable)
{
    for (const Table& expected : m_tables) {
        SCOPED_TRACE(expected.name);
        std::string error;
        const auto csv = writertest::exportWithMdbTools(m_bank->file, expected.name, &error);
        ASSERT_TRUE(csv) << error;
        ASSERT_EQ(csv->size(), expected.rows.size() + 1);
        const writertest::CsvRow& header = csv->front();
        ASSERT_EQ(header.size(), expected.columns.size());
        for (std::size_t c = 0; c < expected.columns.size(); ++c)
            EXPECT_EQ(header[c].text, expected.columns[c].name);
        for (std::size_t r = 0; r < expected.rows.size(); ++r) {
            const writertest::CsvRow& row = (*csv)[r + 1];
            ASSERT_EQ(row.size(), expected.columns.size()) << "row " << r;
            for (std::size_t c = 0; c < expected.columns.size(); ++c) {
                ASSERT_TRUE(writertest::mdbToolsShows(row[c], expected.rows[r][c], expected.columns[c].type))
                    << "row " << r << ", column " << expected.columns[c].name << " printed as "
                    << (row[c].quoted ? "quoted " : "bare ") << row[c].text.size() << " bytes: " << row[c].text.substr(0, 200)
                    << "; expected " << testing::PrintToString(expected.rows[r][c]);
            }
        }
    }
}

TEST_P(WriterReadBack, OwnReaderReadsEveryTableExactly)
{
    const auto file = questionbank::jet::JetFile::open(m_bank->file);
    EXPECT_EQ(file.password(), m_builder.options().password);
    ASSERT_EQ(file.tableNames(), namesOf(m_tables));
    for (const Table& expected : m_tables) {
        SCOPED_TRACE(expected.name);
        const Table actual = file.readTable(expected.name);
        ASSERT_EQ(actual.columns.size(), expected.columns.size());
        for (std::size_t c = 0; c < expected.columns.size(); ++c) {
            EXPECT_EQ(actual.columns[c].name, expected.columns[c].name);
            EXPECT_EQ(actual.columns[c].type, expected.columns[c].type) << expected.columns[c].name;
            EXPECT_EQ(actual.columns[c].autoNumber, expected.columns[c].autoNumber) << expected.columns[c].name;
            if (expected.columns[c].type == ColumnType::Text) {
                EXPECT_EQ(actual.columns[c].textLength, expected.columns[c].textLength) << expected.columns[c].name;
            }
        }
        ASSERT_EQ(actual.rows.size(), expected.rows.size());
        for (std::size_t r = 0; r < expected.rows.size(); ++r)
            ASSERT_EQ(actual.rows[r], expected.rows[r]) << "row " << r;
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, WriterReadBack, testing::ValuesIn(fixtures()),
    [](const testing::TestParamInfo<Fixture>& param) { return param.param.name; });

} // namespace
