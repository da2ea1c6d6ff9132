#include "access_fixtures.h"
#include "questionbank/TextCompare.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace questionbank {
namespace {

using namespace questionbank::testing;

class RecordsetTest : public ::testing::Test {
protected:
    RecordsetPtr open(const std::string& sql)
    {
        RecordsetPtr recordset;
        OpenQuery(recordset, sql, m_connection);
        return recordset;
    }

    std::vector<Value> column(const std::string& sql, const std::string& name) { return Walk(open(sql), name); }

    ConnectionPtr m_connection = OpenConnection(MemoryBank({ QuestionTable() }));
};

TEST_F(RecordsetTest, WalksAResultFromBofToEof)
{
    RecordsetPtr recordset = open("SELECT * FROM testquestion WHERE testName='性格' ORDER BY ID");
    EXPECT_EQ(recordset->State(), adStateOpen);
    EXPECT_FALSE(recordset->BOF());
    EXPECT_FALSE(recordset->adoEOF());
    // The cursor starts on the first row; MoveFirst keeps it there.
    EXPECT_EQ(recordset->Collect("questionContext"), Text("q1"));
    recordset->MoveFirst();
    std::vector<std::string> seen;
    while (!recordset->adoEOF()) {
        seen.push_back(FieldText(ReadField(recordset, "questionContext")));
        recordset->MoveNext();
    }
    EXPECT_EQ(seen, (std::vector<std::string> { "q1", "q2", "q3" }));
    EXPECT_FALSE(recordset->BOF());
    EXPECT_EQ(ErrorOf([&] { recordset->MoveNext(); }), adErrNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { recordset->Collect("ID"); }), adErrNoCurrentRecord);
    recordset->MoveFirst(); // back to the start after the end
    EXPECT_EQ(recordset->Collect("ID"), Long(1));
    recordset->Close();
    EXPECT_EQ(recordset->State(), adStateClosed);
}

TEST_F(RecordsetTest, AnEmptyResultIsBofAndEof)
{
    RecordsetPtr recordset = open("SELECT * FROM testquestion WHERE testName='nobody'");
    EXPECT_TRUE(recordset->BOF());
    EXPECT_TRUE(recordset->adoEOF());
    EXPECT_EQ(ErrorOf([&] { recordset->MoveFirst(); }), adErrNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { recordset->MoveNext(); }), adErrNoCurrentRecord);
    EXPECT_EQ(ErrorOf([&] { recordset->Collect("ID"); }), adErrNoCurrentRecord);
}

TEST_F(RecordsetTest, CallsOnAClosedRecordsetFail)
{
    RecordsetPtr recordset;
    recordset.CreateInstance();
    const std::pair<const char*, std::function<void()>> calls[] = {
        { "BOF", [&] { recordset->BOF(); } },
        { "EOF", [&] { recordset->adoEOF(); } },
        { "MoveFirst", [&] { recordset->MoveFirst(); } },
        { "MoveNext", [&] { recordset->MoveNext(); } },
        { "Collect", [&] { recordset->Collect("ID"); } },
        { "Close", [&] { recordset->Close(); } },
    };
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(name);
        EXPECT_EQ(recordset->State(), adStateClosed);
        EXPECT_EQ(ErrorOf(call), adErrObjectClosed);
    }
    // And once more after a close: a closed recordset can be opened again.
    recordset->Open("SELECT * FROM testquestion", m_connection, adOpenDynamic, adLockOptimistic, adCmdText);
    recordset->Close();
    for (const auto& [name, call] : calls) {
        SCOPED_TRACE(std::string(name) + " after Close");
        EXPECT_EQ(ErrorOf(call), adErrObjectClosed);
    }
}

TEST_F(RecordsetTest, ClosingTheConnectionClosesItsRecordsets)
{
    RecordsetPtr recordset = open("SELECT * FROM testquestion");
    m_connection->Close();
    EXPECT_EQ(recordset->State(), adStateClosed);
    EXPECT_EQ(ErrorOf([&] { recordset->adoEOF(); }), adErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { recordset->Collect("ID"); }), adErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { recordset->Close(); }), adErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { open("SELECT * FROM testquestion"); }), adErrObjectClosed);
    // Reopened, even on the same bank, the connection does not bring the old recordset back.
    m_connection->Open(MemoryBank({ QuestionTable() }), "");
    EXPECT_EQ(recordset->State(), adStateClosed);
    recordset->Open("SELECT * FROM testquestion", m_connection, adOpenDynamic, adLockOptimistic, adCmdText);
    EXPECT_EQ(recordset->Collect("ID"), Long(3));
}

TEST(RecordsetLifetimeTest, ARecordsetKeepsItsConnectionAlive)
{
    RecordsetPtr recordset;
    OpenQuery(recordset, "SELECT * FROM testquestion", OpenConnection(MemoryBank({ QuestionTable() })));
    EXPECT_EQ(recordset->State(), adStateOpen);
    EXPECT_EQ(recordset->Collect("ID"), Long(3));
}

TEST_F(RecordsetTest, OpenReportsTheFaultsOfItsStatementAndObjects)
{
    struct Case {
        const char* name;
        const char* sql;
        HRESULT expected;
    };
    const Case cases[] = {
        { "missing table", "SELECT * FROM nosuchtable", DB_E_NOTABLE },
        { "unknown WHERE column", "SELECT * FROM testquestion WHERE nosuch='a'", DB_E_PARAMNOTOPTIONAL },
        { "unknown ORDER BY column", "SELECT * FROM testquestion ORDER BY nosuch", DB_E_PARAMNOTOPTIONAL },
        { "text against a number column", "SELECT * FROM testquestion WHERE ID='1'", DB_E_CANTCONVERTVALUE },
        { "syntax before the table is looked up", "SELECT * FROM nosuchtable WHERE", DB_E_ERRORSINCOMMAND },
        { "an unescaped apostrophe", "SELECT * FROM testquestion WHERE testName='x' OR '1'='1' ORDER BY ID",
            DB_E_ERRORSINCOMMAND },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordsetPtr recordset;
        EXPECT_EQ(ErrorOf([&] { OpenQuery(recordset, c.sql, m_connection); }), c.expected);
        EXPECT_EQ(recordset->State(), adStateClosed);
    }

    RecordsetPtr recordset = open("SELECT * FROM testquestion");
    EXPECT_EQ(ErrorOf([&] {
        recordset->Open("SELECT * FROM testquestion", m_connection, adOpenDynamic, adLockOptimistic, adCmdText);
    }),
        adErrObjectOpen);
    RecordsetPtr fresh;
    fresh.CreateInstance();
    EXPECT_EQ(ErrorOf([&] {
        fresh->Open("SELECT * FROM testquestion", ConnectionPtr(), adOpenDynamic, adLockOptimistic, adCmdText);
    }),
        E_POINTER);
    EXPECT_EQ(ErrorOf([&] { RecordsetPtr()->BOF(); }), E_POINTER);
}

TEST_F(RecordsetTest, CollectChecksTheColumnBeforeTheCurrentRow)
{
    RecordsetPtr recordset = open("SELECT * FROM testquestion");
    EXPECT_EQ(recordset->Collect("QUESTIONCONTEXT"), Text("q3")); // names are case-insensitive
    EXPECT_EQ(ErrorOf([&] { ReadField(recordset, "nosuch"); }), adErrItemNotFound);
    while (!recordset->adoEOF())
        recordset->MoveNext();
    EXPECT_EQ(ErrorOf([&] { ReadField(recordset, "nosuch"); }), adErrItemNotFound);
}

TEST(RecordsetColumnTest, FindsColumnsIgnoringTheCaseOfLatinLetters)
{
    Table table { "t", { { "Größe", ColumnType::Long }, { "İD", ColumnType::Long }, { "名称", ColumnType::Text } },
        { Row { Long(1), Long(2), Text("v") } } };
    RecordsetPtr recordset;
    OpenQuery(recordset, "SELECT * FROM T", OpenConnection(MemoryBank({ table })));
    const std::pair<const char*, Value> found[] = { { "GRÖSSE", Value() }, { "GRÖßE", Long(1) }, { "größe", Long(1) },
        { "id", Long(2) }, { "名称", Text("v") } };
    for (const auto& [name, value] : found) {
        SCOPED_TRACE(name);
        if (value.type() == VarType::Empty)
            EXPECT_EQ(ErrorOf([&] { recordset->Collect(name); }), adErrItemNotFound);
        else
            EXPECT_EQ(recordset->Collect(name), value);
    }
}

TEST_F(RecordsetTest, SelectStarGivesEveryColumnAndRowInFileOrder)
{
    EXPECT_EQ(column("SELECT * FROM TestQuestion", "questionContext"),
        (std::vector<Value> {
            Text("q3"), Text("q1"), Text("m2"), Text("m1"), Text("orphan"), Text("inj"), Text("q2") }));
    RecordsetPtr recordset = open("SELECT * FROM [testquestion];");
    EXPECT_EQ(recordset->Collect("answerCValue"), Value::null());
}

TEST_F(RecordsetTest, WhereMatchesTextInGeneralOrderAndOnlyItsOwnRows)
{
    struct Case {
        const char* name;
        const char* sql;
        std::vector<Value> ids;
    };
    const Case cases[] = {
        { "case-insensitive", "SELECT * FROM testquestion WHERE testName='mood' ORDER BY ID", { Long(1), Long(2) } },
        { "column name in another case", "SELECT * FROM testquestion WHERE TESTNAME='MoOd' ORDER BY id",
            { Long(1), Long(2) } },
        { "NULL never matches", "SELECT * FROM testquestion WHERE testName=''", {} },
        { "escaped injection finds only its own row", "SELECT * FROM testquestion WHERE testName='x'' OR ''1''=''1'",
            { Long(5) } },
        { "a trailing blank is part of the text", "SELECT * FROM testquestion WHERE testName='Mood '", {} },
        { "a memo column", "SELECT * FROM testquestion WHERE questionContext='Q1'", { Long(1) } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(column(c.sql, "ID"), c.ids);
    }
}

// A table with one column of each kind and rows whose sort keys tie, to see stability.
Table SortTable()
{
    auto row = [](int order, Value number, Value text, Value real, const char* decimal) {
        return Row { Long(order), std::move(number), std::move(text), std::move(real),
            decimal ? Value(Decimal { decimal }) : Value::null() };
    };
    return Table { "sorts",
        { { "fileOrder", ColumnType::Long }, { "number", ColumnType::Long }, { "text", ColumnType::Text },
            { "real", ColumnType::Double }, { "decimal", ColumnType::Numeric } },
        { row(0, Long(10), Text("b"), Value(2.5), "10"), row(1, Long(9), Text("B"), Value(-1.0), "9.99"),
            row(2, Value::null(), Value::null(), Value::null(), nullptr),
            row(3, Long(100), Text("a"), Value(10.0), "-1.5"), row(4, Long(-3), Text("é"), Value(2.5), "100"),
            row(5, Long(9), Text("e"), Value::null(), "0.001"), row(6, Long(10), Text("10"), Value(1e-3), "-20"),
            row(7, Long(9), Text("9"), Value(-1.0), "9.99") } };
}

TEST(RecordsetOrderTest, SortsNumbersAndTextNullsFirstTiesInFileOrder)
{
    ConnectionPtr connection = OpenConnection(MemoryBank({ SortTable() }));
    auto order = [&](const std::string& sql) {
        RecordsetPtr recordset;
        OpenQuery(recordset, sql, connection);
        std::vector<int> rows;
        for (const auto& value : Walk(recordset, "fileOrder"))
            rows.push_back(value.get<std::int32_t>());
        return rows;
    };
    struct Case {
        const char* name;
        const char* sql;
        std::vector<int> rows;
    };
    const Case cases[] = {
        { "numbers as numbers", "SELECT * FROM sorts ORDER BY number", { 2, 4, 1, 5, 7, 0, 6, 3 } },
        { "ASC is the default", "SELECT * FROM sorts ORDER BY number ASC", { 2, 4, 1, 5, 7, 0, 6, 3 } },
        { "DESC reverses, NULL last, ties still in file order", "SELECT * FROM sorts ORDER BY number DESC",
            { 3, 0, 6, 1, 5, 7, 4, 2 } },
        { "text in General order, case ties stable", "SELECT * FROM sorts ORDER BY text", { 2, 6, 7, 3, 0, 1, 5, 4 } },
        { "text descending", "SELECT * FROM sorts ORDER BY text DESC", { 4, 5, 0, 1, 3, 7, 6, 2 } },
        { "doubles", "SELECT * FROM sorts ORDER BY real", { 2, 5, 1, 7, 6, 0, 4, 3 } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(order(c.sql), c.rows);
    }
}

// Counts how often each table is decoded, and can fail like a damaged file.
class CountingSource : public TableSource {
public:
    explicit CountingSource(int* reads)
        : m_reads(reads)
    {
    }
    std::string password() const override { return {}; }
    std::optional<std::string> findTable(std::string_view name) const override
    {
        for (const char* table : { "damaged", "testquestion" })
            if (TextEqual(table, name))
                return std::string(table);
        return std::nullopt;
    }
    Table readTable(const std::string& name) const override
    {
        ++*m_reads;
        if (name == "damaged")
            throw std::runtime_error("page chain loops");
        return QuestionTable();
    }

private:
    int* m_reads;
};

TEST(RecordsetCacheTest, DecodesEachTableOnceAndReportsADamagedOne)
{
    int reads = 0;
    ConnectionPtr connection
        = OpenConnection(std::make_shared<const Database>(std::make_unique<const CountingSource>(&reads)));
    for (const char* sql : { "SELECT * FROM testquestion", "SELECT * FROM testquestion WHERE testName='Mood'",
             "SELECT * FROM TESTQUESTION WHERE testName='性格' ORDER BY ID" }) {
        RecordsetPtr recordset;
        OpenQuery(recordset, sql, connection);
    }
    EXPECT_EQ(reads, 1);
    RecordsetPtr recordset;
    EXPECT_EQ(ErrorOf([&] { OpenQuery(recordset, "SELECT * FROM damaged", connection); }), E_FAIL);
}

TEST(ObjectCreationTest, AFailedCreationLeavesANullPointerAndOpenRaisesEPointer)
{
    ConnectionPtr connection = OpenConnection(MemoryBank({ QuestionTable() }));
    RecordsetPtr recordset;
    OpenQuery(recordset, "SELECT * FROM testquestion", connection);
    ASSERT_TRUE(recordset);

    SetObjectCreationHook([](ObjectKind kind) { return kind != ObjectKind::Recordset; });
    EXPECT_TRUE(Failed(recordset.CreateInstance()));
    EXPECT_FALSE(recordset); // the old object is released all the same
    std::string shown;
    bool ran = GuardedBlock([&] { OpenQuery(recordset, "SELECT * FROM testquestion", connection); },
        [&](const ComError& error) { shown = ComErrorText(error); });
    ConnectionPtr otherConnection;
    EXPECT_EQ(otherConnection.CreateInstance(), S_OK); // the hook refused only recordsets
    SetObjectCreationHook([](ObjectKind kind) { return kind != ObjectKind::Connection; });
    EXPECT_TRUE(Failed(otherConnection.CreateInstance()));
    EXPECT_EQ(ErrorOf([&] { otherConnection->State(); }), E_POINTER);
    SetObjectCreationHook(nullptr);
    EXPECT_FALSE(ran);
    EXPECT_EQ(shown, "无效指针");
    EXPECT_EQ(recordset.CreateInstance(), S_OK);
}

TEST(GuardedBlockTest, EndsTheBlockAtTheFailingCallAndKeepsWhatWasDone)
{
    int steps = 0;
    HRESULT caught = S_OK;
    bool ran = GuardedBlock(
        [&] {
            ++steps;
            throw ComError(DB_E_NOTABLE);
            ++steps;
        },
        [&](const ComError& error) { caught = error.Error(); });
    EXPECT_FALSE(ran);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(caught, DB_E_NOTABLE);
    EXPECT_TRUE(GuardedBlock([&] { ++steps; }, [&](const ComError&) { ADD_FAILURE(); }));
    EXPECT_EQ(steps, 2);
    // Other exceptions are not ComErrors and pass through.
    EXPECT_THROW(GuardedBlock([] { throw std::logic_error("bug"); }, [](const ComError&) {}), std::logic_error);
}

TEST(ConnectionTest, OpensOnADatabaseWithItsPasswordAndKeepsItsStates)
{
    auto bank = MemoryBank({ QuestionTable() }, "Secret1");
    ConnectionPtr connection;
    connection.CreateInstance();
    EXPECT_EQ(connection->State(), adStateClosed);
    EXPECT_EQ(ErrorOf([&] { connection->Close(); }), adErrObjectClosed);
    EXPECT_EQ(ErrorOf([&] { connection->Open(bank, "secret1"); }), DB_SEC_E_AUTH_FAILED);
    EXPECT_EQ(ErrorOf([&] { connection->Open(bank, ""); }), DB_SEC_E_AUTH_FAILED);
    EXPECT_EQ(connection->State(), adStateClosed);
    connection->Open(bank, "Secret1");
    EXPECT_EQ(connection->State(), adStateOpen);
    EXPECT_EQ(ErrorOf([&] { connection->Open(bank, "Secret1"); }), adErrObjectOpen);
    connection->Close();
    EXPECT_EQ(connection->State(), adStateClosed);
    // Without a password any one opens it.
    connection->Open(MemoryBank({}), "whatever");
    EXPECT_EQ(connection->State(), adStateOpen);
}

} // namespace
} // namespace questionbank
