// The reader against files nobody in this project wrote: Access-made files checked value for value
// against mdb-export, and the generated banks checked exactly against the data they were written from.

#include "MdbExport.h"
#include "questionbank/BankSchema.h"
#include "questionbank/jet/JetReader.h"
#include "writer_readers.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using namespace questionbank;
using questionbank::jet::JetFile;
using questionbank::jet::JetVersion;
namespace fs = std::filesystem;

const fs::path kCorpus = MARVOLEN_CORPUS_DIR;

std::vector<fs::path> corpusFiles()
{
    std::vector<fs::path> files;
    for (const char* folder : { "access", "generated" }) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(kCorpus / folder, error)) {
            if (entry.path().extension() == ".mdb")
                files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

// mdb-export needs to be told the code page of the Chinese Jet 3 bank.
std::string jet3Charset(const fs::path& file)
{
    return file.filename() == "bank-jet3-gbk.mdb" ? "GBK" : "";
}

std::string hex(const Bytes& bytes)
{
    std::string text;
    char digits[3];
    for (auto byte : bytes) {
        std::snprintf(digits, sizeof digits, "%02X", byte);
        text += digits;
    }
    return text;
}

std::string upper(std::string text)
{
    std::transform(
        text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A decimal without trailing zeros after the point (mdb-export pads to the column's scale).
std::string trimDecimal(std::string text)
{
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    return text == "-0" ? "0" : text;
}

// Seconds since 1899-12-30 of an mdb-export date, or NaN.
double mdbDateSeconds(const std::string& text)
{
    std::tm tm {};
    if (!strptime(text.c_str(), marvolen::test::kMdbDateFormat, &tm))
        return NAN;
    // Days from 1899-12-30 by the proleptic Gregorian calendar, as OLE dates count them.
    auto daysFromCivil = [](long y, long m, long d) {
        y -= m <= 2;
        const long era = (y >= 0 ? y : y - 399) / 400;
        const long yoe = y - era * 400;
        const long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + doe - 719468;
    };
    const long days = daysFromCivil(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) - daysFromCivil(1899, 12, 30);
    return static_cast<double>(days) * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

// OLE dates before 1899-12-30 are negative days with a positive time fraction.
double oleSeconds(double days)
{
    const double whole = std::trunc(days);
    return whole * 86400 + std::fabs(days - whole) * 86400;
}

// Compares one value with mdb-export's text; returns a description of the difference or "".
std::string differs(const Value& value, ColumnType type, const std::string& exported)
{
    auto mismatch = [&](const std::string& ours) { return "ours '" + ours + "', mdb-export '" + exported + "'"; };
    if (value.isNull())
        return exported.empty() ? "" : mismatch("NULL");
    switch (type) {
    case ColumnType::Bool:
        return exported == (value.get<bool>() ? "1" : "0") ? "" : mismatch("bool");
    case ColumnType::Byte:
        return exported == std::to_string(value.get<std::uint8_t>())
            ? ""
            : mismatch(std::to_string(value.get<std::uint8_t>()));
    case ColumnType::Integer:
        return exported == std::to_string(value.get<std::int16_t>())
            ? ""
            : mismatch(std::to_string(value.get<std::int16_t>()));
    case ColumnType::Long:
        return exported == std::to_string(value.get<std::int32_t>())
            ? ""
            : mismatch(std::to_string(value.get<std::int32_t>()));
    case ColumnType::Currency: {
        const auto scaled = value.get<Currency>().scaled;
        const auto magnitude
            = scaled < 0 ? -static_cast<unsigned long long>(scaled) : static_cast<unsigned long long>(scaled);
        char text[40];
        std::snprintf(text, sizeof text, "%s%llu.%04llu", scaled < 0 ? "-" : "", magnitude / 10000, magnitude % 10000);
        return trimDecimal(exported) == trimDecimal(text) ? "" : mismatch(text);
    }
    case ColumnType::Single:
    case ColumnType::Double: {
        const double ours = type == ColumnType::Single ? value.get<float>() : value.get<double>();
        const double theirs = std::strtod(exported.c_str(), nullptr);
        const double tolerance = (type == ColumnType::Single ? 1e-6 : 1e-9) * std::max(1.0, std::fabs(ours));
        return std::fabs(ours - theirs) <= tolerance ? "" : mismatch(std::to_string(ours));
    }
    case ColumnType::DateTime: {
        const double ours = oleSeconds(value.get<OleDate>().days);
        return std::fabs(ours - mdbDateSeconds(exported)) <= 1.0 ? ""
                                                                 : mismatch(std::to_string(value.get<OleDate>().days));
    }
    case ColumnType::Text:
    case ColumnType::Memo:
        return exported == value.get<std::string>() ? "" : mismatch(value.get<std::string>());
    case ColumnType::GUID:
        return upper(exported) == value.get<std::string>() ? "" : mismatch(value.get<std::string>());
    case ColumnType::Binary:
    case ColumnType::OLE:
        return upper(exported) == hex(value.get<Bytes>()) ? "" : mismatch(hex(value.get<Bytes>()));
    case ColumnType::Numeric:
        return trimDecimal(exported) == value.get<Decimal>().text ? "" : mismatch(value.get<Decimal>().text);
    }
    return "unknown type";
}

class CorpusFile : public testing::TestWithParam<fs::path> { };

// mdbtools lists a row that Access moved to another page (an overflow row) where it now lies;
// we list it where its row pointer stays, as Jet does. These files have such rows.
bool hasMovedRows(const fs::path& file)
{
    return file.filename().string().find("overflowTest") != std::string::npos;
}

TEST_P(CorpusFile, EveryUserTableAgreesWithMdbExport)
{
    if (!marvolen::test::mdbToolsAvailable())
        GTEST_SKIP() << "mdb-export is not installed";
    const fs::path& file = GetParam();
    const auto charset = jet3Charset(file);
    const JetFile jetFile = JetFile::open(file);
    ASSERT_EQ(jetFile.tableNames(), marvolen::test::mdbTables(file, charset));
    for (const auto& name : jetFile.tableNames()) {
        SCOPED_TRACE(name);
        const Table table = jetFile.readTable(name);
        const auto exported = marvolen::test::mdbExport(file, name, charset);
        ASSERT_EQ(table.rows.size(), exported.size());
        auto rowDifference = [&](const Row& ours, const std::vector<std::string>& theirs) -> std::string {
            if (theirs.size() != table.columns.size())
                return "mdb-export printed " + std::to_string(theirs.size()) + " fields";
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                // mdb-export prints dates outside its range (before 1900, after 9999) as day 0.
                if (table.columns[c].type == ColumnType::DateTime && theirs[c] == "1900-01-00 00:00:00")
                    continue;
                const auto difference = differs(ours[c], table.columns[c].type, theirs[c]);
                if (!difference.empty())
                    return "column " + table.columns[c].name + ": " + difference;
            }
            return "";
        };
        if (!hasMovedRows(file)) {
            for (std::size_t r = 0; r < table.rows.size(); ++r)
                EXPECT_EQ(rowDifference(table.rows[r], exported[r]), "") << "row " << r;
            continue;
        }
        std::vector<bool> matched(table.rows.size(), false);
        for (std::size_t e = 0; e < exported.size(); ++e) {
            bool found = false;
            for (std::size_t r = 0; r < table.rows.size() && !found; ++r) {
                if (!matched[r] && rowDifference(table.rows[r], exported[e]).empty())
                    matched[r] = found = true;
            }
            EXPECT_TRUE(found) << "exported row " << e << " is not among ours";
        }
    }
}

// mdb-reader keeps NULL and "" apart, which mdb-export cannot. It decodes Jet 3 text as
// Windows-1252, so the GBK bank is left to mdb-export and bank.json.
TEST_P(CorpusFile, EveryUserTableAgreesWithMdbReaderExactly)
{
    const fs::path& file = GetParam();
    if (std::string(MARVOLEN_NODE).empty()
        || !fs::exists(fs::path(MARVOLEN_REFERENCE_DIR) / "node_modules" / "mdb-reader"))
        GTEST_SKIP() << "node or mdb-reader is not installed";
    if (!jet3Charset(file).empty())
        GTEST_SKIP() << "mdb-reader cannot decode this code page";
    std::string error;
    const QJsonObject dump = writertest::dumpWithMdbReader(file, &error);
    ASSERT_TRUE(error.empty()) << error;
    const QJsonArray tables = dump["tables"].toArray();
    const JetFile jetFile = JetFile::open(file);
    const auto names = jetFile.tableNames();
    ASSERT_EQ(names.size(), static_cast<std::size_t>(tables.size()));
    for (std::size_t t = 0; t < names.size(); ++t) {
        const QJsonObject theirs = tables[static_cast<qsizetype>(t)].toObject();
        ASSERT_EQ(theirs["name"].toString().toStdString(), names[t]);
        SCOPED_TRACE(names[t]);
        const Table table = jetFile.readTable(names[t]);
        const QJsonArray rows = theirs["rows"].toArray();
        ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(rows.size()));
        auto sameRow = [&](const Row& ours, const QJsonArray& row) {
            if (static_cast<std::size_t>(row.size()) != table.columns.size())
                return false;
            for (std::size_t c = 0; c < table.columns.size(); ++c) {
                if (writertest::mdbReaderValue(ours[c], table.columns[c].type) != row[static_cast<qsizetype>(c)])
                    return false;
            }
            return true;
        };
        // Like mdbtools, mdb-reader lists moved rows where they now lie.
        std::vector<bool> matched(table.rows.size(), false);
        for (qsizetype e = 0; e < rows.size(); ++e) {
            const QJsonArray row = rows[e].toArray();
            const auto inOrder = static_cast<std::size_t>(e);
            bool found = !hasMovedRows(file) && sameRow(table.rows[inOrder], row);
            if (found)
                matched[inOrder] = true;
            for (std::size_t r = 0; r < table.rows.size() && !found && hasMovedRows(file); ++r) {
                if (!matched[r] && sameRow(table.rows[r], row))
                    matched[r] = found = true;
            }
            EXPECT_TRUE(found) << "mdb-reader's row " << e << " differs: "
                               << QJsonDocument(row).toJson(QJsonDocument::Compact).left(300).toStdString();
        }
    }
}

std::string fileTestName(const testing::TestParamInfo<fs::path>& info)
{
    std::string name = info.param.stem().string();
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusFile, testing::ValuesIn(corpusFiles()), fileTestName);

// ---- The generated banks against the data they were written from ----------------------------

QJsonObject bankJson()
{
    QFile file(QString::fromStdString((kCorpus / "generated" / "bank.json").string()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

// A missing key is NULL; numbers become the column's integer type.
Value expectedValue(const QJsonObject& row, const ColumnDef& column)
{
    const auto it = row.find(QString::fromStdString(column.name));
    if (it == row.end() || it->isNull())
        return Value::null();
    switch (column.type) {
    case ColumnType::Integer:
        return Value(static_cast<std::int16_t>(it->toInt()));
    case ColumnType::Long:
        return Value(static_cast<std::int32_t>(it->toInteger()));
    default:
        return Value(it->toString().toStdString());
    }
}

struct BankTable {
    const char* jsonKey;
    std::string_view table;
    std::vector<ColumnDef> (*columns)();
};

class GeneratedBank : public testing::TestWithParam<const char*> { };

TEST_P(GeneratedBank, HoldsExactlyTheDataItWasWrittenFrom)
{
    const QJsonObject bank = bankJson();
    ASSERT_FALSE(bank.isEmpty()) << "bank.json is missing";
    const JetFile file = JetFile::open(kCorpus / "generated" / GetParam());
    EXPECT_EQ(file.password(), bank["password"].toString().toStdString());
    EXPECT_EQ(file.password(), bank::kPassword);

    const BankTable tables[] = {
        { "tests", bank::kTestTable, bank::TestColumns },
        { "questions", bank::kQuestionTable, bank::QuestionColumns },
        { "databasever", bank::kVersionTable, bank::VersionColumns },
    };
    for (const auto& expected : tables) {
        SCOPED_TRACE(expected.table);
        const Table table = file.readTable(expected.table);
        const auto columns = expected.columns();
        ASSERT_EQ(table.columns, columns);
        const QJsonArray rows = bank[expected.jsonKey].toArray();
        ASSERT_EQ(table.rows.size(), static_cast<std::size_t>(rows.size()));
        for (std::size_t r = 0; r < table.rows.size(); ++r) {
            const QJsonObject row = rows[static_cast<qsizetype>(r)].toObject();
            for (std::size_t c = 0; c < columns.size(); ++c)
                EXPECT_EQ(table.rows[r][c], expectedValue(row, columns[c]))
                    << "row " << r << ", column " << columns[c].name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Banks, GeneratedBank, testing::Values("bank-jet4.mdb", "bank-jet3-gbk.mdb"),
    [](const testing::TestParamInfo<const char*>& file) {
        return std::string(file.param).find("jet3") != std::string::npos ? "Jet3Gbk" : "Jet4";
    });

// ---- Facts of single corpus files that the comparisons above cannot see -----------------------

TEST(CorpusFacts, VersionsAndPasswords)
{
    struct Case {
        const char* file;
        JetVersion version;
        const char* password;
    };
    const Case cases[] = {
        { "access/mdbreader-V2000_with-password.mdb", JetVersion::Jet4, "password" },
        { "access/mdbreader-V2003_with-password.mdb", JetVersion::Jet4, "password" },
        { "access/mdbreader-V2000_no-password.mdb", JetVersion::Jet4, "" },
        { "access/jackcess-testV1997.mdb", JetVersion::Jet3, "" },
        { "access/jackcess-adox_jet4.mdb", JetVersion::Jet4, "" },
        { "generated/bank-jet4.mdb", JetVersion::Jet4, "pvexmtgrw4067" },
        { "generated/bank-jet3-gbk.mdb", JetVersion::Jet3, "pvexmtgrw4067" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const JetFile file = JetFile::open(kCorpus / c.file);
        EXPECT_EQ(file.version(), c.version);
        EXPECT_EQ(file.password(), c.password);
    }
    for (const auto& path : corpusFiles()) {
        const auto name = path.filename().string();
        if (name.find("password") == std::string::npos && name.find("bank") == std::string::npos) {
            EXPECT_EQ(JetFile::open(path).password(), "") << name;
        }
    }
}

TEST(CorpusFacts, MovedRowsStayInRowOrder)
{
    const Table table = JetFile::open(kCorpus / "access/jackcess-overflowTestV2000.mdb").readTable("Table1");
    std::vector<std::string> order;
    for (const auto& row : table.rows)
        order.push_back(
            row[0].isNull() ? row[1].get<std::string>().substr(0, 4) : row[0].get<std::string>().substr(0, 4));
    EXPECT_EQ(order, (std::vector<std::string> { "row1", "row2", "row3", "row4", "row5", "row6", "row7" }));
}

TEST(CorpusFacts, DatesBeyondMdbExportsRange)
{
    // Days from 1899-12-30 of 9999-12-31 and 1898-01-01 (row 2 and 3 of the file).
    const Table table = JetFile::open(kCorpus / "access/mdbtestdata-DateTestDatabase.mdb").readTable("DateTest");
    ASSERT_GE(table.rows.size(), 3u);
    EXPECT_EQ(table.rows[1][1], Value(OleDate { 2958101 }));
    EXPECT_EQ(table.rows[2][1], Value(OleDate { -728 }));
}

TEST(CorpusFacts, SystemTablesAreListedOnlyWhenAsked)
{
    const JetFile file = JetFile::open(kCorpus / "access/jackcess-adox_jet4.mdb");
    EXPECT_TRUE(file.tableNames().empty());
    const auto all = file.tableNames(true);
    EXPECT_NE(std::find(all.begin(), all.end(), "MSysObjects"), all.end());
    EXPECT_EQ(file.findTable("msysobjects"), "MSysObjects");
}

TEST(CorpusFacts, TableLookupIgnoresLatinCaseOnly)
{
    const JetFile file = JetFile::open(kCorpus / "generated/bank-jet4.mdb");
    EXPECT_EQ(file.findTable("TESTNAME"), "testname");
    EXPECT_EQ(file.readTable("TestQuestion").name, "testquestion");
    EXPECT_EQ(file.findTable("testnam"), std::nullopt);
    EXPECT_THROW(file.readTable("nosuchtable"), std::out_of_range);
}

} // namespace
