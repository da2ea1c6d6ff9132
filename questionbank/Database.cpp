#include "Database.h"

#include "ComError.h"
#include "TextCompare.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <numeric>
#include <stdexcept>
#include <variant>

namespace questionbank {

namespace {

bool IsAsciiName(std::string_view name)
{
    for (char c : name)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool IsTextColumn(ColumnType type)
{
    return type == ColumnType::Text || type == ColumnType::Memo;
}

// What ORDER BY compares: numbers as numbers, text in General order, bytes byte-wise.
struct SortKey {
    enum class Kind { Null, Number, Text, Bytes } kind = Kind::Null;
    long double number = 0;
    TextSortKey text;
    const Bytes* bytes = nullptr;
};

// Not strtold: the process locale may want a comma.
long double DecimalNumber(const Decimal& value)
{
    long double number = 0;
    std::from_chars(value.text.data(), value.text.data() + value.text.size(), number);
    return number;
}

SortKey MakeSortKey(const Value& value)
{
    SortKey key;
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::monostate> || std::is_same_v<T, Null>) {
                key.kind = SortKey::Kind::Null;
            } else if constexpr (std::is_same_v<T, bool>) {
                key.kind = SortKey::Kind::Number;
                key.number = v ? -1 : 0; // Jet's Yes is -1
            } else if constexpr (std::is_same_v<T, Currency>) {
                key.kind = SortKey::Kind::Number;
                key.number = static_cast<long double>(v.scaled) / 10000;
            } else if constexpr (std::is_same_v<T, OleDate>) {
                key.kind = SortKey::Kind::Number;
                key.number = v.days;
            } else if constexpr (std::is_same_v<T, Decimal>) {
                key.kind = SortKey::Kind::Number;
                key.number = DecimalNumber(v);
            } else if constexpr (std::is_same_v<T, std::string>) {
                key.kind = SortKey::Kind::Text;
                key.text = MakeTextSortKey(v);
            } else if constexpr (std::is_same_v<T, Bytes>) {
                key.kind = SortKey::Kind::Bytes;
                key.bytes = &v;
            } else {
                key.kind = SortKey::Kind::Number;
                key.number = static_cast<long double>(v);
            }
        },
        value.storage());
    return key;
}

// Strict weak order with NULLs first.
bool SortsBefore(const SortKey& a, const SortKey& b)
{
    if (a.kind != b.kind)
        return a.kind < b.kind; // one column holds one type; NULLs first
    switch (a.kind) {
    case SortKey::Kind::Null:
        return false;
    case SortKey::Kind::Number:
        return a.number < b.number;
    case SortKey::Kind::Text:
        return a.text < b.text;
    case SortKey::Kind::Bytes:
        return *a.bytes < *b.bytes;
    }
    return false;
}

class MemoryTableSource : public TableSource {
public:
    MemoryTableSource(std::vector<Table> tables, std::string password)
        : m_tables(std::move(tables))
        , m_password(std::move(password))
    {
    }

    std::string password() const override { return m_password; }

    std::optional<std::string> findTable(std::string_view name) const override
    {
        for (const auto& table : m_tables)
            if (TextEqual(table.name, name))
                return table.name;
        return std::nullopt;
    }

    Table readTable(const std::string& storedName) const override
    {
        for (const auto& table : m_tables)
            if (table.name == storedName)
                return table;
        throw std::out_of_range(storedName);
    }

private:
    std::vector<Table> m_tables;
    std::string m_password;
};

std::unique_ptr<CachedTable> Decode(const TableSource& source, const std::string& storedName)
{
    try {
        return std::make_unique<CachedTable>(source.readTable(storedName));
    } catch (const std::out_of_range&) {
        throw ComError(DB_E_NOTABLE);
    } catch (const std::bad_alloc&) {
        throw ComError(E_OUTOFMEMORY);
    } catch (const std::exception&) {
        throw ComError(E_FAIL);
    }
}

} // namespace

CachedTable::CachedTable(Table table)
    : m_table(std::move(table))
    , m_indexes(m_table.columns.size())
{
    for (std::size_t i = 0; i < m_table.columns.size(); ++i) {
        m_foldedNames.push_back(FoldText(m_table.columns[i].name));
        m_columns.emplace(m_foldedNames.back(), i);
    }
}

std::optional<std::size_t> CachedTable::findColumn(std::string_view name) const
{
    // Every field read asks by name: plain ASCII names need no folded copy.
    if (IsAsciiName(name)) {
        for (std::size_t i = 0; i < m_foldedNames.size(); ++i)
            if (EqualsIgnoringAsciiCase(m_foldedNames[i], name))
                return i;
        return std::nullopt;
    }
    auto it = m_columns.find(FoldText(name));
    if (it == m_columns.end())
        return std::nullopt;
    return it->second;
}

const std::vector<std::uint32_t>& CachedTable::rowsMatching(std::size_t column, std::string_view text) const
{
    static const std::vector<std::uint32_t> kNone;
    auto& index = m_indexes.at(column);
    if (!index) {
        auto built = std::make_unique<Index>();
        for (std::size_t row = 0; row < m_table.rows.size(); ++row) {
            if (const auto* value = m_table.rows[row].at(column).getIf<std::string>())
                (*built)[FoldText(*value)].push_back(static_cast<std::uint32_t>(row));
        }
        index = std::move(built);
    }
    auto it = index->find(FoldText(text));
    return it == index->end() ? kNone : it->second;
}

Database::Database(std::unique_ptr<const TableSource> source)
    : m_source(std::move(source))
    , m_password(m_source->password())
{
}

Database::Database(std::vector<Table> tables, std::string password)
    : Database(std::make_unique<const MemoryTableSource>(std::move(tables), std::move(password)))
{
}

Database::~Database() = default;

bool Database::acceptsPassword(std::string_view password) const
{
    return m_password.empty() || password == m_password;
}

const CachedTable& Database::table(std::string_view name) const
{
    std::optional<std::string> storedName;
    try {
        storedName = m_source->findTable(name);
    } catch (const std::bad_alloc&) {
        throw ComError(E_OUTOFMEMORY);
    } catch (const std::exception&) {
        throw ComError(E_FAIL);
    }
    if (!storedName)
        throw ComError(DB_E_NOTABLE);
    auto it = m_tables.find(*storedName);
    if (it == m_tables.end())
        it = m_tables.emplace(*storedName, Decode(*m_source, *storedName)).first;
    return *it->second;
}

QueryResult Database::run(const Statement& statement) const
{
    QueryResult result;
    result.table = &table(statement.table);
    const Table& data = result.table->table();

    if (statement.where) {
        auto column = result.table->findColumn(statement.where->column);
        if (!column)
            throw ComError(DB_E_PARAMNOTOPTIONAL);
        if (!IsTextColumn(data.columns[*column].type))
            throw ComError(DB_E_CANTCONVERTVALUE);
        result.rows = result.table->rowsMatching(*column, statement.where->text);
    } else {
        result.rows.resize(data.rows.size());
        std::iota(result.rows.begin(), result.rows.end(), 0u);
    }

    if (statement.orderBy) {
        auto column = result.table->findColumn(statement.orderBy->column);
        if (!column)
            throw ComError(DB_E_PARAMNOTOPTIONAL);
        std::vector<std::pair<SortKey, std::uint32_t>> keyed;
        keyed.reserve(result.rows.size());
        for (auto row : result.rows)
            keyed.emplace_back(MakeSortKey(data.rows[row].at(*column)), row);
        // Stable both ways: equal keys keep file order, also when descending.
        if (statement.orderBy->descending)
            std::stable_sort(
                keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return SortsBefore(b.first, a.first); });
        else
            std::stable_sort(
                keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return SortsBefore(a.first, b.first); });
        for (std::size_t i = 0; i < keyed.size(); ++i)
            result.rows[i] = keyed[i].second;
    }
    return result;
}

} // namespace questionbank
