// Every test of the sample bank can be taken from its start to its evaluation.
#include "QuizDialogFixture.h"

#include <filesystem>

using namespace quiztest;

namespace {

class SampleBankTest : public QuizDialogTest { };

TEST_F(SampleBankTest, EveryTestRunsFromStartToEvaluation)
{
    const std::filesystem::path sample = MARVOLEN_SAMPLE_BANK;
    if (!std::filesystem::exists(sample))
        GTEST_SKIP() << "the sample bank is not built: " << sample;
    theApp.m_pConnection.CreateInstance();
    theApp.m_pConnection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + sample.string()
            + ";Jet OLEDB:Database Password=" + std::string(questionbank::bank::kPassword),
        "", "", 0);
    dlg = std::make_unique<TestQuizDlg>();
    ASSERT_TRUE(dlg->Create());
    ASSERT_GT(list()->count(), 0);

    // Once with A everywhere and once with the last option shown on every question.
    for (const bool lastOption : { false, true }) {
        for (int row = 0; row < list()->count(); ++row) {
            const QString name = list()->item(row)->text();
            select(row);
            ASSERT_TRUE(answerAreaShown()) << name.toStdString();
            int presses = 0;
            while (!disclaimerShown() && presses < 500) {
                EXPECT_FALSE(question().isEmpty()) << name.toStdString() << " question " << presses + 1;
                const QString shown = shownOptions();
                EXPECT_FALSE(shown.isEmpty()) << name.toStdString();
                if (lastOption && !shown.isEmpty())
                    choose(shown.back().toLatin1());
                next();
                ++presses;
            }
            EXPECT_TRUE(disclaimerShown()) << name.toStdString();
            EXPECT_FALSE(question().isEmpty()) << name.toStdString() << ": no band for the total " << dlg->m_nScore;
            // Step away so that the same entry starts again on the next round.
            select(row == 0 && list()->count() > 1 ? 1 : 0);
        }
    }
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(" | ").toStdString();
}

} // namespace
