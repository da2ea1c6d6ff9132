// Connection::Open with a connection string: the one way in that reads a file. Kept apart so that
// code using databases held in memory does not need the Jet reader.

#include "ConnectionString.h"
#include "Database.h"
#include "RecordAccess.h"

namespace questionbank {

namespace {

constexpr std::string_view kProvider = "Microsoft.Jet.OLEDB.4.0";

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + ('a' - 'A'));
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + ('a' - 'A'));
        if (x != y)
            return false;
    }
    return true;
}

} // namespace

void Connection::Open(const std::string& connectionString, const std::string& /*userId*/,
    const std::string& /*password*/, long /*options*/)
{
    // The user name and password are the workgroup's; a question bank has none, only its database password.
    if (m_database)
        throw ComError(adErrObjectOpen);
    auto keys = ConnectionString::Parse(connectionString);
    auto provider = keys.value("Provider");
    if (!provider || !EqualsIgnoringAsciiCase(*provider, kProvider))
        throw ComError(adErrProviderNotFound);
    auto source = keys.value("Data Source");
    if (!source || source->empty())
        throw ComError(E_FAIL);
    auto database = Database::OpenFile(std::filesystem::path(*source));
    Open(database, keys.value("Jet OLEDB:Database Password").value_or(std::string()));
}

} // namespace questionbank
