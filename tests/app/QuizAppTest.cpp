// The application object in this process: the order of InitInstance and what ExitInstance leaves.
#include "app/QuizApp.h"

#include "BankFixture.h"
#include "CurrentDirectory.h"
#include "Recorders.h"
#include "platform/Dialog.h"
#include "platform/SingleInstance.h"

#include <QUuid>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace {

using testsupport::CurrentDirectory;

class QuizAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A name of its own for each test: the guard is held for the rest of the process.
        theApp.m_pszAppName = QStringLiteral("marvolen-app-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        previousHandler = platform::SetModalDialogHandler([this](platform::CDialog& dialog) {
            dialogs.push_back(dialog.GetTemplate().id);
            connectionWhileShown = theApp.m_pConnection;
            return platform::IDOK;
        });
    }
    void TearDown() override
    {
        platform::SetModalDialogHandler(previousHandler);
        theApp.m_pConnection.Release();
    }

    testsupport::MessageBoxRecorder boxes;
    platform::ModalDialogHandler previousHandler;
    std::vector<int> dialogs;
    questionbank::ConnectionPtr connectionWhileShown;
};

TEST_F(QuizAppTest, OpensTheBankRunsTheMainDialogAndClosesTheConnectionAtExit)
{
    testsupport::BankBuilder bank;
    bank.addTest("甲", { 0 }, { "评" });
    bank.addQuestion(1, "甲", "题", { 1, std::nullopt, std::nullopt, std::nullopt, std::nullopt });
    const auto written = bank.writeTemp();
    const CurrentDirectory in(written.dir.path());

    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_EQ(dialogs, std::vector<int> { 102 });
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(" | ").toStdString();
    ASSERT_TRUE(connectionWhileShown);
    EXPECT_EQ(connectionWhileShown->State(), questionbank::adStateOpen);
    EXPECT_EQ(theApp.m_pMainWnd, nullptr);

    EXPECT_EQ(theApp.ExitInstance(), 0);
    EXPECT_EQ(connectionWhileShown->State(), questionbank::adStateClosed);
    EXPECT_FALSE(theApp.m_pConnection);
}

TEST_F(QuizAppTest, BankThatDoesNotOpenGivesTheFixedMessageAndNoDialog)
{
    struct Case {
        const char* name;
        std::optional<std::string> password; // nothing: no bank at all
    };
    for (const Case& c : { Case { "missing", std::nullopt }, Case { "other password", "abcdefghi1234" } }) {
        testsupport::TempDir dir;
        if (c.password)
            testsupport::BankBuilder().withPassword(*c.password).write(dir.path());
        const CurrentDirectory in(dir.path());
        theApp.m_pszAppName += QStringLiteral("-next"); // the guard of the round before is still held
        boxes.clear();
        dialogs.clear();
        EXPECT_FALSE(theApp.InitInstance()) << c.name;
        EXPECT_EQ(boxes.texts(), QStringList { QString::fromUtf8(kBankOpenFailedMessage) }) << c.name;
        EXPECT_TRUE(dialogs.empty()) << c.name;
        // A created connection that never opened is only released.
        EXPECT_EQ(theApp.ExitInstance(), 0) << c.name;
        EXPECT_FALSE(theApp.m_pConnection) << c.name;
    }
}

TEST_F(QuizAppTest, SecondCopyEndsSilentlyBeforeTheConnection)
{
    ASSERT_TRUE(platform::CreateSingleInstanceMutex(theApp.m_pszAppName));
    EXPECT_FALSE(theApp.InitInstance());
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_TRUE(dialogs.empty());
    EXPECT_FALSE(theApp.m_pConnection);
    EXPECT_EQ(theApp.ExitInstance(), 0);
}

} // namespace
