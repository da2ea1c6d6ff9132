#pragma once

#include "questionbank/ComError.h"
#include "questionbank/Database.h"
#include "questionbank/RecordAccess.h"

#include <memory>
#include <string>
#include <vector>

namespace questionbank::testing {

// The code a call raises, or S_OK when it raises nothing.
template <typename Call> HRESULT ErrorOf(Call&& call)
{
    try {
        call();
    } catch (const ComError& error) {
        return error.Error();
    }
    return S_OK;
}

inline Value Text(const char* text)
{
    return Value(text);
}

inline Value Int(std::int16_t value)
{
    return Value(value);
}

inline Value Long(std::int32_t value)
{
    return Value(value);
}

// A question table small enough to read in one glance: two tests, unsorted IDs, a NULL test name,
// a name with an apostrophe and names that differ only in case.
inline Table QuestionTable()
{
    auto row = [](std::int32_t id, Value name, const char* question) {
        return Row { Long(id), std::move(name), Text(question), Int(1), Int(2), Value::null(), Value::null(),
            Value::null() };
    };
    return Table { "testquestion",
        { { "ID", ColumnType::Long }, { "testName", ColumnType::Text }, { "questionContext", ColumnType::Memo },
            { "answerAValue", ColumnType::Integer }, { "answerBValue", ColumnType::Integer },
            { "answerCValue", ColumnType::Integer }, { "answerDValue", ColumnType::Integer },
            { "answerEValue", ColumnType::Integer } },
        { row(3, Text("性格"), "q3"), row(1, Text("性格"), "q1"), row(2, Text("Mood"), "m2"),
            row(1, Text("MOOD"), "m1"), row(7, Value::null(), "orphan"), row(5, Text("x' OR '1'='1"), "inj"),
            row(2, Text("性格"), "q2") } };
}

inline std::shared_ptr<const Database> MemoryBank(std::vector<Table> tables, std::string password = {})
{
    return std::make_shared<const Database>(std::move(tables), std::move(password));
}

inline ConnectionPtr OpenConnection(std::shared_ptr<const Database> database, const std::string& password = {})
{
    ConnectionPtr connection;
    connection.CreateInstance();
    connection->Open(std::move(database), password);
    return connection;
}

// Every row of a result: the values of `column` in the order the recordset walks them.
inline std::vector<Value> Walk(const RecordsetPtr& recordset, const std::string& column)
{
    std::vector<Value> values;
    if (recordset->BOF())
        return values;
    recordset->MoveFirst();
    while (!recordset->adoEOF()) {
        values.push_back(recordset->Collect(column));
        recordset->MoveNext();
    }
    return values;
}

} // namespace questionbank::testing
