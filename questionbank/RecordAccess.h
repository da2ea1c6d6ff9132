#pragma once

#include "ComError.h"
#include "Value.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace questionbank {

class Connection;
class Recordset;

// A reference-counting pointer to a record-access object. A call made through a null pointer
// raises ComError(E_POINTER), as a call through a null COM smart pointer does.
template <typename T> class ObjectPtr {
public:
    ObjectPtr() = default;
    ObjectPtr(std::nullptr_t) { }

    // Creates a fresh object into the pointer, releasing the one held before. Never throws:
    // on failure (see SetObjectCreationHook) the pointer stays null and a failing code comes back.
    HRESULT CreateInstance();

    T* operator->() const
    {
        if (!m_object)
            throw ComError(E_POINTER);
        return m_object.get();
    }
    T* get() const { return m_object.get(); }
    explicit operator bool() const { return m_object != nullptr; }
    void Release() { m_object.reset(); }
    ObjectPtr& operator=(std::nullptr_t)
    {
        m_object.reset();
        return *this;
    }

private:
    std::shared_ptr<T> m_object;
};

using ConnectionPtr = ObjectPtr<Connection>;
using RecordsetPtr = ObjectPtr<Recordset>;

// Object states, as ADO's State property reports them.
inline constexpr long adStateClosed = 0;
inline constexpr long adStateOpen = 1;

// ADO's cursor, lock and command options; accepted and not otherwise used (the bank is read-only).
inline constexpr int adOpenDynamic = 2;
inline constexpr int adLockOptimistic = 3;
inline constexpr int adCmdText = 1;

// Test seam: decides whether CreateInstance succeeds (it always does without a hook).
enum class ObjectKind { Connection, Recordset };
void SetObjectCreationHook(std::function<bool(ObjectKind)> hook);

class Database; // the opened file (questionbank/Database.h)

// The one connection to a question bank.
class Connection {
public:
    // connectionString: "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=FILE;Jet OLEDB:Database Password=PW".
    // Keys are case-insensitive; only the Jet 4.0 provider is accepted; Data Source is opened relative to
    // the current directory and read-only. Errors: adErrProviderNotFound, E_FAIL (missing, unreadable,
    // damaged or non-Jet file), DB_SEC_E_AUTH_FAILED (password), adErrObjectOpen (already open).
    void Open(
        const std::string& connectionString, const std::string& userId, const std::string& password, long options);
    // Opens the connection on a database already at hand (tests and tools), checking `databasePassword`
    // as Open checks the connection string's. Errors: adErrObjectOpen, E_POINTER, DB_SEC_E_AUTH_FAILED.
    void Open(std::shared_ptr<const Database> database, const std::string& databasePassword);
    long State() const;
    void Close(); // adErrObjectClosed when not open

    // For Recordset::Open: the opened database; adErrObjectClosed when not open.
    std::shared_ptr<const Database> database() const;

private:
    std::shared_ptr<const Database> m_database;
};

// A forward-walkable, read-only result of one statement.
class Recordset {
public:
    ~Recordset();
    // source: SELECT * FROM table [WHERE column = 'text'] [ORDER BY column [ASC|DESC]].
    // Errors: E_POINTER (null connection), adErrObjectClosed (connection not open), adErrObjectOpen,
    // DB_E_ERRORSINCOMMAND, DB_E_NOTABLE, DB_E_PARAMNOTOPTIONAL, DB_E_CANTCONVERTVALUE, E_FAIL (damaged table).
    void Open(
        const std::string& source, const ConnectionPtr& activeConnection, int cursorType, int lockType, int options);
    long State() const;
    bool BOF() const;
    // Named after the ADO property; "EOF" itself is a macro of <cstdio>.
    bool adoEOF() const;
    void MoveFirst();
    void MoveNext();
    // The value of a column (case-insensitive name) on the current row.
    // adErrItemNotFound for a column the result lacks, adErrNoCurrentRecord with no current row.
    Value Collect(const std::string& column) const;
    void Close();

private:
    struct Result;
    std::unique_ptr<Result> m_result; // null while closed
};

// ---- The shared operations of the program's queries ----

// Creates a fresh recordset into `recordset` (creation never throws) and opens `statement` on
// `connection` with the program's cursor, lock and command options.
void OpenQuery(RecordsetPtr& recordset, const std::string& statement, const ConnectionPtr& connection);

// The value of `column` on the current row.
Value ReadField(const RecordsetPtr& recordset, const std::string& column);

// A non-NULL value as text: text unchanged, anything else converted (DISP_E_TYPEMISMATCH where it cannot be).
std::string FieldText(const Value& value);

// A non-NULL value as a 16-bit signed number widened to 32 bits: the low 16 bits of an integer value;
// another value only where it converts exactly (DISP_E_TYPEMISMATCH / DISP_E_OVERFLOW otherwise).
std::int32_t FieldSmallInt(const Value& value);

// Runs `block`; a ComError raised in it ends the block and goes to `onError`. Returns whether the block
// ran to its end.
bool GuardedBlock(const std::function<void()>& block, const std::function<void(const ComError&)>& onError);

// CreateInstance is defined once, in RecordAccess.cpp, for these two.
extern template class ObjectPtr<Connection>;
extern template class ObjectPtr<Recordset>;

} // namespace questionbank
