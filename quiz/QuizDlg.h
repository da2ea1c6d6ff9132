#pragma once

#include "links/StaticLink.h"
#include "platform/Controls.h"
#include "platform/Dialog.h"
#include "questionbank/RecordAccess.h"

#include <QIcon>
#include <QString>
#include <array>
#include <cstdint>

// The main dialog: the test catalog on the left, the question, the answers A to E and the
// command buttons on the right.
class CQuizDlg : public platform::CDialog {
public:
    explicit CQuizDlg(QWidget* parent = nullptr);
    ~CQuizDlg() override;

protected:
    void DoDataExchange(platform::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    void OnSysCommand(unsigned id, long lParam) override;

    void FillTestList();
    void OnSelchangeTestList();
    void LoadTest(QString name);
    void ShowCurrentQuestion();
    void OnNextQuestion();
    void ShowEvaluation();
    void OnButtonAbout();
    void OnButtonCheckVersion();

    questionbank::RecordsetPtr m_pRecordset;
    platform::CButton m_radioA;
    platform::CButton m_btnNext;
    platform::CEdit m_editQuestion;
    platform::CListBox m_listTests;
    int m_nAnswer = -1;
    QIcon m_hIcon;
    links::CStaticLink m_wndPictureLink;
    std::array<std::int32_t, 5> m_nOptionValue {};
    std::int32_t m_nScore = 0;
    // Whether m_pRecordset stands on the question on screen; a press of 下一题 does nothing without
    // one (after a failed start or a failed evaluation).
    bool m_bQuestionRow = false;
};
