#include "RecordAccess.h"

#include "Database.h"
#include "Statement.h"

#include <new>
#include <utility>

namespace questionbank {

namespace {

std::function<bool(ObjectKind)>& CreationHook()
{
    static std::function<bool(ObjectKind)> hook;
    return hook;
}

template <typename T> constexpr ObjectKind KindOf();
template <> constexpr ObjectKind KindOf<Connection>()
{
    return ObjectKind::Connection;
}
template <> constexpr ObjectKind KindOf<Recordset>()
{
    return ObjectKind::Recordset;
}

// What CoCreateInstance reports for a class that is not there.
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHResult(0x80040154);

} // namespace

void SetObjectCreationHook(std::function<bool(ObjectKind)> hook)
{
    CreationHook() = std::move(hook);
}

template <typename T> HRESULT ObjectPtr<T>::CreateInstance()
{
    m_object.reset();
    if (CreationHook() && !CreationHook()(KindOf<T>()))
        return REGDB_E_CLASSNOTREG;
    try {
        m_object = std::make_shared<T>();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

template class ObjectPtr<Connection>;
template class ObjectPtr<Recordset>;

// ---- Connection ----

void Connection::Open(std::shared_ptr<const Database> database, const std::string& databasePassword)
{
    if (m_database)
        throw ComError(adErrObjectOpen);
    if (!database)
        throw ComError(E_POINTER);
    if (!database->acceptsPassword(databasePassword))
        throw ComError(DB_SEC_E_AUTH_FAILED);
    m_database = std::move(database);
}

long Connection::State() const
{
    return m_database ? adStateOpen : adStateClosed;
}

void Connection::Close()
{
    if (!m_database)
        throw ComError(adErrObjectClosed);
    m_database.reset();
}

std::shared_ptr<const Database> Connection::database() const
{
    if (!m_database)
        throw ComError(adErrObjectClosed);
    return m_database;
}

// ---- Recordset ----

struct Recordset::Result {
    // As in ADO the recordset holds its connection; closing that connection closes the recordset.
    ConnectionPtr connection;
    std::shared_ptr<const Database> database; // the one the connection had open at Open
    QueryResult rows;
    std::size_t position = 0; // == rows.rows.size() after the last row

    bool connectionStillOpen() const
    {
        return connection->State() == adStateOpen && connection->database() == database;
    }
};

Recordset::~Recordset() = default;

void Recordset::Open(const std::string& source, const ConnectionPtr& activeConnection, int /*cursorType*/,
    int /*lockType*/, int /*options*/)
{
    if (State() == adStateOpen)
        throw ComError(adErrObjectOpen);
    m_result.reset(); // closed with its connection
    auto database = activeConnection->database();
    Statement statement = ParseStatement(source);
    auto result = std::make_unique<Result>();
    result->rows = database->run(statement);
    result->connection = activeConnection;
    result->database = std::move(database);
    m_result = std::move(result);
}

long Recordset::State() const
{
    return m_result && m_result->connectionStillOpen() ? adStateOpen : adStateClosed;
}

namespace {

// The open result, or adErrObjectClosed when the recordset or its connection has been closed.
template <typename ResultPtr> auto& OpenResult(ResultPtr& result)
{
    if (!result || !result->connectionStillOpen())
        throw ComError(adErrObjectClosed);
    return *result;
}

} // namespace

bool Recordset::BOF() const
{
    const auto& result = OpenResult(m_result);
    return result.rows.rows.empty();
}

bool Recordset::adoEOF() const
{
    const auto& result = OpenResult(m_result);
    return result.position >= result.rows.rows.size();
}

void Recordset::MoveFirst()
{
    auto& result = OpenResult(m_result);
    if (result.rows.rows.empty())
        throw ComError(adErrNoCurrentRecord);
    result.position = 0;
}

void Recordset::MoveNext()
{
    auto& result = OpenResult(m_result);
    if (result.position >= result.rows.rows.size())
        throw ComError(adErrNoCurrentRecord);
    ++result.position;
}

Value Recordset::Collect(const std::string& column) const
{
    const auto& result = OpenResult(m_result);
    auto index = result.rows.table->findColumn(column);
    if (!index)
        throw ComError(adErrItemNotFound);
    if (result.position >= result.rows.rows.size())
        throw ComError(adErrNoCurrentRecord);
    return result.rows.table->table().rows[result.rows.rows[result.position]].at(*index);
}

void Recordset::Close()
{
    OpenResult(m_result);
    m_result.reset();
}

// ---- The shared operations ----

void OpenQuery(RecordsetPtr& recordset, const std::string& statement, const ConnectionPtr& connection)
{
    recordset.CreateInstance(); // on failure the pointer stays null and Open below raises E_POINTER
    recordset->Open(statement, connection, adOpenDynamic, adLockOptimistic, adCmdText);
}

Value ReadField(const RecordsetPtr& recordset, const std::string& column)
{
    return recordset->Collect(column);
}

bool GuardedBlock(const std::function<void()>& block, const std::function<void(const ComError&)>& onError)
{
    try {
        block();
        return true;
    } catch (const ComError& error) {
        if (onError)
            onError(error);
        return false;
    }
}

} // namespace questionbank
