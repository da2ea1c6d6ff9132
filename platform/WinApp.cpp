#include "platform/WinApp.h"

#include "platform/MessageBox.h"

#include <QCoreApplication>

namespace platform {

int AfxWinMain(CWinApp& app)
{
    app.m_pszAppName = ApplicationName();
    if (app.InitInstance())
        QCoreApplication::exec();
    return app.ExitInstance();
}

} // namespace platform
