#include "CurrentDirectory.h"
#include "access_fixtures.h"
#include "questionbank/BankSchema.h"
#include "questionbank/TextCompare.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
namespace questionbank {
namespace {

using namespace questionbank::testing;

const std::filesystem::path kCorpus = MARVOLEN_CORPUS_DIR;
const std::filesystem::path kBankJet4 = kCorpus / "generated" / "bank-jet4.mdb";
const std::filesystem::path kBankJet3 = kCorpus / "generated" / "bank-jet3-gbk.mdb";
const std::filesystem::path kNoPassword = kCorpus / "access" / "mdbreader-V2000_no-password.mdb";
const std::filesystem::path kAccessPassword = kCorpus / "access" / "mdbreader-V2003_with-password.mdb";

std::string ConnectionStringFor(const std::filesystem::path& file, const std::string& passwordPart)
{
    return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string() + passwordPart;
}

HRESULT OpenError(const std::string& connectionString)
{
    ConnectionPtr connection;
    connection.CreateInstance();
    HRESULT hr = ErrorOf([&] { connection->Open(connectionString, "", "", 0); });
    EXPECT_EQ(connection->State(), hr == S_OK ? adStateOpen : adStateClosed);
    return hr;
}

using testsupport::CurrentDirectory;

class TempDirectory {
public:
    TempDirectory()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "access-test-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempDirectory() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

TEST(ConnectionOpenTest, AcceptsOnlyTheJetProvider)
{
    const std::string rest = ";Data Source=" + kBankJet4.string() + ";Jet OLEDB:Database Password=pvexmtgrw4067";
    EXPECT_EQ(OpenError("Provider=microsoft.jet.oledb.4.0" + rest), S_OK);
    EXPECT_EQ(OpenError("Provider=Microsoft.Jet.OLEDB.3.51" + rest), adErrProviderNotFound);
    EXPECT_EQ(OpenError("Provider=Microsoft.ACE.OLEDB.12.0" + rest), adErrProviderNotFound);
    EXPECT_EQ(OpenError(rest.substr(1)), adErrProviderNotFound);
}

TEST(ConnectionOpenTest, ChecksTheDatabasePasswordAsJetDoes)
{
    struct Case {
        const char* name;
        std::filesystem::path file;
        const char* passwordPart;
        HRESULT expected;
    };
    const Case cases[] = {
        { "Jet 4 bank, its password", kBankJet4, ";Jet OLEDB:Database Password=pvexmtgrw4067", S_OK },
        { "Jet 3 bank, its password", kBankJet3, ";Jet OLEDB:Database Password=pvexmtgrw4067", S_OK },
        { "quoted password", kBankJet4, ";Jet OLEDB:Database Password=\"pvexmtgrw4067\"", S_OK },
        { "wrong password", kBankJet4, ";Jet OLEDB:Database Password=pvexmtgrw4068", DB_SEC_E_AUTH_FAILED },
        { "other case", kBankJet4, ";Jet OLEDB:Database Password=PVEXMTGRW4067", DB_SEC_E_AUTH_FAILED },
        { "no password", kBankJet4, "", DB_SEC_E_AUTH_FAILED },
        { "Jet 3 without password", kBankJet3, "", DB_SEC_E_AUTH_FAILED },
        { "file without password, any given", kNoPassword, ";Jet OLEDB:Database Password=anything", S_OK },
        { "file without password, none given", kNoPassword, "", S_OK },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(OpenError(ConnectionStringFor(c.file, c.passwordPart)), c.expected);
    }
}

TEST(ConnectionOpenTest, FilesThatAreNotJetDatabasesFailAlike)
{
    TempDirectory temp;
    std::ofstream(temp.path() / "notes.mdb") << "Standard Jet DB? No, just a text file.\n";
    std::ofstream(temp.path() / "empty.mdb");
    const std::pair<const char*, std::filesystem::path> cases[] = {
        { "missing file", temp.path() / "missing.mdb" },
        { "a directory", temp.path() },
        { "a text file", temp.path() / "notes.mdb" },
        { "an empty file", temp.path() / "empty.mdb" },
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(OpenError(ConnectionStringFor(file, ";Jet OLEDB:Database Password=pvexmtgrw4067")), E_FAIL);
    }
    EXPECT_EQ(OpenError("Provider=Microsoft.Jet.OLEDB.4.0"), E_FAIL); // no Data Source at all
}

TEST(ConnectionOpenTest, OpensTheBankRelativeToTheCurrentDirectory)
{
    TempDirectory temp;
    std::filesystem::copy_file(kBankJet4, temp.path() / bank::kFileName);
    ConnectionPtr connection;
    connection.CreateInstance();
    {
        CurrentDirectory inTemp(temp.path());
        connection->Open(std::string(bank::kConnectionString), "", "", 0);
    }
    EXPECT_EQ(connection->State(), adStateOpen);
    // Elsewhere the same connection string finds no file.
    CurrentDirectory elsewhere(kCorpus);
    EXPECT_EQ(OpenError(std::string(bank::kConnectionString)), E_FAIL);
}

// What bank.json says the question query of `testName` returns: the IDs of its questions in ID order,
// ties in file order.
std::vector<std::int32_t> ExpectedQuestionIds(const QJsonArray& questions, const std::string& testName)
{
    std::vector<std::int32_t> ids;
    for (const auto& question : questions) {
        QJsonObject row = question.toObject();
        if (row.contains("testName") && TextEqual(row["testName"].toString().toStdString(), testName))
            ids.push_back(row["ID"].toInt());
    }
    std::stable_sort(ids.begin(), ids.end());
    return ids;
}

std::string Quoted(const std::string& text)
{
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

TEST(ConnectionOpenTest, AnswersTheProgramsQueriesFromBothBanks)
{
    QFile json(QString::fromStdString((kCorpus / "generated" / "bank.json").string()));
    ASSERT_TRUE(json.open(QIODevice::ReadOnly));
    QJsonObject bankJson = QJsonDocument::fromJson(json.readAll()).object();
    const QJsonArray tests = bankJson["tests"].toArray();
    const QJsonArray questions = bankJson["questions"].toArray();

    for (const auto& file : { kBankJet4, kBankJet3 }) {
        SCOPED_TRACE(file.filename().string());
        ConnectionPtr connection;
        connection.CreateInstance();
        connection->Open(ConnectionStringFor(file, ";Jet OLEDB:Database Password=pvexmtgrw4067"), "", "", 0);

        RecordsetPtr catalog;
        OpenQuery(catalog, "SELECT * FROM testname", connection);
        EXPECT_EQ(Walk(catalog, "testName").size(), static_cast<std::size_t>(tests.size()));

        for (const auto& test : tests) {
            if (!test.toObject().contains("testName"))
                continue;
            std::string name = test.toObject()["testName"].toString().toStdString();
            SCOPED_TRACE(name);
            RecordsetPtr recordset;
            OpenQuery(
                recordset, "SELECT * FROM testquestion WHERE testName='" + Quoted(name) + "' ORDER BY ID", connection);
            std::vector<std::int32_t> ids;
            for (const auto& id : Walk(recordset, "ID"))
                ids.push_back(id.get<std::int32_t>());
            EXPECT_EQ(ids, ExpectedQuestionIds(questions, name));

            OpenQuery(recordset, "SELECT * FROM testname WHERE testName='" + Quoted(name) + "'", connection);
            ASSERT_FALSE(recordset->BOF());
            EXPECT_EQ(FieldText(ReadField(recordset, "testName")), name);
            if (name.find('\'') != std::string::npos) {
                // Put in unchanged, as the program does, the apostrophe breaks the statement.
                EXPECT_EQ(ErrorOf([&] {
                    OpenQuery(recordset, "SELECT * FROM testname WHERE testName='" + name + "'", connection);
                }),
                    DB_E_ERRORSINCOMMAND);
            }
        }

        RecordsetPtr version;
        OpenQuery(version, "SELECT * FROM databasever", connection);
        ASSERT_FALSE(version->BOF());
        EXPECT_EQ(FieldText(ReadField(version, "makedate")), "2006-07-15");
    }
}

} // namespace
} // namespace questionbank
