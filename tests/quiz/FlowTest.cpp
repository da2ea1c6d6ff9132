// Taking a test: the start, the presses of 下一题 and the evaluation, on banks written for each case.
#include "QuizDialogFixture.h"

using namespace quiztest;
using std::nullopt;
using testsupport::BankBuilder;

namespace {

const QString kIncomplete = QStringLiteral("数据不完整，请重新下载软件！");
const BankBuilder::Texts kBandTexts = { "一档", "二档", "三档", "四档", "五档" };

class FlowTest : public QuizDialogTest {
protected:
    // One test named "测" whose evaluation shows the band's text.
    void oneTest(
        const BankBuilder::Bounds& bounds = { 30, 20, 10, 0, nullopt }, const BankBuilder::Texts& texts = kBandTexts)
    {
        bank.addTest("测", bounds, texts);
    }
};

TEST_F(FlowTest, QuestionsComeInIdOrderWhateverTheRowOrder)
{
    oneTest();
    bank.addQuestion(3, "测", "第三题", { 1, 2, nullopt, nullopt, nullopt });
    bank.addQuestion(1, "测", "第一题\r\nA.是\r\nB.否", { 1, 2, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "测", "第二题", { 1, 2, nullopt, nullopt, nullopt });
    open();
    // The bank's CR LF line breaks are shown as line breaks.
    EXPECT_EQ(question(), "第一题\nA.是\nB.否");
    next();
    EXPECT_EQ(question(), "第二题");
    next();
    EXPECT_EQ(question(), "第三题");
}

TEST_F(FlowTest, TotalIsTheSumOfTheOptionSelectedAtEachPress)
{
    oneTest({ 100, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(1, "测", "一", { 1, 2, 3, 4, 5 });
    bank.addQuestion(2, "测", "二", { 10, 20, 30, 40, 50 });
    bank.addQuestion(3, "测", "三", { 100, 200, 300, 400, 500 });
    open();
    EXPECT_EQ(shownOptions(), "ABCDE");
    EXPECT_EQ(checkedOptions(), "A");
    choose('B');
    choose('D'); // only the choice at the press counts
    EXPECT_EQ(checkedOptions(), "D");
    next();
    EXPECT_EQ(dlg->m_nScore, 4);
    EXPECT_EQ(checkedOptions(), "A"); // A again after every press
    next();
    EXPECT_EQ(dlg->m_nScore, 14);
    choose('E');
    next();
    EXPECT_EQ(dlg->m_nScore, 514);
    EXPECT_EQ(question(), "一档");
}

TEST_F(FlowTest, NegativeValuesKeepTheirSignAndTotalsMayBeNegative)
{
    oneTest({ 0, -5, -32768, nullopt, nullopt }, { "零以上", "负五以上", "最低", nullopt, nullopt });
    bank.addQuestion(1, "测", "一", { -1, -32768, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "测", "二", { -3, 32767, nullopt, nullopt, nullopt });
    open();
    EXPECT_EQ(dlg->m_nOptionValue[1], -32768);
    next();
    next();
    EXPECT_EQ(dlg->m_nScore, -4);
    EXPECT_EQ(question(), "负五以上");
}

TEST_F(FlowTest, MissingAValueHidesAButKeepsItSelectedWithTheLatestEarlierValue)
{
    oneTest({ nullopt, nullopt, nullopt, nullopt, -100 }, { nullopt, nullopt, nullopt, nullopt, "完" });
    bank.addQuestion(1, "测", "一", { 7, 1, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "测", "二", { nullopt, 2, 3, nullopt, nullopt });
    bank.addQuestion(3, "测", "三", { nullopt, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(4, "测", nullopt, { nullopt, nullopt, nullopt, 9, nullopt });
    open();
    choose('B');
    next(); // +1
    EXPECT_EQ(shownOptions(), "BC");
    EXPECT_EQ(checkedOptions(), "A");
    EXPECT_EQ(dlg->m_nAnswer, 0);
    next(); // A is hidden and still worth 7: +7
    EXPECT_EQ(dlg->m_nScore, 8);
    // All five NULL: no button at all, A still selected and worth 7.
    EXPECT_EQ(shownOptions(), "");
    EXPECT_EQ(checkedOptions(), "A");
    next(); // +7
    EXPECT_EQ(dlg->m_nScore, 15);
    // A NULL question text shows an empty box while the buttons still follow the row.
    EXPECT_EQ(question(), "");
    EXPECT_EQ(shownOptions(), "D");
    choose('D');
    next(); // +9
    EXPECT_EQ(dlg->m_nScore, 24);
    EXPECT_EQ(question(), "完");
}

TEST_F(FlowTest, OneQuestionTestIsEvaluatedAtTheFirstPress)
{
    oneTest();
    bank.addQuestion(1, "测", "唯一", { 25, 0, nullopt, nullopt, nullopt });
    open();
    EXPECT_TRUE(answerAreaShown());
    EXPECT_FALSE(disclaimerShown());
    next();
    EXPECT_EQ(question(), "二档");
    EXPECT_FALSE(answerAreaShown());
    EXPECT_EQ(shownOptions(), "");
    EXPECT_TRUE(disclaimerShown());
    EXPECT_EQ(static_cast<QLabel*>(item(res::IDC_DISCLAIMER))->text(),
        QStringLiteral("本测试仅供娱乐!测试对您所带来的影响软件所有者和开发者概不负责!\n更多软件请访问")
            + res::SiteAddress() + ".");
    // The evaluation keeps its query open until the next start.
    ASSERT_TRUE(dlg->m_pRecordset);
    EXPECT_EQ(dlg->m_pRecordset->State(), questionbank::adStateOpen);
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(FlowTest, BandRules)
{
    struct Case {
        const char* name;
        BankBuilder::Bounds bounds;
        BankBuilder::Texts texts;
        int total;
        QString shown;
    };
    const Case cases[] = {
        { "total equal to a bound", { 30, 20, 10, 0, nullopt }, kBandTexts, 20, "二档" },
        { "between bounds", { 30, 20, 10, 0, nullopt }, kBandTexts, 25, "二档" },
        { "below every bound", { 30, 20, 10, 0, nullopt }, kBandTexts, -3, "" },
        { "all bounds NULL", { nullopt, nullopt, nullopt, nullopt, nullopt }, kBandTexts, 5, "" },
        { "a NULL bound is skipped", { nullopt, 10, nullopt, 0, nullopt }, kBandTexts, 3, "四档" },
        { "a NULL text stops the search", { 30, 10, 0, nullopt, nullopt },
            { "一档", nullopt, "三档", nullopt, nullopt }, 15, "" },
        { "bounds that do not fall follow band order", { 0, 50, 100, nullopt, nullopt }, kBandTexts, 120, "一档" },
        { "negative bounds compare with their sign", { -5, -10, nullopt, nullopt, nullopt }, kBandTexts, -7, "二档" },
        { "band five", { 40, 30, 20, 10, -32768 }, kBandTexts, -32768, "五档" },
    };
    for (const Case& c : cases) {
        bank = BankBuilder();
        bank.addTest("测", c.bounds, c.texts);
        bank.addQuestion(1, "测", "题", { c.total, nullopt, nullopt, nullopt, nullopt });
        open();
        next();
        EXPECT_EQ(question(), c.shown) << c.name;
        EXPECT_TRUE(disclaimerShown()) << c.name;
        EXPECT_FALSE(answerAreaShown()) << c.name;
        EXPECT_TRUE(boxes.texts().isEmpty()) << c.name;
        dlg.reset();
        theApp.m_pConnection.Release();
    }
}

TEST_F(FlowTest, TestWithoutItsOwnRowEndsWithTheMessageAndItsLastQuestionOnScreen)
{
    // The first catalog row has no name: its entry is empty, and the questions of the empty name
    // start; no catalog row is named "" for the evaluation.
    bank.addTest(nullopt, kBandTexts.size() ? BankBuilder::Bounds { 0 } : BankBuilder::Bounds {}, kBandTexts);
    bank.addQuestion(1, "", "一", { 1, 2, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "", "最后", { 1, 2, nullopt, nullopt, nullopt });
    open();
    ASSERT_EQ(listEntries(), QStringList { "" });
    next();
    choose('B');
    next();
    EXPECT_EQ(boxes.texts(), QStringList { kIncomplete });
    EXPECT_EQ(question(), "最后");
    EXPECT_EQ(shownOptions(), "AB");
    EXPECT_EQ(checkedOptions(), "A");
    EXPECT_TRUE(answerAreaShown());
    EXPECT_FALSE(disclaimerShown());
    EXPECT_EQ(dlg->m_nScore, 3);

    // 下一题 is still there, but there is no question to count or to advance from.
    boxes.clear();
    next();
    EXPECT_EQ(dlg->m_nScore, 3);
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(question(), "最后");
}

TEST_F(FlowTest, TestWithoutQuestionsGivesTheMessageAndPressesDoNothing)
{
    bank.addTest("空", { 0 }, kBandTexts);
    bank.addTest("满", { 0 }, kBandTexts);
    bank.addQuestion(1, "满", "题", { 1, nullopt, nullopt, nullopt, nullopt });
    open();
    ASSERT_EQ(listEntries(), (QStringList { "空", "满" }));
    EXPECT_EQ(boxes.texts(), QStringList { kIncomplete });
    EXPECT_EQ(question(), "");
    EXPECT_TRUE(answerAreaShown());
    boxes.clear();
    next();
    next();
    EXPECT_EQ(dlg->m_nScore, 0);
    EXPECT_TRUE(boxes.texts().isEmpty());
    select(1);
    EXPECT_EQ(question(), "题");
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(FlowTest, SwitchingTestsDropsThePartialTotalAndEvaluationGivesWayToTheNewStart)
{
    bank.addTest("甲", { 0 }, { "甲评" });
    bank.addTest("乙", { 0, -1000 }, { "乙评", "乙低" });
    bank.addQuestion(1, "甲", "甲一", { 5, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "甲", "甲二", { 5, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(1, "乙", "乙一", { -1, nullopt, nullopt, nullopt, nullopt });
    open();
    next();
    EXPECT_EQ(dlg->m_nScore, 5);
    select(1);
    EXPECT_EQ(dlg->m_nScore, 0);
    EXPECT_EQ(question(), "乙一");
    next();
    EXPECT_EQ(question(), "乙低");
    EXPECT_EQ(shownOptions(), "");

    // Choosing a test after its evaluation brings the answer area back and hides the disclaimer.
    select(0);
    EXPECT_EQ(question(), "甲一");
    EXPECT_TRUE(answerAreaShown());
    EXPECT_EQ(shownOptions(), "A");
    EXPECT_FALSE(disclaimerShown());
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(FlowTest, ApostrophesInNamesStartAndEvaluateLikeAnyOtherName)
{
    bank.addTest("it's", { 0 }, { "its evaluation" });
    bank.addTest("x' OR '1'='1", { 0 }, { "own evaluation" });
    bank.addTest("x", { 0 }, { "other" });
    bank.addQuestion(1, "it's", "apostrophe question", { 1, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(1, "x' OR '1'='1", "own question", { 2, nullopt, nullopt, nullopt, nullopt });
    bank.addQuestion(2, "x", "other question", { 3, nullopt, nullopt, nullopt, nullopt });
    open();
    const QStringList entries = listEntries();
    select(static_cast<int>(entries.indexOf("it's")));
    EXPECT_EQ(question(), "apostrophe question");
    next();
    EXPECT_EQ(question(), "its evaluation");

    select(static_cast<int>(entries.indexOf("x' OR '1'='1")));
    EXPECT_EQ(question(), "own question");
    next(); // one question only: the other test's rows are not found
    EXPECT_EQ(dlg->m_nScore, 2);
    EXPECT_EQ(question(), "own evaluation");
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(" | ").toStdString();
}

TEST_F(FlowTest, LongNamesNeedNoFixedBuffer)
{
    const std::string name(400, 'n');
    bank.addTest(name, { 0 }, { "long evaluation" });
    bank.withColumnType("testname", "testName", questionbank::ColumnType::Memo);
    bank.withColumnType("testquestion", "testName", questionbank::ColumnType::Memo);
    bank.addQuestion(1, name, "long question", { 1, nullopt, nullopt, nullopt, nullopt });
    open();
    EXPECT_EQ(question(), "long question");
    next();
    EXPECT_EQ(question(), "long evaluation");
    EXPECT_TRUE(boxes.texts().isEmpty()) << boxes.texts().join(" | ").toStdString();
}

TEST_F(FlowTest, FailedStartShowsOneBoxAndTheNextStartNoSecondOne)
{
    bank.addTest("甲", { 0 }, kBandTexts);
    bank.addTest("乙", { 0 }, kBandTexts);
    bank.withoutTable("testquestion");
    open();
    ASSERT_EQ(boxes.texts(), QStringList { "IDispatch error #3127" });
    // The recordset that never opened is not closed again.
    next();
    EXPECT_EQ(boxes.texts().size(), 1);
    boxes.clear();
    select(1);
    EXPECT_EQ(boxes.texts(), QStringList { "IDispatch error #3127" });
    EXPECT_EQ(dlg->m_nScore, 0);
    EXPECT_TRUE(answerAreaShown());
}

TEST_F(FlowTest, FailureWhileAdvancingIsShownAndTheDialogStaysUsable)
{
    // The second question's B value is a text that is no number: its read fails at the press.
    bank.addTest("甲", { 0 }, { "甲评" });
    bank.addTest("乙", { 0 }, { "乙评" });
    bank.withColumnType("testquestion", "answerBValue", questionbank::ColumnType::Text);
    bank.addRow("testquestion",
        { { "ID", std::int64_t { 1 } }, { "testName", std::string("甲") }, { "questionContext", std::string("一") },
            { "answerAValue", std::int64_t { 1 } } });
    bank.addRow("testquestion",
        { { "ID", std::int64_t { 2 } }, { "testName", std::string("甲") }, { "questionContext", std::string("二") },
            { "answerAValue", std::int64_t { 1 } }, { "answerBValue", std::string("many") } });
    bank.addQuestion(1, "乙", "乙一", { 1, nullopt, nullopt, nullopt, nullopt });
    open();
    ASSERT_EQ(question(), "一");
    next();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_FALSE(boxes.texts()[0].isEmpty());
    EXPECT_TRUE(dlg->GetDialogWidget()->isVisible());
    boxes.clear();
    select(1);
    next();
    EXPECT_EQ(question(), "乙评");
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(FlowTest, FailureWhileReadingTheBandsIsShownAndTheLastQuestionStays)
{
    bank.withColumnType("testname", "rank1", questionbank::ColumnType::Text);
    bank.addRow("testname", { { "testName", std::string("测") }, { "rank1", std::string("high") } });
    bank.addQuestion(1, "测", "唯一", { 1, nullopt, nullopt, nullopt, nullopt });
    open();
    next();
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_EQ(question(), "唯一");
    EXPECT_TRUE(answerAreaShown());
    EXPECT_FALSE(disclaimerShown());
    boxes.clear();
    next();
    EXPECT_TRUE(boxes.texts().isEmpty());
    EXPECT_EQ(dlg->m_nScore, 1);
}

} // namespace
