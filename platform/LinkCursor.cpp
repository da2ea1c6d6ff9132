#include "LinkCursor.h"

#include <utility>

namespace platform {

namespace {
LinkCursorLoader& installedLoader()
{
    static LinkCursorLoader loader;
    return loader;
}
} // namespace

std::optional<QCursor> LoadLinkCursor()
{
    if (const LinkCursorLoader& loader = installedLoader())
        return loader();
    // The platform's own pointing hand stands in for the help viewer's link cursor.
    return QCursor(Qt::PointingHandCursor);
}

LinkCursorLoader SetLinkCursorLoader(LinkCursorLoader loader)
{
    return std::exchange(installedLoader(), std::move(loader));
}

} // namespace platform
