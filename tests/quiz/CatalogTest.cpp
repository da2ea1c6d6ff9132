// The main dialog's start: the catalog, the window menu, the keyboard and the template's geometry.
#include "QuizDialogFixture.h"
#include "platform/Dialog.h"

#include <QApplication>
#include <QFontInfo>
#include <QMenu>
#include <QTest>

using namespace quiztest;
using testsupport::BankBuilder;

namespace {

const QString kCatalogLost = QStringLiteral("数据文件可能已丢失!\r\n请重新启动本软件，如果故障依旧，请重新下载本软件!");
const QString kIncomplete = QStringLiteral("数据不完整，请重新下载软件！");

const BankBuilder::Bounds kNoBounds {};
const BankBuilder::Texts kNoTexts {};

class CatalogTest : public QuizDialogTest { };

TEST_F(CatalogTest, ListsNamesInPinyinOrderWhateverTheRowOrderAndStartsTheFirst)
{
    // Code-point order would be 中 北 测 爱.
    for (const char* name : { "中文测试", "爱情测试", "测试性格", "北方测试" })
        bank.addTest(name, kNoBounds, kNoTexts);
    bank.addQuestion(1, "爱情测试", "爱的第一题", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
    open();

    EXPECT_EQ(listEntries(), (QStringList { "爱情测试", "北方测试", "测试性格", "中文测试" }));
    EXPECT_EQ(list()->currentRow(), 0);
    EXPECT_EQ(question(), "爱的第一题");
    EXPECT_TRUE(boxes.texts().isEmpty());
}

TEST_F(CatalogTest, NullNameRepeatsThePreviousRowsName)
{
    bank.addTest(std::nullopt, kNoBounds, kNoTexts); // first row: an empty entry
    bank.addTest("乙", kNoBounds, kNoTexts);
    bank.addTest(std::nullopt, kNoBounds, kNoTexts);
    bank.addTest("甲", kNoBounds, kNoTexts);
    bank.addQuestion(1, "乙", "乙一", { 1, std::nullopt, std::nullopt, std::nullopt, std::nullopt });
    bank.addQuestion(2, "乙", "乙二", { 1, std::nullopt, std::nullopt, std::nullopt, std::nullopt });
    open();

    EXPECT_EQ(listEntries(), (QStringList { "", "甲", "乙", "乙" }));
    // The empty entry comes first and has no questions.
    EXPECT_EQ(boxes.texts(), QStringList { kIncomplete });

    // Either duplicate starts the same test.
    for (const int row : { 2, 3 }) {
        select(0);
        select(row);
        EXPECT_EQ(question(), "乙一") << row;
        next();
        EXPECT_EQ(question(), "乙二") << row;
    }
}

TEST_F(CatalogTest, EmptyTestTableGivesItsMessageAnEmptyListAndNoSelection)
{
    open();
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(list()->selectedItems().isEmpty());
    // The start with no selection looks up the empty name.
    EXPECT_EQ(boxes.texts(), (QStringList { kCatalogLost, kIncomplete }));
    EXPECT_EQ(boxes.boxes().front().caption, platform::ApplicationName());
    EXPECT_EQ(boxes.boxes().front().type, platform::MB_OK | platform::MB_ICONEXCLAMATION);
}

TEST_F(CatalogTest, MissingTestTableGivesOneBoxForTheOpenAndOneForTheFill)
{
    bank.withoutTable("testname");
    open();
    const QStringList texts = boxes.texts();
    ASSERT_EQ(texts.size(), 3) << texts.join(" | ").toStdString();
    // The open fails on the table; the fill then finds no open recordset; the close that follows is
    // skipped, so the third box is the start's.
    EXPECT_EQ(texts[0], "IDispatch error #3127");
    EXPECT_NE(texts[1], texts[0]);
    EXPECT_EQ(texts[2], kIncomplete);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(dlg->GetDialogWidget()->isVisible());
}

TEST_F(CatalogTest, FailingReadShowsOneBoxAndSelectsNothing)
{
    bank.withoutColumn("testname", "testName");
    bank.addRow("testname", { { "rank1", std::int64_t { 1 } } });
    open();
    ASSERT_EQ(boxes.texts().size(), 2) << boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(boxes.texts()[1], kIncomplete);
    EXPECT_EQ(list()->count(), 0);
    EXPECT_TRUE(list()->selectedItems().isEmpty());
}

TEST_F(CatalogTest, EnterInTheListAndEscapeEndTheDialog)
{
    struct Case {
        const char* name;
        int control;
        Qt::Key key;
        int result;
    };
    const Case cases[] = {
        { "enter in the list", res::IDC_TEST_LIST, Qt::Key_Return, platform::IDOK },
        { "enter on an option", res::IDC_ANSWER_B, Qt::Key_Enter, platform::IDOK },
        { "escape in the list", res::IDC_TEST_LIST, Qt::Key_Escape, platform::IDCANCEL },
    };
    for (const Case& c : cases) {
        bank = BankBuilder();
        bank.addTest("甲", kNoBounds, kNoTexts);
        bank.addQuestion(1, "甲", "一", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
        open();
        item(c.control)->setFocus();
        QTest::keyClick(item(c.control), c.key);
        EXPECT_TRUE(dlg->IsEnded()) << c.name;
        EXPECT_EQ(dlg->Result(), c.result) << c.name;
        EXPECT_FALSE(dlg->GetDialogWidget()->isVisible()) << c.name;
        dlg.reset();
        theApp.m_pConnection.Release();
    }
}

TEST_F(CatalogTest, EnterInTheQuestionBoxKeepsTheDialogAndAFocusedButtonTakesIt)
{
    bank.addTest("甲", kNoBounds, kNoTexts);
    bank.addQuestion(1, "甲", "一", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
    bank.addQuestion(2, "甲", "二", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
    open();
    QWidget* edit = item(res::IDC_QUESTION);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_FALSE(dlg->IsEnded());

    QWidget* nextButton = item(res::IDC_NEXT);
    nextButton->setFocus();
    QTest::keyClick(nextButton, Qt::Key_Return);
    EXPECT_FALSE(dlg->IsEnded());
    EXPECT_EQ(question(), "二");
}

TEST_F(CatalogTest, CloseBoxEndsTheDialogWithCancel)
{
    open();
    dlg->GetDialogWidget()->close();
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(dlg->Result(), platform::IDCANCEL);
}

TEST_F(CatalogTest, WindowMenuHoldsCloseAndTheAboutEntryWhichReachesOnSysCommand)
{
    open();
    dlg->recordSysCommands = true;
    dlg->GetDialogWidget()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg->GetDialogWidget()));
    // The focus is in the list, which would take a plain Space for itself.
    QTest::keyClick(list(), Qt::Key_Space, Qt::AltModifier);
    auto* menu = dlg->GetDialogWidget()->findChild<QMenu*>("systemMenu");
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    QAction* about = nullptr;
    for (QAction* action : menu->actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        if (action->text() == QStringLiteral("关于 marvolen(&A)..."))
            about = action;
    }
    EXPECT_EQ(texts, (QStringList { QStringLiteral("关闭(&C)\tAlt+F4"), "-", QStringLiteral("关于 marvolen(&A)...") }));
    ASSERT_NE(about, nullptr);
    about->trigger();
    EXPECT_EQ(dlg->sysCommands, std::vector<unsigned> { res::IDM_ABOUTBOX });
}

TEST_F(CatalogTest, AboutCommandRunsTheAboutBoxAndCloseEndsTheDialog)
{
    open();
    std::vector<int> shown;
    const auto previous = platform::SetModalDialogHandler([&](platform::CDialog& dialog) {
        shown.push_back(dialog.GetTemplate().id);
        return platform::IDOK;
    });
    // The low four bits are the system's and do not count.
    dlg->OnSysCommand(res::IDM_ABOUTBOX | 0x3, 0);
    static_cast<QAbstractButton*>(item(res::IDC_ABOUT))->click();
    EXPECT_EQ(shown, (std::vector<int> { res::IDD_ABOUTBOX, res::IDD_ABOUTBOX }));
    EXPECT_FALSE(dlg->IsEnded());

    dlg->OnSysCommand(platform::SC_CLOSE, 0);
    EXPECT_TRUE(dlg->IsEnded());
    EXPECT_EQ(dlg->Result(), platform::IDCANCEL);
    platform::SetModalDialogHandler(previous);
}

TEST_F(CatalogTest, EveryControlStandsAtItsTemplateRectangle)
{
    open();
    const QFont font = dlg->GetDialogWidget()->font();
    const platform::DialogBaseUnits units = platform::BaseUnitsOf(font);
    if (QFontInfo(font).family() == QStringLiteral("AR PL UMing CN")) {
        EXPECT_EQ(units.x, 6);
        EXPECT_EQ(units.y, 12);
        EXPECT_EQ(dlg->GetDialogWidget()->size(), QSize(636, 394));
        // x px = x * 6 / 4 and y px = y * 12 / 8 in integer arithmetic.
        EXPECT_EQ(item(res::IDC_TEST_LIST)->geometry(), QRect(10, 30, 142, 265));
        EXPECT_EQ(item(res::IDC_ANSWER_E)->geometry(), QRect(411, 330, 37, 12));
        EXPECT_EQ(item(platform::IDOK)->geometry(), QRect(532, 363, 75, 21));
    }
    for (const auto& control : res::QuizDialogTemplate().controls) {
        // GetDlgItem finds the first of a shared id; walk the items to reach every control.
        for (const auto& entry : dlg->Items()) {
            if (entry.control != &control)
                continue;
            const QRect expected = units.toPixels(control.rect);
            const QRect actual = entry.widget->geometry();
            if (control.id == res::IDC_DISCLAIMER) {
                // A text static may grow downward so that its last line is not cut; it keeps its
                // place and width, and still ends above the command buttons.
                EXPECT_EQ(actual.topLeft(), expected.topLeft());
                EXPECT_EQ(actual.width(), expected.width());
                EXPECT_GE(actual.height(), expected.height());
                EXPECT_LT(actual.bottom(), item(platform::IDOK)->geometry().top());
                const auto* label = static_cast<const QLabel*>(entry.widget);
                EXPECT_GE(actual.height(), label->heightForWidth(actual.width()));
            } else {
                EXPECT_EQ(actual, expected) << control.text.toStdString();
            }
            EXPECT_EQ(entry.widget->property("controlId").toInt(), control.id);
        }
    }
    EXPECT_EQ(dlg->GetDialogWidget()->windowTitle(), "Marvolen");
    // A shared id finds the first control of the template: the group box.
    EXPECT_EQ(dlg->GetDlgItemWidget(platform::IDC_STATIC)->metaObject()->className(), QStringLiteral("QGroupBox"));
}

TEST_F(CatalogTest, PictureAndIconAreOursAtTheScreensPixelRatio)
{
    open();
    const QPixmap picture = static_cast<QLabel*>(item(res::IDC_PICTURE))->pixmap();
    EXPECT_EQ(picture.deviceIndependentSize(), QSizeF(142, 79));
    // Under QT_SCALE_FACTOR=2 this is the 284 x 158 image, not the small one scaled up.
    EXPECT_EQ(picture.devicePixelRatio(), qApp->devicePixelRatio());
    EXPECT_EQ(picture.width(), qRound(142 * qApp->devicePixelRatio()));
    EXPECT_FALSE(dlg->GetDialogWidget()->windowIcon().isNull());
    EXPECT_EQ(dlg->GetDialogWidget()->windowIcon().actualSize(QSize(32, 32)), QSize(32, 32));
}

TEST_F(CatalogTest, PictureOpensTheSiteAddressAndTheCheckButtonRunsTheVersionCheck)
{
    open();
    EXPECT_EQ(QString(dlg->m_wndPictureLink.m_target), res::SiteAddress());
    testsupport::ShellRecorder shell;
    QTest::mouseClick(item(res::IDC_PICTURE), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(shell.targets(), QStringList { res::SiteAddress() });

    // A port where nothing listens: the check reports its failure in a box of its own.
    const QString site = res::SiteAddress();
    res::SetSiteAddressForTesting(QStringLiteral("http://127.0.0.1:1"));
    boxes.clear();
    static_cast<QAbstractButton*>(item(res::IDC_CHECK_VERSION))->click();
    res::SetSiteAddressForTesting(site);
    EXPECT_EQ(boxes.texts().size(), 1) << boxes.texts().join(" | ").toStdString();
    EXPECT_FALSE(dlg->IsEnded());
}

TEST_F(CatalogTest, ScreenReadersGetTheControlsNames)
{
    open();
    EXPECT_EQ(item(res::IDC_TEST_LIST)->accessibleName(), "测试列表");
    EXPECT_EQ(item(res::IDC_QUESTION)->accessibleName(), "问题");
    // Buttons and labels keep their own texts as their names: none is overridden.
    for (const int id : { res::IDC_NEXT, res::IDC_ANSWER_A, res::IDC_DISCLAIMER, platform::IDOK })
        EXPECT_TRUE(item(id)->accessibleName().isEmpty()) << id;
}

} // namespace
