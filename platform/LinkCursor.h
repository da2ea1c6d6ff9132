#pragma once

#include <QCursor>
#include <functional>
#include <optional>

// The pointing-hand cursor that hyperlinks show. Loading it may fail; callers then set no cursor.
namespace platform {

std::optional<QCursor> LoadLinkCursor();

// Test seam: every load goes to `loader`; an empty loader restores the system's. Returns the previous one.
using LinkCursorLoader = std::function<std::optional<QCursor>()>;
LinkCursorLoader SetLinkCursorLoader(LinkCursorLoader loader);

} // namespace platform
