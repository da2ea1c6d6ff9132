#include "quiz/QuizDlg.h"

#include "app/QuizApp.h"
#include "links/AboutDlg.h"
#include "platform/MessageBox.h"
#include "questionbank/BankSchema.h"
#include "quiz/TestFlow.h"
#include "res/Resources.h"
#include "res/SiteAddress.h"
#include "update/VersionCheck.h"

#include <string>

using namespace platform;
using questionbank::ComError;
namespace bank = questionbank::bank;

namespace {

const QString kIncompleteData = QStringLiteral("数据不完整，请重新下载软件！");
const QString kCatalogLost = QStringLiteral("数据文件可能已丢失!\r\n请重新启动本软件，如果故障依旧，请重新下载本软件!");

constexpr std::array<int, 5> kAnswerIds
    = { res::IDC_ANSWER_A, res::IDC_ANSWER_B, res::IDC_ANSWER_C, res::IDC_ANSWER_D, res::IDC_ANSWER_E };

void ShowComError(const ComError& error)
{
    AfxMessageBox(QString::fromStdString(questionbank::ComErrorText(error)), MB_OK);
}

bool Guarded(const std::function<void()>& block)
{
    return questionbank::GuardedBlock(block, ShowComError);
}

// A recordset that never opened is released without a close, which would only fail.
void CloseAndRelease(questionbank::RecordsetPtr& recordset)
{
    if (recordset && recordset->State() != questionbank::adStateClosed)
        recordset->Close();
    recordset.Release();
}

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

} // namespace

CQuizDlg::CQuizDlg(QWidget* parent)
    : CDialog(res::QuizDialogTemplate(), parent)
    , m_hIcon(res::LoadIcon(res::IDR_MAINFRAME))
    , m_wndPictureLink(nullptr, false)
{
    OnSelChange(res::IDC_TEST_LIST, [this] { OnSelchangeTestList(); });
    OnClicked(res::IDC_NEXT, [this] { OnNextQuestion(); });
    OnClicked(res::IDC_ABOUT, [this] { OnButtonAbout(); });
    OnClicked(res::IDC_CHECK_VERSION, [this] { OnButtonCheckVersion(); });
}

CQuizDlg::~CQuizDlg() = default;

void CQuizDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, res::IDC_ANSWER_A, m_nAnswer);
    DDX_Control(pDX, res::IDC_ANSWER_A, m_radioA);
    DDX_Control(pDX, res::IDC_NEXT, m_btnNext);
    DDX_Control(pDX, res::IDC_QUESTION, m_editQuestion);
    DDX_Control(pDX, res::IDC_TEST_LIST, m_listTests);
    DDX_Control(pDX, res::IDC_PICTURE, m_wndPictureLink);
}

bool CQuizDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (CMenu* systemMenu = GetSystemMenu(false)) {
        const QString aboutText = res::LoadString(res::IDS_ABOUTBOX);
        if (!aboutText.isEmpty()) {
            systemMenu->AppendMenu(MF_SEPARATOR);
            systemMenu->AppendMenu(MF_STRING, res::IDM_ABOUTBOX, aboutText);
        }
    }

    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    m_wndPictureLink.m_target = res::SiteAddress();
    GetDlgItem(res::IDC_DISCLAIMER)->ShowWindow(SW_HIDE);

    Guarded([this] { questionbank::OpenQuery(m_pRecordset, "SELECT * FROM testname", theApp.m_pConnection); });
    FillTestList();
    if (!Guarded([this] { CloseAndRelease(m_pRecordset); }))
        m_pRecordset.Release();

    m_nOptionValue.fill(0);
    m_nScore = 0;
    OnSelchangeTestList();
    return true;
}

void CQuizDlg::FillTestList()
{
    m_listTests.ResetContent();
    QString name;
    Guarded([&] {
        if (m_pRecordset->BOF()) {
            AfxMessageBox(kCatalogLost, MB_OK);
            return;
        }
        m_pRecordset->MoveFirst();
        while (!m_pRecordset->adoEOF()) {
            const questionbank::Value value = questionbank::ReadField(m_pRecordset, std::string(bank::kTestName));
            if (!value.isNull())
                name = Text(questionbank::FieldText(value));
            m_listTests.AddString(name);
            m_pRecordset->MoveNext();
        }
        m_listTests.SetCurSel(0);
    });
}

void CQuizDlg::OnSysCommand(unsigned id, long lParam)
{
    if ((id & 0xFFF0) == res::IDM_ABOUTBOX) {
        links::CAboutDlg dlgAbout;
        dlgAbout.DoModal();
    } else {
        CDialog::OnSysCommand(id, lParam);
    }
}

void CQuizDlg::OnSelchangeTestList()
{
    QString name;
    const int index = m_listTests.GetCurSel();
    if (index != LB_ERR)
        m_listTests.GetText(index, name);

    m_nScore = 0;
    m_nOptionValue.fill(0);

    GetDlgItem(res::IDC_DISCLAIMER)->ShowWindow(SW_HIDE);
    m_btnNext.ShowWindow(SW_SHOW);
    GetDlgItem(IDC_STATIC)->ShowWindow(SW_SHOW); // the first control with id -1: the group box "您的答案"

    LoadTest(name);
}

void CQuizDlg::LoadTest(QString name)
{
    m_bQuestionRow = false;
    m_editQuestion.SetWindowText(QString());
    const std::string query = quiz::QuestionQuery(name.toStdString());

    if (!Guarded([this] { CloseAndRelease(m_pRecordset); }))
        m_pRecordset.Release();
    if (!Guarded([&] { questionbank::OpenQuery(m_pRecordset, query, theApp.m_pConnection); }))
        return;

    Guarded([this] {
        if (m_pRecordset->BOF()) {
            AfxMessageBox(kIncompleteData, MB_OK);
            return;
        }
        m_pRecordset->MoveFirst();
        m_bQuestionRow = true;
        ShowCurrentQuestion();
        m_nAnswer = 0;
        UpdateData(false);
    });
}

void CQuizDlg::ShowCurrentQuestion()
{
    QString question;
    const questionbank::Value text = questionbank::ReadField(m_pRecordset, std::string(bank::kQuestionText));
    if (!text.isNull())
        question = Text(questionbank::FieldText(text));

    for (std::size_t i = 0; i < kAnswerIds.size(); ++i) {
        const questionbank::Value value = questionbank::ReadField(m_pRecordset, std::string(bank::kAnswerValue[i]));
        CWnd* button = GetDlgItem(kAnswerIds[i]);
        if (value.isNull()) {
            button->ShowWindow(SW_HIDE); // the entry keeps the value it had
        } else {
            m_nOptionValue[i] = questionbank::FieldSmallInt(value);
            button->ShowWindow(SW_SHOW);
        }
    }

    m_editQuestion.SetWindowText(question);
}

void CQuizDlg::OnNextQuestion()
{
    // Without a current question (a failed start or evaluation) or without a selected option
    // there is nothing to count and nothing to advance.
    if (!m_bQuestionRow)
        return;
    UpdateData(true);
    const std::optional<std::int32_t> points = quiz::SelectedPoints(m_nOptionValue, m_nAnswer);
    if (!points)
        return;
    m_nScore = quiz::AddPoints(m_nScore, *points);

    m_nAnswer = 0;
    UpdateData(false);

    Guarded([this] {
        m_pRecordset->MoveNext();
        if (m_pRecordset->adoEOF()) {
            m_bQuestionRow = false;
            m_pRecordset->Close();
            m_pRecordset.Release();
            ShowEvaluation();
            return;
        }
        ShowCurrentQuestion();
    });
}

void CQuizDlg::ShowEvaluation()
{
    QString name;
    const int index = m_listTests.GetCurSel();
    if (index != LB_ERR)
        m_listTests.GetText(index, name);
    const std::string query = quiz::EvaluationQuery(name.toStdString());

    if (!Guarded([this] { CloseAndRelease(m_pRecordset); }))
        m_pRecordset.Release();
    if (!Guarded([&] { questionbank::OpenQuery(m_pRecordset, query, theApp.m_pConnection); }))
        return;

    bool noRow = false;
    Guarded([&] {
        if (m_pRecordset->BOF()) {
            AfxMessageBox(kIncompleteData, MB_OK);
            noRow = true;
            return;
        }
        m_pRecordset->MoveFirst();
    });
    if (noRow)
        return;

    // Steps that the flow leaves unguarded: a failure here is shown, and the last question stays.
    Guarded([this] {
        QString evaluation;
        const auto readBound = [this](int band) -> std::optional<std::int32_t> {
            const questionbank::Value bound
                = questionbank::ReadField(m_pRecordset, std::string(bank::kRankBound[static_cast<std::size_t>(band)]));
            if (bound.isNull())
                return std::nullopt;
            return questionbank::FieldSmallInt(bound);
        };
        if (const std::optional<int> band = quiz::FirstBandReached(readBound, m_nScore)) {
            const questionbank::Value text
                = questionbank::ReadField(m_pRecordset, std::string(bank::kRankText[static_cast<std::size_t>(*band)]));
            if (!text.isNull())
                evaluation = Text(questionbank::FieldText(text));
        }

        m_btnNext.ShowWindow(SW_HIDE);
        for (const int id : kAnswerIds)
            GetDlgItem(id)->ShowWindow(SW_HIDE);
        GetDlgItem(IDC_STATIC)->ShowWindow(SW_HIDE);
        GetDlgItem(res::IDC_DISCLAIMER)->ShowWindow(SW_SHOW);
        m_editQuestion.SetWindowText(evaluation);
    });
}

void CQuizDlg::OnButtonAbout()
{
    links::CAboutDlg dlgAbout;
    dlgAbout.DoModal();
}

void CQuizDlg::OnButtonCheckVersion()
{
    update::RunVersionCheck(theApp.m_pConnection);
}
