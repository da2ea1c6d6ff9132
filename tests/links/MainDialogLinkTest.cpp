// The two links as the program wires them: the main dialog's picture and the About box it opens.
#include "LinkTestSupport.h"
#include "Recorders.h"
#include "app/QuizApp.h"
#include "quiz/QuizDlg.h"
#include "res/Resources.h"
#include "res/SiteAddress.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

using links::CStaticLink;
using linktest::waitUntil;

// The main dialog without a question bank: its start-up failures are answered by the recorder,
// which is all these tests need of it.
class MainDialogLinkTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        res::SetSiteAddressForTesting(QStringLiteral("http://picture.example"));
        dlg = std::make_unique<CQuizDlg>();
        ASSERT_TRUE(dlg->Create());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg->GetDialogWidget()));
        linktest::movePointer(dlg->GetDialogWidget(), QPoint(2, 2));
    }
    void TearDown() override
    {
        dlg.reset();
        theApp.m_pConnection.Release();
        res::SetSiteAddressForTesting(QString::fromUtf8(res::kBuiltInSiteAddress));
    }

    QWidget* item(int id) const { return dlg->GetDlgItemWidget(id); }
    QTimer* hoverTimer(QWidget* control) const
    {
        const auto timers = control->findChildren<QTimer*>();
        return timers.size() == 1 ? timers.front() : nullptr;
    }

    linktest::CursorLoaderStub cursors;
    testsupport::MessageBoxRecorder boxes;
    testsupport::ShellRecorder shell;
    std::unique_ptr<CQuizDlg> dlg;
};

TEST_F(MainDialogLinkTest, ThePictureOpensTheSiteAddressTracksTheHoverAndKeepsItsColours)
{
    QWidget* picture = item(res::IDC_PICTURE);
    ASSERT_NE(picture, nullptr);
    ASSERT_NE(hoverTimer(picture), nullptr);
    const QPalette before = picture->palette();
    const QPoint inside(10, 10);

    linktest::movePointer(picture, inside);
    EXPECT_TRUE(hoverTimer(picture)->isActive());
    EXPECT_EQ(picture->cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseClick(picture, Qt::LeftButton, {}, inside);
    EXPECT_EQ(shell.targets(), QStringList { QStringLiteral("http://picture.example") });
    EXPECT_EQ(picture->palette(), before);
    EXPECT_FALSE(dlg->IsEnded());

    linktest::movePointer(dlg->GetDialogWidget(), QPoint(2, 2));
    EXPECT_TRUE(waitUntil([&] { return !hoverTimer(picture)->isActive(); }));
    EXPECT_EQ(picture->palette(), before);
}

TEST_F(MainDialogLinkTest, TheAboutButtonAndTheWindowMenuOpenTheSameModalBoxThatBlocksTheMainDialog)
{
    auto* aboutButton = qobject_cast<QAbstractButton*>(item(res::IDC_ABOUT));
    ASSERT_NE(aboutButton, nullptr);
    struct Route {
        const char* name;
        std::function<void()> open;
    };
    const Route routes[] = {
        { "关于 button", [&] { QTest::mouseClick(aboutButton, Qt::LeftButton); } },
        { "window menu",
            [&] {
                dlg->OpenSystemMenu(false);
                auto* menu = dlg->GetDialogWidget()->findChild<QMenu*>(QStringLiteral("systemMenu"));
                ASSERT_NE(menu, nullptr);
                const auto actions = menu->actions();
                const auto about = std::find_if(actions.begin(), actions.end(),
                    [](QAction* action) { return action->text() == QStringLiteral("关于 marvolen(&A)..."); });
                ASSERT_NE(about, actions.end());
                menu->close();
                (*about)->trigger();
            } },
    };
    QWidget* mainWindow = dlg->GetDialogWidget();
    // Every About box on screen: visible top-level dialogs besides the main one.
    const auto openBoxes = [&] {
        std::vector<QDialog*> found;
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QDialog*>(widget);
            if (box && box != mainWindow && box->isVisible())
                found.push_back(box);
        }
        return found;
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        std::vector<QPointer<QDialog>> seen;
        QStringList addressTexts;
        bool wasModal = false;
        QTimer poll;
        poll.setInterval(10);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            const auto found = openBoxes();
            if (found.empty() || !seen.empty())
                return;
            QDialog* box = found.front();
            seen.emplace_back(box);
            wasModal = QApplication::activeModalWidget() == box;
            for (auto* label : box->findChildren<QLabel*>()) {
                if (label->property(platform::kControlIdProperty).toInt() == 1008) {
                    addressTexts << label->text();
                    EXPECT_EQ(linktest::textColour(label), linktest::linkColour(CStaticLink::s_crNormal));
                }
            }
            // The main dialog takes no input while the box is up: a click on its 关于 button, delivered
            // as the window system delivers it, must not open a second box.
            const QPoint at = aboutButton->mapTo(mainWindow, aboutButton->rect().center());
            QTest::mouseClick(mainWindow->windowHandle(), Qt::LeftButton, {}, at);
            QTest::keyClick(box, Qt::Key_Escape);
        });
        // A second box would hold the poll inside its click; this one closes whatever is left.
        QTimer sweep;
        sweep.setInterval(1500);
        QObject::connect(&sweep, &QTimer::timeout, [&] {
            for (QDialog* box : openBoxes()) {
                if (std::find(seen.begin(), seen.end(), box) == seen.end())
                    seen.emplace_back(box);
                box->reject();
            }
        });
        poll.start();
        sweep.start();
        route.open();
        poll.stop();
        sweep.stop();
        EXPECT_EQ(seen.size(), 1u);
        EXPECT_TRUE(wasModal);
        EXPECT_EQ(addressTexts, QStringList { QStringLiteral("http://picture.example") });
        EXPECT_TRUE(openBoxes().empty());
        EXPECT_FALSE(dlg->IsEnded());
    }
    EXPECT_TRUE(shell.targets().isEmpty());
}

} // namespace
