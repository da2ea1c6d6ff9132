#pragma once

#include "BankFixture.h"
#include "Recorders.h"
#include "app/QuizApp.h"
#include "platform/Dialog.h"
#include "questionbank/BankSchema.h"
#include "quiz/QuizDlg.h"
#include "res/Resources.h"
#include "res/SiteAddress.h"

#include <QAbstractButton>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace quiztest {

// The dialog with its state in reach of the tests.
class TestQuizDlg : public CQuizDlg {
public:
    using CQuizDlg::m_nAnswer;
    using CQuizDlg::m_nOptionValue;
    using CQuizDlg::m_nScore;
    using CQuizDlg::m_pRecordset;
    using CQuizDlg::m_wndPictureLink;
    using CQuizDlg::OnSelchangeTestList;

    std::vector<unsigned> sysCommands;
    bool recordSysCommands = false;

    void OnSysCommand(unsigned id, long lParam) override
    {
        sysCommands.push_back(id);
        if (!recordSysCommands)
            CQuizDlg::OnSysCommand(id, lParam);
    }
};

inline const char* const kLetters = "ABCDE";

// A bank written to a temporary folder, the application's connection opened on it, and the main
// dialog built over it. Message boxes are answered and recorded.
class QuizDialogTest : public ::testing::Test {
protected:
    testsupport::BankBuilder bank;
    testsupport::MessageBoxRecorder boxes;
    std::unique_ptr<testsupport::TempBank> written;
    std::unique_ptr<TestQuizDlg> dlg;

    void TearDown() override
    {
        dlg.reset();
        theApp.m_pConnection.Release();
    }

    // Writes the bank, opens the connection and runs OnInitDialog.
    void open()
    {
        written = std::make_unique<testsupport::TempBank>(bank.writeTemp());
        theApp.m_pConnection.CreateInstance();
        const std::string connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + written->file.string()
            + ";Jet OLEDB:Database Password=" + std::string(questionbank::bank::kPassword);
        theApp.m_pConnection->Open(connection, "", "", 0);
        dlg = std::make_unique<TestQuizDlg>();
        ASSERT_TRUE(dlg->Create());
    }

    QWidget* item(int id) const { return dlg->GetDlgItemWidget(id); }
    QListWidget* list() const { return static_cast<QListWidget*>(item(res::IDC_TEST_LIST)); }
    QString question() const { return static_cast<QPlainTextEdit*>(item(res::IDC_QUESTION))->toPlainText(); }
    QAbstractButton* option(char letter) const
    {
        static const int ids[]
            = { res::IDC_ANSWER_A, res::IDC_ANSWER_B, res::IDC_ANSWER_C, res::IDC_ANSWER_D, res::IDC_ANSWER_E };
        return static_cast<QAbstractButton*>(item(ids[letter - 'A']));
    }
    // The letters of the option buttons shown, in order.
    QString shownOptions() const
    {
        QString shown;
        for (const char* l = kLetters; *l; ++l) {
            if (!option(*l)->isHidden())
                shown += QLatin1Char(*l);
        }
        return shown;
    }
    QString checkedOptions() const
    {
        QString checked;
        for (const char* l = kLetters; *l; ++l) {
            if (option(*l)->isChecked())
                checked += QLatin1Char(*l);
        }
        return checked;
    }
    void choose(char letter) { option(letter)->click(); }
    void next() { static_cast<QAbstractButton*>(item(res::IDC_NEXT))->click(); }
    // The user picks a list entry, as a click does.
    void select(int row) { list()->setCurrentRow(row); }
    bool answerAreaShown() const
    {
        return !item(res::IDC_NEXT)->isHidden() && !dlg->GetDlgItemWidget(platform::IDC_STATIC)->isHidden();
    }
    bool disclaimerShown() const { return !item(res::IDC_DISCLAIMER)->isHidden(); }
    QStringList listEntries() const
    {
        QStringList entries;
        for (int i = 0; i < list()->count(); ++i)
            entries << list()->item(i)->text();
        return entries;
    }
};

} // namespace quiztest
