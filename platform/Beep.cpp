#include "Beep.h"

#include <QApplication>
#include <utility>

namespace platform {

namespace {
BeepHandler& installedHandler()
{
    static BeepHandler handler;
    return handler;
}
} // namespace

void MessageBeep(UINT type)
{
    if (const BeepHandler& handler = installedHandler()) {
        handler(type);
        return;
    }
    QApplication::beep();
}

BeepHandler SetBeepHandler(BeepHandler handler)
{
    return std::exchange(installedHandler(), std::move(handler));
}

} // namespace platform
