#include "Shell.h"

#include <QDesktopServices>
#include <QUrl>

#include <utility>

namespace platform {

namespace {
ShellOpenHandler& installedHandler()
{
    static ShellOpenHandler handler;
    return handler;
}
} // namespace

ShellResult ShellExecuteOpen(const QString& target)
{
    if (const ShellOpenHandler& handler = installedHandler())
        return handler(target);
    const QUrl url = QUrl::fromUserInput(target);
    if (!url.isValid())
        return SE_ERR_NOASSOC;
    return QDesktopServices::openUrl(url) ? kShellOpened : SE_ERR_NOASSOC;
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

} // namespace platform
