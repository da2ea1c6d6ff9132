// libFuzzer target: the cookie cut and the version comparison on any text. The input is split at
// its first two NUL bytes into a cookie text, a version and another version.
#include "update/VersionCheck.h"

#include <QString>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

QString Part(std::string_view& rest)
{
    const std::size_t end = rest.find('\0');
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return QString::fromUtf8(part.data(), static_cast<qsizetype>(part.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const QString cookie = Part(rest);
    const QString a = Part(rest);
    const QString b = rest.empty() ? a : Part(rest);

    for (const QString& name :
        { QStringLiteral("CurSoftVer"), QStringLiteral("CurDatabaseVer"), QStringLiteral("C"), QString(), a }) {
        const QString value = update::CutCookieValue(cookie, name);
        // What is cut lies inside the text, after the name, and holds no ';'.
        if (value.contains(QLatin1Char(';')) || !cookie.contains(value))
            std::abort();
    }

    const bool after = update::VersionSortsAfter(a, b);
    const bool before = update::VersionSortsAfter(b, a);
    if (after && before)
        std::abort();
    if (a.toUtf8() == b.toUtf8() && (after || before))
        std::abort();
    if (a.toUtf8() != b.toUtf8() && !after && !before)
        std::abort();
    if (update::VersionSortsAfter(a, a))
        std::abort();
    return 0;
}
