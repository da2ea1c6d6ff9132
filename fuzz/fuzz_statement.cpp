// libFuzzer target: the statement parser on any text, and what it accepts run on a small bank held
// in memory. Also any text as a test name: the program's quoted queries must find exactly that name.
#include "questionbank/BankSchema.h"
#include "questionbank/Database.h"
#include "questionbank/RecordAccess.h"
#include "questionbank/Statement.h"
#include "quiz/TestFlow.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

using namespace questionbank;

namespace {

std::shared_ptr<const Database> SmallBank()
{
    Table tests { "testname", bank::TestColumns(), {} };
    for (const char* name : { "a", "b'c", "", "A" }) {
        Row row { Value(name) };
        for (std::int16_t bound = 0; bound < 5; ++bound)
            row.push_back(bound == 2 ? Value(Null {}) : Value(static_cast<std::int16_t>(bound * 10)));
        for (int i = 0; i < 5; ++i)
            row.push_back(Value("text"));
        tests.rows.push_back(std::move(row));
    }
    Table questions { "testquestion", bank::QuestionColumns(), {} };
    for (std::int32_t id : { 3, 1, 2 }) {
        Row row { Value(id), Value(id == 2 ? "b'c" : "a"), Value(Null {}) };
        for (std::int16_t points = 0; points < 5; ++points)
            row.push_back(Value(points));
        questions.rows.push_back(std::move(row));
    }
    Table version { "databasever", bank::VersionColumns(), { { Value("2026-01-01") } } };
    Table mixed { "Mixed",
        { { "b", ColumnType::Bool }, { "d", ColumnType::Double }, { "m", ColumnType::Memo },
            { "x", ColumnType::Binary } },
        { { Value(true), Value(1.5), Value("z"), Value(Bytes { 1, 2 }) },
            { Value(Null {}), Value(-0.0), Value(""), Value(Null {}) } } };
    return std::make_shared<const Database>(
        std::vector<Table> { std::move(tests), std::move(questions), std::move(version), std::move(mixed) }, "");
}

void Run(const std::string& sql, const Statement& statement)
{
    static const std::shared_ptr<const Database> database = SmallBank();
    ConnectionPtr connection;
    if (Failed(connection.CreateInstance()))
        std::abort();
    connection->Open(database, "");
    RecordsetPtr recordset;
    try {
        OpenQuery(recordset, sql, connection);
        while (!recordset->adoEOF()) {
            for (const ColumnDef& column : database->table(statement.table).table().columns) {
                const Value value = ReadField(recordset, column.name);
                if (!value.isNull()) {
                    try {
                        FieldText(value);
                    } catch (const ComError&) {
                    }
                }
            }
            recordset->MoveNext();
        }
    } catch (const ComError& error) {
        // The parser took the text just now; running it may fail only on what the bank holds.
        if (error.Error() == DB_E_ERRORSINCOMMAND)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    try {
        const Statement statement = ParseStatement(text);
        Run(text, statement);
    } catch (const ComError& error) {
        if (error.Error() != DB_E_ERRORSINCOMMAND)
            std::abort();
    }

    // The text as a test name.
    for (const std::string& sql : { quiz::QuestionQuery(text), quiz::EvaluationQuery(text) }) {
        Statement statement;
        try {
            statement = ParseStatement(sql);
        } catch (const ComError&) {
            std::abort();
        }
        if (!statement.where || statement.where->column != bank::kTestName || statement.where->text != text)
            std::abort();
    }
    return 0;
}
