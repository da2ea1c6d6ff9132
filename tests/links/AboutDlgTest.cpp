#include "links/AboutDlg.h"

#include "LinkTestSupport.h"
#include "Recorders.h"
#include "res/Resources.h"
#include "res/SiteAddress.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

namespace {

using links::CAboutDlg;
using links::CStaticLink;
using linktest::linkColour;
using linktest::textColour;
using linktest::waitUntil;

QLabel* addressLine(const CAboutDlg& about)
{
    return qobject_cast<QLabel*>(about.GetDlgItemWidget(CAboutDlg::IDC_SITE_ADDRESS));
}

class AboutDlgTest : public ::testing::Test {
protected:
    void SetUp() override { res::SetSiteAddressForTesting(QStringLiteral("http://about.example")); }
    void TearDown() override { res::SetSiteAddressForTesting(QString::fromUtf8(res::kBuiltInSiteAddress)); }

    // Runs the box through the modal-run seam: built, initialised and shown, then `inspect` instead of a loop.
    static void withOpenBox(CAboutDlg& about, const std::function<void(CAboutDlg&)>& inspect)
    {
        auto previous = platform::SetModalDialogHandler([&](platform::CDialog&) {
            (void)QTest::qWaitForWindowExposed(about.GetDialogWidget());
            inspect(about);
            return platform::IDOK;
        });
        about.DoModal();
        platform::SetModalDialogHandler(std::move(previous));
    }

    // Runs the real modal loop; `act` gets the box once it is up. A box still open after two
    // seconds is closed so that a miss fails instead of hanging.
    static int runModal(CAboutDlg& about, const std::function<void(QDialog*)>& act)
    {
        bool acted = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (acted || !box || !box->isVisible())
                return;
            acted = true;
            act(box);
        });
        poll.start();
        QTimer::singleShot(2000, [&] {
            if (about.GetDialogWidget() && about.GetDialogWidget()->isVisible())
                about.GetDialogWidget()->done(-2);
        });
        return about.DoModal();
    }

    linktest::CursorLoaderStub cursors;
    linktest::BeepRecorder beeps;
    testsupport::ShellRecorder shell;
};

TEST_F(AboutDlgTest, TheBoxShowsTemplate100WithItsTextsAndRectanglesAndTheAddressAsALink)
{
    CAboutDlg about;
    withOpenBox(about, [&](CAboutDlg& box) {
        QDialog* window = box.GetDialogWidget();
        const platform::DialogBaseUnits units = platform::BaseUnitsOf(window->font());
        ASSERT_GT(units.x, 0);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("关于 marvolen"));
        EXPECT_EQ(window->size(), units.toPixels(QRect(0, 0, 235, 55)).size());

        struct Expected {
            int id;
            const char* className;
            QString text;
            QRect rect;
        };
        const Expected controls[] = {
            { -1, "QLabel", QString(), QRect(11, 17, 21, 21) },
            { -1, "QLabel", QStringLiteral("Marvolen 1.3 版"), QRect(40, 10, 119, 8) },
            { -1, "QLabel", QStringLiteral("版权所有 (C) 2026 Orvanta"), QRect(40, 23, 155, 8) },
            { platform::IDOK, "QPushButton", QStringLiteral("确定"), QRect(178, 7, 50, 14) },
            { 1008, "QLabel", QStringLiteral("http://about.example"), QRect(40, 36, 116, 8) },
        };
        const auto& items = box.Items();
        ASSERT_EQ(items.size(), std::size(controls));
        for (std::size_t i = 0; i < items.size(); ++i) {
            SCOPED_TRACE(i);
            QWidget* widget = items[i].widget;
            EXPECT_EQ(items[i].control->id, controls[i].id);
            EXPECT_STREQ(widget->metaObject()->className(), controls[i].className);
            EXPECT_EQ(widget->geometry(), units.toPixels(controls[i].rect));
            if (auto* label = qobject_cast<QLabel*>(widget); label && !controls[i].text.isEmpty()) {
                EXPECT_EQ(label->text(), controls[i].text);
            }
            if (auto* button = qobject_cast<QPushButton*>(widget)) {
                EXPECT_EQ(button->text(), controls[i].text);
            }
        }
        auto* icon = qobject_cast<QLabel*>(items[0].widget);
        EXPECT_FALSE(icon->pixmap().isNull());
        auto* ok = qobject_cast<QPushButton*>(items[3].widget);
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(window->focusWidget(), ok);

        // The address line is the bound link, with the site address as its target, idle and blue.
        EXPECT_EQ(box.m_wndLink.GetSafeWidget(), addressLine(box));
        EXPECT_EQ(box.m_wndLink.m_target, QStringLiteral("http://about.example"));
        EXPECT_TRUE(box.m_wndLink.IsTextLink());
        EXPECT_EQ(textColour(addressLine(box)), linkColour(CStaticLink::s_crNormal));
        EXPECT_EQ(addressLine(box)->focusPolicy(), Qt::NoFocus);
    });
}

TEST_F(AboutDlgTest, ClickingTheAddressOpensTheSiteTurnsItPurpleAndKeepsTheBoxOpen)
{
    CAboutDlg about;
    withOpenBox(about, [&](CAboutDlg& box) {
        QLabel* line = addressLine(box);
        linktest::movePointer(line, QPoint(3, line->height() / 2));
        EXPECT_EQ(textColour(line), linkColour(CStaticLink::s_crHover));
        EXPECT_EQ(line->cursor().shape(), Qt::PointingHandCursor);
        QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
        EXPECT_EQ(shell.targets(), QStringList { QStringLiteral("http://about.example") });
        EXPECT_EQ(textColour(line), linkColour(CStaticLink::s_crVisited));
        EXPECT_FALSE(box.IsEnded());
        EXPECT_TRUE(box.GetDialogWidget()->isVisible());
        EXPECT_NE(box.GetDialogWidget()->focusWidget(), line);

        linktest::movePointer(box.GetDialogWidget(), QPoint(2, 2));
        EXPECT_TRUE(waitUntil([&] { return textColour(line) == linkColour(CStaticLink::s_crNormal); }));
    });
    EXPECT_TRUE(beeps.beeps().empty());
}

TEST_F(AboutDlgTest, EveryOpeningStartsBlueWithAFreshLink)
{
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        CAboutDlg about;
        withOpenBox(about, [&](CAboutDlg& box) {
            QLabel* line = addressLine(box);
            EXPECT_EQ(textColour(line), linkColour(CStaticLink::s_crNormal));
            EXPECT_FALSE(box.m_wndLink.IsHovering());
            QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
            EXPECT_EQ(textColour(line), linkColour(CStaticLink::s_crVisited));
        });
    }
    EXPECT_EQ(shell.targets().size(), 2);
    EXPECT_EQ(cursors.loads(), 1);
}

TEST_F(AboutDlgTest, EnterAndEscCloseTheRealModalBoxAndNoHoverTimerOutlivesIt)
{
    struct Case {
        const char* name;
        Qt::Key key;
        bool clickAddressFirst; // a click on the address line must not take the focus from OK
        int result;
    };
    const Case cases[] = {
        { "Enter", Qt::Key_Return, false, platform::IDOK },
        { "Enter after a click on the address", Qt::Key_Return, true, platform::IDOK },
        { "keypad Enter", Qt::Key_Enter, false, platform::IDOK },
        { "Esc with the pointer over the address", Qt::Key_Escape, true, platform::IDCANCEL },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAboutDlg about;
        bool hoveringBeforeClose = false;
        const int result = runModal(about, [&](QDialog* box) {
            QLabel* line = addressLine(about);
            ASSERT_NE(line, nullptr);
            if (c.clickAddressFirst) {
                linktest::movePointer(line, QPoint(3, line->height() / 2));
                QTest::mouseClick(line, Qt::LeftButton, {}, QPoint(3, line->height() / 2));
                QTest::keyClick(box, Qt::Key_Tab);
            }
            hoveringBeforeClose = about.m_wndLink.IsHoverTimerRunning();
            QWidget* focus = box->focusWidget() ? box->focusWidget() : box;
            EXPECT_NE(focus, line);
            QTest::keyClick(focus, c.key);
        });
        EXPECT_EQ(result, c.result);
        if (c.clickAddressFirst) {
            EXPECT_TRUE(hoveringBeforeClose);
        }
        EXPECT_FALSE(about.m_wndLink.IsHoverTimerRunning());
        EXPECT_EQ(about.m_wndLink.GetTextColor(), CStaticLink::s_crNormal);
    }
}

} // namespace
