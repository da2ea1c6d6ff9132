#include "BankFixture.h"
#include "CheckFixture.h"
#include "app/QuizApp.h"
#include "questionbank/BankSchema.h"
#include "quiz/QuizDlg.h"
#include "res/Resources.h"

#include <QAbstractButton>
#include <memory>
#include <string>

namespace {

using namespace updatetest;

using CheckButtonTest = CheckTest;

// The button of the real main dialog, over the application's connection.
TEST_F(CheckButtonTest, CheckVersionButtonRunsTheCheckOnTheApplicationsBank)
{
    const testsupport::TempBank file
        = testsupport::BankBuilder()
              .addTest("测试", { 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt },
                  { "好", std::nullopt, std::nullopt, std::nullopt, std::nullopt })
              .addQuestion(1, "测试", "问题", { 1, 0, std::nullopt, std::nullopt, std::nullopt })
              .addVersion("2006-05-01")
              .writeTemp();
    theApp.m_pConnection.CreateInstance();
    theApp.m_pConnection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.file.string()
            + ";Jet OLEDB:Database Password=" + std::string(questionbank::bank::kPassword),
        "", "", 0);
    {
        CQuizDlg dlg;
        ASSERT_TRUE(dlg.Create());
        auto* button = qobject_cast<QAbstractButton*>(dlg.GetDlgItemWidget(res::IDC_CHECK_VERSION));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("检查新版本"));

        server.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2099-01-01" }));
        boxes.clear();
        boxes.queueAnswer(platform::IDYES);
        button->click();

        ASSERT_EQ(server.requests().size(), 1);
        EXPECT_EQ(server.requests().front().target,
            "/update/vercheck.jsp?softID=marvolen&softVer=1.00&databaseVer=2006-05-01");
        EXPECT_EQ(boxes.texts(), QStringList { kBankOffer });
        EXPECT_EQ(shell.targets(), QStringList { server.address() + "/product/tovra.mdb" });
        // The dialog goes on working: the same press again asks again.
        button->click();
        EXPECT_EQ(server.requests().size(), 2);
    }
    theApp.m_pConnection.Release();
}

} // namespace
