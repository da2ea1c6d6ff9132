// The Jet file behind a Database. Kept apart so that code using databases held in memory does not
// need the reader.

#include "ComError.h"
#include "Database.h"
#include "jet/JetReader.h"

#include <new>

namespace questionbank {

namespace {

class JetTableSource : public TableSource {
public:
    explicit JetTableSource(jet::JetFile file)
        : m_file(std::move(file))
    {
    }

    std::string password() const override { return m_file.password(); }
    std::optional<std::string> findTable(std::string_view name) const override { return m_file.findTable(name); }
    Table readTable(const std::string& storedName) const override { return m_file.readTable(storedName); }

private:
    jet::JetFile m_file;
};

} // namespace

std::shared_ptr<const Database> Database::OpenJetFile(jet::JetFile file)
{
    return std::make_shared<const Database>(std::make_unique<const JetTableSource>(std::move(file)));
}

std::shared_ptr<const Database> Database::OpenFile(const std::filesystem::path& path)
{
    try {
        return OpenJetFile(jet::JetFile::open(path));
    } catch (const std::bad_alloc&) {
        throw ComError(E_OUTOFMEMORY);
    } catch (const std::exception&) {
        // Jet reports a missing, locked, damaged or foreign file alike.
        throw ComError(E_FAIL);
    }
}

} // namespace questionbank
