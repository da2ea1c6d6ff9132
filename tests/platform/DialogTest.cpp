// Dialogs built from templates: data exchange, the list box, the keyboard, the window menu, units.
#include "platform/Dialog.h"

#include "Recorders.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QFontInfo>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;

namespace {

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;

// Two radio groups with a push button inside the first, a sorted and an unsorted list, an edit.
const DialogTemplate& testTemplate()
{
    static const DialogTemplate dialog = [] {
        DialogTemplate d;
        d.id = 900;
        d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
        d.rect = QRect(0, 0, 200, 120);
        d.caption = "test";
        d.font = { 9, QStringLiteral("宋体"), 400, false, 1 };
        d.controls = {
            { 10, ControlClass::ListBox, {}, kChild | LBS_NOTIFY | LBS_SORT | WS_TABSTOP, QRect(2, 2, 40, 40) },
            { 11, ControlClass::ListBox, {}, kChild | LBS_NOTIFY | WS_TABSTOP, QRect(44, 2, 40, 40) },
            { 20, ControlClass::Button, "r0", kChild | BS_AUTORADIOBUTTON | WS_GROUP, QRect(2, 50, 20, 8) },
            { 21, ControlClass::Button, "r1", kChild | BS_AUTORADIOBUTTON, QRect(24, 50, 20, 8) },
            { 30, ControlClass::Button, "push", kChild | BS_PUSHBUTTON | WS_TABSTOP, QRect(46, 50, 20, 8) },
            { 22, ControlClass::Button, "r2", kChild | BS_AUTORADIOBUTTON, QRect(68, 50, 20, 8) },
            { 40, ControlClass::Button, "s0", kChild | BS_AUTORADIOBUTTON | WS_GROUP, QRect(2, 60, 20, 8) },
            { 41, ControlClass::Button, "s1", kChild | BS_AUTORADIOBUTTON, QRect(24, 60, 20, 8) },
            { 50, ControlClass::Edit, {}, kChild | ES_MULTILINE | ES_READONLY | ES_WANTRETURN | WS_TABSTOP,
                QRect(100, 2, 90, 60) },
            { IDOK, ControlClass::Button, "ok", kChild | BS_DEFPUSHBUTTON | WS_TABSTOP, QRect(100, 100, 40, 14) },
        };
        return d;
    }();
    return dialog;
}

class TestDialog : public CDialog {
public:
    TestDialog()
        : CDialog(testTemplate())
    {
        OnSelChange(10, [this] { ++selChanges; });
    }
    int first = -1;
    int second = -1;
    int selChanges = 0;
    CListBox sorted;
    CListBox unsorted;
    std::vector<unsigned> sysCommands;

    void DoDataExchange(CDataExchange* pDX) override
    {
        DDX_Radio(pDX, 20, first);
        DDX_Radio(pDX, 40, second);
        DDX_Control(pDX, 10, sorted);
        DDX_Control(pDX, 11, unsorted);
    }
    void OnSysCommand(unsigned id, long lParam) override
    {
        sysCommands.push_back(id);
        CDialog::OnSysCommand(id, lParam);
    }
};

class DialogTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dlg.Create()); }
    QAbstractButton* button(int id) { return static_cast<QAbstractButton*>(dlg.GetDlgItemWidget(id)); }
    QString checked()
    {
        QString result;
        for (const int id : { 20, 21, 22, 40, 41 })
            result += button(id)->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
        return result;
    }
    TestDialog dlg;
};

TEST_F(DialogTest, RadioGroupsRunFromOneGroupStyleToTheNextAndCountOnlyRadios)
{
    struct Case {
        const char* name;
        int first;
        int second;
        QString checked;
    };
    const Case cases[] = {
        { "first of each", 0, 0, "10010" },
        { "the push button does not count", 2, 1, "00101" },
        { "none", -1, -1, "00000" },
        { "one group only", 1, -1, "01000" },
    };
    for (const Case& c : cases) {
        dlg.first = c.first;
        dlg.second = c.second;
        dlg.UpdateData(false);
        EXPECT_EQ(checked(), c.checked) << c.name;
        dlg.first = dlg.second = 99;
        dlg.UpdateData(true);
        EXPECT_EQ(dlg.first, c.first) << c.name;
        EXPECT_EQ(dlg.second, c.second) << c.name;
    }
}

TEST_F(DialogTest, ClickedRadioStaysCheckedAndClearsOnlyItsOwnGroup)
{
    dlg.first = 0;
    dlg.second = 1;
    dlg.UpdateData(false);
    button(22)->click();
    EXPECT_EQ(checked(), "00101");
    button(22)->click();
    EXPECT_EQ(checked(), "00101");
    dlg.UpdateData(true);
    EXPECT_EQ(dlg.first, 2);
    EXPECT_EQ(dlg.second, 1);
}

TEST_F(DialogTest, ScreenReadersSeeRadioButtonsAsRadioButtons)
{
    QAccessibleInterface* radio = QAccessible::queryAccessibleInterface(button(20));
    ASSERT_NE(radio, nullptr);
    EXPECT_EQ(radio->role(), QAccessible::RadioButton);
    EXPECT_EQ(radio->text(QAccessible::Name), "r0");
}

TEST_F(DialogTest, SortedListUsesPinyinOrderAndOnlyUserChangesNotify)
{
    for (const char* name : { "中", "爱", "北", "测", "北" })
        dlg.sorted.AddString(QString::fromUtf8(name));
    for (const char* name : { "中", "爱" })
        dlg.unsorted.AddString(QString::fromUtf8(name));
    QStringList sorted;
    for (int i = 0; i < dlg.sorted.GetCount(); ++i) {
        QString text;
        dlg.sorted.GetText(i, text);
        sorted << text;
    }
    EXPECT_EQ(sorted, (QStringList { "爱", "北", "北", "测", "中" }));
    QString first;
    dlg.unsorted.GetText(0, first);
    EXPECT_EQ(first, "中");

    EXPECT_EQ(dlg.sorted.GetCurSel(), LB_ERR);
    EXPECT_EQ(dlg.sorted.SetCurSel(2), 2);
    EXPECT_EQ(dlg.sorted.GetCurSel(), 2);
    EXPECT_EQ(dlg.sorted.SetCurSel(9), LB_ERR);
    EXPECT_EQ(dlg.sorted.GetCurSel(), LB_ERR);
    EXPECT_EQ(dlg.selChanges, 0);

    dlg.sorted.list()->setCurrentRow(1); // what a click does
    EXPECT_EQ(dlg.selChanges, 1);
    EXPECT_EQ(dlg.sorted.GetCurSel(), 1);
}

TEST_F(DialogTest, TabVisitsOnlyTabStopsInTemplateOrder)
{
    QDialog* window = dlg.GetDialogWidget();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    std::vector<int> visited;
    for (int i = 0; i < 6; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        visited.push_back(focus->property(kControlIdProperty).toInt());
        QTest::keyClick(focus, Qt::Key_Tab);
    }
    EXPECT_EQ(visited, (std::vector<int> { 10, 11, 30, 50, IDOK, 10 }));
}

TEST_F(DialogTest, EditKeepsEnterAndShowsLineBreaks)
{
    CWnd* edit = dlg.GetDlgItem(50);
    edit->SetWindowText("one\r\ntwo");
    EXPECT_EQ(static_cast<QPlainTextEdit*>(edit->GetSafeWidget())->toPlainText(), "one\ntwo");
    EXPECT_EQ(edit->GetWindowText(), "one\r\ntwo");
    QTest::keyClick(edit->GetSafeWidget(), Qt::Key_Return);
    EXPECT_FALSE(dlg.IsEnded());
    QTest::keyClick(dlg.GetDlgItemWidget(11), Qt::Key_Return);
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDOK);
}

TEST_F(DialogTest, LongTextInTheEditScrolls)
{
    auto* edit = static_cast<QPlainTextEdit*>(dlg.GetDlgItemWidget(50));
    EXPECT_EQ(edit->verticalScrollBar()->maximum(), 0);
    QStringList lines;
    for (int i = 0; i < 100; ++i)
        lines << QStringLiteral("第%1行").arg(i);
    dlg.GetDlgItem(50)->SetWindowText(lines.join("\r\n"));
    QApplication::processEvents();
    EXPECT_GT(edit->verticalScrollBar()->maximum(), 0);
}

TEST_F(DialogTest, RightClickOnTheBackgroundOpensTheWindowMenuWhoseCloseCancels)
{
    QDialog* window = dlg.GetDialogWidget();
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(5, 110), window->mapToGlobal(QPoint(5, 110)));
    QApplication::sendEvent(window, &event);
    auto* menu = window->findChild<QMenu*>("systemMenu");
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    menu->actions().front()->trigger();
    EXPECT_EQ(dlg.sysCommands, std::vector<unsigned> { SC_CLOSE });
    EXPECT_TRUE(dlg.IsEnded());
    EXPECT_EQ(dlg.Result(), IDCANCEL);
}

TEST(DialogModal, HandlerSeamReplacesTheModalLoopAfterInitialisation)
{
    TestDialog dlg;
    dlg.first = 1;
    const auto previous = SetModalDialogHandler([](CDialog& dialog) {
        EXPECT_TRUE(dialog.GetDialogWidget()->isVisible());
        static_cast<QAbstractButton*>(dialog.GetDlgItemWidget(21))->click();
        return IDOK;
    });
    EXPECT_EQ(dlg.DoModal(), IDOK);
    SetModalDialogHandler(previous);
}

TEST(DialogUnits, TemplateFontFallsBackToAMingFaceWithSimSunsMetrics)
{
    const QFont font = DialogFontOf({ 9, QStringLiteral("宋体"), 400, false, 1 });
    const QString family = QFontInfo(font).family();
    // Not DejaVu, to which fontconfig maps the names it does not know.
    EXPECT_FALSE(family.startsWith("DejaVu")) << family.toStdString();
    if (family == "AR PL UMing CN") {
        const DialogBaseUnits units = BaseUnitsOf(font);
        EXPECT_EQ(units.x, 6);
        EXPECT_EQ(units.y, 12);
        EXPECT_EQ(units.toPixels(QRect(0, 0, 424, 263)), QRect(0, 0, 636, 394));
    }
    const DialogBaseUnits units { 7, 17 };
    EXPECT_EQ(units.toPixels(QRect(7, 20, 95, 177)), QRect(12, 42, 166, 376));
}

} // namespace
