#pragma once

#include "platform/WinApp.h"
#include "questionbank/RecordAccess.h"

// The application object: the single-instance guard, the one connection to the question bank,
// and the main dialog's modal run.
class CQuizApp : public platform::CWinApp {
public:
    CQuizApp();
    ~CQuizApp() override;

    bool InitInstance() override;
    int ExitInstance() override;

    // The one connection, opened at start and closed at exit; every query runs on it.
    questionbank::ConnectionPtr m_pConnection;
};

extern CQuizApp theApp;

// Shown when the question bank cannot be opened.
inline constexpr char kBankOpenFailedMessage[] = "程序读取信息出错,请确认tovra.mdb文件是否与软件在同一目录下!";
