#include "app/QuizApp.h"

#include "platform/MessageBox.h"
#include "platform/SingleInstance.h"
#include "questionbank/BankSchema.h"
#include "quiz/QuizDlg.h"

#include <string>

CQuizApp theApp;

CQuizApp::CQuizApp() = default;

CQuizApp::~CQuizApp()
{
    m_pConnection.Release();
}

bool CQuizApp::InitInstance()
{
    // A second copy ends at once and silently; the first is not brought forward.
    if (!platform::CreateSingleInstanceMutex(m_pszAppName))
        return false;

    m_pConnection.CreateInstance();
    const bool opened = questionbank::GuardedBlock(
        [this] { m_pConnection->Open(std::string(questionbank::bank::kConnectionString), "", "", 0); },
        [](const questionbank::ComError&) {
            platform::AfxMessageBox(QString::fromUtf8(kBankOpenFailedMessage), platform::MB_OK);
        });
    if (!opened)
        return false;

    CQuizDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    return false;
}

int CQuizApp::ExitInstance()
{
    if (m_pConnection) {
        // The process is ending: a failing State or Close changes nothing worth reporting.
        questionbank::GuardedBlock(
            [this] {
                if (m_pConnection->State() != questionbank::adStateClosed)
                    m_pConnection->Close();
            },
            [](const questionbank::ComError&) {});
    }
    m_pConnection.Release();
    return CWinApp::ExitInstance();
}
