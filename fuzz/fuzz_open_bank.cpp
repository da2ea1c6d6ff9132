// libFuzzer target: a question bank's bytes, opened and queried as the program does at start-up,
// when a test is started and evaluated, and when the version is checked. Every failure must come
// out as a ComError; anything else (a crash, another exception, a hang) is a fault.
#include "questionbank/BankSchema.h"
#include "questionbank/Database.h"
#include "questionbank/RecordAccess.h"
#include "questionbank/TextCompare.h"
#include "questionbank/jet/JetReader.h"
#include "quiz/TestFlow.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace questionbank;

namespace {

// The column names of a table, so that every column of a row is read, not only the program's.
std::vector<std::string> ColumnNames(const Database& database, std::string_view table)
{
    std::vector<std::string> names;
    try {
        for (const ColumnDef& column : database.table(table).table().columns)
            names.push_back(column.name);
    } catch (const ComError&) {
    }
    return names;
}

// Both conversions on a value, as the program makes one or the other depending on the column.
void Convert(const Value& value)
{
    if (value.isNull())
        return;
    try {
        FieldText(value);
    } catch (const ComError&) {
    }
    try {
        FieldSmallInt(value);
    } catch (const ComError&) {
    }
}

// Runs one statement and walks its rows, reading every column; collects the test names as text.
void Walk(const ConnectionPtr& connection, const std::string& sql, const std::vector<std::string>& columns,
    std::vector<std::string>* collected = nullptr)
{
    RecordsetPtr recordset;
    try {
        OpenQuery(recordset, sql, connection);
    } catch (const ComError& error) {
        // Every statement made here must be one the parser takes.
        if (error.Error() == DB_E_ERRORSINCOMMAND)
            std::abort();
        return;
    }
    try {
        while (!recordset->adoEOF()) {
            for (const std::string& column : columns) {
                const Value value = ReadField(recordset, column);
                Convert(value);
                if (collected && column == bank::kTestName && !value.isNull()) {
                    try {
                        collected->push_back(FieldText(value));
                    } catch (const ComError&) {
                    }
                }
            }
            recordset->MoveNext();
        }
        recordset->Close();
    } catch (const ComError&) {
    }
}

void Queries(const std::shared_ptr<const Database>& database, const std::string& password,
    const std::vector<std::string>& tables)
{
    ConnectionPtr connection;
    if (Failed(connection.CreateInstance()))
        std::abort();
    try {
        connection->Open(database, password);
    } catch (const ComError&) {
        return;
    }

    std::vector<std::string> names;
    Walk(connection, "SELECT * FROM testname", ColumnNames(*database, bank::kTestTable), &names);
    const std::vector<std::string> questionColumns = ColumnNames(*database, bank::kQuestionTable);
    const std::vector<std::string> testColumns = ColumnNames(*database, bank::kTestTable);
    for (const std::string& name : names) {
        Walk(connection, quiz::QuestionQuery(name), questionColumns);
        Walk(connection, quiz::EvaluationQuery(name), testColumns);
    }
    Walk(connection, "SELECT * FROM databasever", ColumnNames(*database, bank::kVersionTable));

    // Beyond the program: every other table too, so that files without the bank's tables (most of
    // the seeds) still reach the decoding of every column type and both conversions.
    for (const std::string& table : tables) {
        if (!table.empty() && table.find(']') == std::string::npos)
            Walk(connection, "SELECT * FROM [" + table + "]", ColumnNames(*database, table));
    }
    connection->Close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string storedPassword;
    std::vector<std::string> tables;
    std::shared_ptr<const Database> database;
    try {
        jet::JetFile file = jet::JetFile::fromBytes(std::vector<std::uint8_t>(data, data + size));
        storedPassword = file.password();
        try {
            for (std::string& name : file.tableNames()) {
                const std::string folded = FoldText(name);
                if (folded != FoldText(bank::kTestTable) && folded != FoldText(bank::kQuestionTable)
                    && folded != FoldText(bank::kVersionTable))
                    tables.push_back(std::move(name));
            }
        } catch (const std::exception&) {
            // The program never lists the tables; its own path still runs.
        }
        database = Database::OpenJetFile(std::move(file));
    } catch (const std::exception&) {
        // Database::OpenFile reports every such failure as E_FAIL.
        return 0;
    }

    const std::string programPassword(bank::kPassword);
    Queries(database, programPassword, tables);
    // A fuzzed file mostly carries another password; its own lets the queries go on.
    if (!storedPassword.empty() && storedPassword != programPassword) {
        if (database->acceptsPassword(programPassword))
            std::abort();
        Queries(database, storedPassword, tables);
    }
    return 0;
}
