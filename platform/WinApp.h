#pragma once

#include <QString>

// The application object of a dialog-based program: InitInstance runs the whole program,
// ExitInstance cleans up and gives the exit code.
namespace platform {

class CWnd;

class CWinApp {
public:
    CWinApp() = default;
    virtual ~CWinApp() = default;
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // False ends the program without a message loop of the application's own.
    virtual bool InitInstance() { return false; }
    virtual int ExitInstance() { return 0; }

    // The executable's base name; set by AfxWinMain before InitInstance.
    QString m_pszAppName;
    CWnd* m_pMainWnd = nullptr;
};

// The framework's start: names the application, runs InitInstance and then ExitInstance, whose
// result is the process exit code. Needs the QApplication to exist.
int AfxWinMain(CWinApp& app);

} // namespace platform
