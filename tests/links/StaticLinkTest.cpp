#include "links/StaticLink.h"

#include "LinkTestSupport.h"
#include "Recorders.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

using links::CStaticLink;
using linktest::linkColour;
using linktest::textColour;
using linktest::waitUntil;

constexpr unsigned kSsLeft = 0x00;
constexpr unsigned kSsRight = 0x02;
constexpr unsigned kSsIcon = 0x03;
constexpr unsigned kSsBitmap = 0x0E;
constexpr unsigned kWsChildVisible = 0x50000000;
constexpr int kLinkId = 1008;

// A window with one static control at (20, 20), 160 × 16, bound to a link the test owns.
class LinkWindow {
public:
    explicit LinkWindow(
        const QString& text = QStringLiteral("http://text.example"), unsigned style = kSsLeft, QPoint at = { 100, 100 })
    {
        window.setGeometry(QRect(at, QSize(320, 200)));
        label = new QLabel(text, &window);
        label->setGeometry(20, 20, 160, 16);
        label->setProperty(platform::kControlIdProperty, kLinkId);
        label->setProperty(platform::kControlStyleProperty, kWsChildVisible | style);
        if ((style & 0xFF) == kSsBitmap) {
            QPixmap picture(142, 79);
            picture.fill(Qt::darkGreen);
            label->setPixmap(picture);
            label->setGeometry(20, 20, 142, 79);
        }
        window.show();
        // Start every test with the pointer away from the control.
        linktest::movePointer(&window, outside());
        (void)QTest::qWaitForWindowExposed(&window);
    }

    void attach(CStaticLink& link) { link.Attach(label); }
    void enter(QPoint at = {}) { linktest::movePointer(label, at.isNull() ? label->rect().center() : at); }
    void leave() { linktest::movePointer(&window, outside()); }
    void click() { QTest::mouseClick(label, Qt::LeftButton, {}, label->rect().center()); }
    static QPoint outside() { return { 300, 180 }; }

    QWidget window;
    QLabel* label = nullptr;
};

class StaticLinkTest : public ::testing::Test {
protected:
    linktest::CursorLoaderStub cursors;
    linktest::BeepRecorder beeps;
    testsupport::ShellRecorder shell;
    testsupport::MessageBoxRecorder boxes;
};

TEST_F(StaticLinkTest, IdleUntilThePointerEntersThenRedAtOnceAndBlueAgainWithinATickOfLeaving)
{
    LinkWindow w;
    CStaticLink link;
    w.attach(link);
    EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crNormal));
    EXPECT_FALSE(link.IsHovering());
    EXPECT_FALSE(link.IsHoverTimerRunning());
    EXPECT_TRUE(w.label->hasMouseTracking());

    w.enter();
    EXPECT_TRUE(link.IsHovering());
    EXPECT_TRUE(link.IsHoverTimerRunning());
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);
    EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crHover));

    // Moving about inside changes nothing and keeps polling.
    w.enter(QPoint(2, 2));
    QTest::qWait(250);
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);
    EXPECT_TRUE(link.IsHoverTimerRunning());

    QElapsedTimer clock;
    clock.start();
    w.leave();
    ASSERT_TRUE(waitUntil([&] { return !link.IsHovering(); }));
    RecordProperty("leaveToIdleMs", static_cast<int>(clock.elapsed()));
    EXPECT_LE(clock.elapsed(), CStaticLink::kHoverPollMs + 70); // the next tick, with some slack for a busy machine
    EXPECT_FALSE(link.IsHoverTimerRunning());
    EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crNormal));
    EXPECT_TRUE(shell.targets().isEmpty());
    EXPECT_TRUE(beeps.beeps().empty());
}

TEST_F(StaticLinkTest, TheHoverTestIsGeometricSoAWindowOverTheLinkDoesNotEndIt)
{
    LinkWindow w;
    CStaticLink link;
    w.attach(link);
    auto* cover = new QWidget(&w.window);
    cover->setGeometry(100, 10, 100, 40); // over the right part of the control
    cover->show();
    cover->raise();

    w.enter(QPoint(10, 8));
    ASSERT_TRUE(link.IsHovering());
    linktest::movePointer(cover, QPoint(20, 18)); // still over the control's rectangle
    QTest::qWait(300);
    EXPECT_TRUE(link.IsHovering());
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);

    linktest::movePointer(cover, QPoint(90, 35)); // over the cover, below the control
    EXPECT_TRUE(waitUntil([&] { return !link.IsHovering(); }));
}

TEST_F(StaticLinkTest, AnAcceptedClickTurnsPurpleUntilThePointerLeavesAndTheNextEntryIsRedAgain)
{
    LinkWindow w;
    CStaticLink link;
    w.attach(link);
    link.m_target = QStringLiteral("http://site.example");

    w.enter();
    w.click();
    EXPECT_EQ(shell.targets(), QStringList { QStringLiteral("http://site.example") });
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crVisited);
    EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crVisited));
    EXPECT_TRUE(beeps.beeps().empty());

    QTest::qWait(250);
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crVisited);

    w.leave();
    ASSERT_TRUE(waitUntil([&] { return link.GetTextColor() == CStaticLink::s_crNormal; }));
    EXPECT_FALSE(link.IsHoverTimerRunning());

    w.enter();
    EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);
}

TEST_F(StaticLinkTest, TheShellsAnswerDecidesBetweenPurpleAndABeep)
{
    struct Case {
        const char* name;
        platform::ShellResult result;
        bool opened;
    };
    const Case cases[] = {
        { "no file", 2, false },
        { "no association", platform::SE_ERR_NOASSOC, false },
        { "32 is still a failure", 32, false },
        { "33 is the first success", 33, true },
        { "a negative number taken unsigned is large", -1, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LinkWindow w;
        CStaticLink link;
        w.attach(link);
        link.m_target = QStringLiteral("http://site.example");
        shell.setResult(c.result);
        const size_t beepsBefore = beeps.beeps().size();

        w.enter();
        w.click();
        w.click();
        EXPECT_EQ(link.m_target, QStringLiteral("http://site.example"));
        if (c.opened) {
            EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crVisited);
            EXPECT_EQ(beeps.beeps().size(), beepsBefore);
        } else {
            EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);
            EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crHover));
            ASSERT_EQ(beeps.beeps().size(), beepsBefore + 2); // one per click
            EXPECT_EQ(beeps.beeps().back(), platform::MB_OK);
        }
        EXPECT_TRUE(boxes.boxes().empty());
    }
}

TEST_F(StaticLinkTest, AClickWithoutTargetTakesTheStringNumberedLikeTheControlThenItsTextAndKeepsIt)
{
    struct Case {
        const char* name;
        QString resourceString; // string numbered like the control, empty when there is none
        QString text;
        QString opened; // empty: nothing at all happens
    };
    const Case cases[] = {
        { "string resource first", QStringLiteral("http://resource.example"), QStringLiteral("http://text.example"),
            QStringLiteral("http://resource.example") },
        { "then the control's text", QString(), QStringLiteral("http://text.example"),
            QStringLiteral("http://text.example") },
        { "nothing anywhere", QString(), QString(), QString() },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int lookups = 0;
        auto previous = CStaticLink::SetStringLookupForTesting([&](int id) {
            ++lookups;
            return id == kLinkId ? c.resourceString : QString();
        });
        shell.setResult(platform::kShellOpened);
        LinkWindow w(c.text);
        CStaticLink link;
        w.attach(link);
        const QStringList openedBefore = shell.targets();
        const size_t beepsBefore = beeps.beeps().size();

        w.enter();
        w.click();
        if (c.opened.isEmpty()) {
            EXPECT_EQ(shell.targets(), openedBefore);
            EXPECT_EQ(beeps.beeps().size(), beepsBefore);
            EXPECT_EQ(link.GetTextColor(), CStaticLink::s_crHover);
            EXPECT_TRUE(link.m_target.isEmpty());
        } else {
            // Later clicks reuse the target found by the first, even when the text has changed since.
            w.label->setText(QStringLiteral("http://changed.example"));
            w.click();
            QStringList expected = openedBefore;
            expected << c.opened << c.opened;
            EXPECT_EQ(shell.targets(), expected);
            EXPECT_EQ(link.m_target, c.opened);
            EXPECT_EQ(lookups, 1);
        }
        CStaticLink::SetStringLookupForTesting(std::move(previous));
    }
}

TEST_F(StaticLinkTest, OnlyTheLeftButtonOpensAndKeysDoNothing)
{
    LinkWindow w;
    CStaticLink link;
    w.attach(link);
    link.m_target = QStringLiteral("http://site.example");
    w.enter();
    QTest::mouseClick(w.label, Qt::RightButton, {}, w.label->rect().center());
    QTest::mouseClick(w.label, Qt::MiddleButton, {}, w.label->rect().center());
    for (const auto key : { Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space })
        QTest::keyClick(w.label, key);
    EXPECT_TRUE(shell.targets().isEmpty());
    EXPECT_EQ(w.label->focusPolicy(), Qt::NoFocus);
}

TEST_F(StaticLinkTest, APictureLinkTracksTheHoverAndOpensButNeverChangesColour)
{
    for (const unsigned style : { kSsBitmap, kSsIcon }) {
        SCOPED_TRACE(style);
        LinkWindow w(QString(), style);
        const QPalette before = w.label->palette();
        CStaticLink link;
        w.attach(link);
        link.m_target = QStringLiteral("http://site.example");
        EXPECT_FALSE(link.IsTextLink());

        w.enter();
        EXPECT_TRUE(link.IsHovering());
        EXPECT_TRUE(link.IsHoverTimerRunning());
        EXPECT_EQ(w.label->cursor().shape(), Qt::PointingHandCursor);
        w.click();
        EXPECT_EQ(shell.targets().last(), QStringLiteral("http://site.example"));
        EXPECT_EQ(w.label->palette(), before);
        EXPECT_FALSE(link.GetLinkFont().has_value());

        w.leave();
        EXPECT_TRUE(waitUntil([&] { return !link.IsHoverTimerRunning(); }));
        EXPECT_EQ(w.label->palette(), before);
    }
}

TEST_F(StaticLinkTest, TextStaticsOfEveryAlignmentAreColouredAndKeepTheirOwnUnderlinelessFont)
{
    for (const unsigned style : { kSsLeft, 0x01u, kSsRight }) {
        SCOPED_TRACE(style);
        LinkWindow w(QStringLiteral("http://text.example"), style);
        QFont dialogFont(QStringLiteral("Sans"), 9);
        w.window.setFont(dialogFont);
        CStaticLink link;
        w.attach(link);
        EXPECT_TRUE(link.IsTextLink());
        w.label->repaint();
        ASSERT_TRUE(link.GetLinkFont().has_value());
        EXPECT_FALSE(link.GetLinkFont()->underline());
        EXPECT_EQ(link.GetLinkFont()->family(), w.window.font().family());
        EXPECT_EQ(link.GetLinkFont()->pointSizeF(), w.window.font().pointSizeF());
        EXPECT_FALSE(w.label->font().underline());
        EXPECT_FALSE(w.label->autoFillBackground());
        EXPECT_EQ(textColour(w.label), linkColour(CStaticLink::s_crNormal));

        // The copy is made once: a later change of the dialog font does not reach the link.
        w.window.setFont(QFont(QStringLiteral("Serif"), 14));
        w.label->repaint();
        EXPECT_EQ(w.label->font().pointSizeF(), dialogFont.pointSizeF());
    }
}

TEST_F(StaticLinkTest, TheCursorIsLoadedOnceForAllLinksAndMessages)
{
    LinkWindow first;
    LinkWindow second(QStringLiteral("http://text.example"), kSsLeft, { 500, 100 });
    CStaticLink a;
    CStaticLink b;
    first.attach(a);
    second.attach(b);
    EXPECT_EQ(cursors.loads(), 0); // nothing before the first cursor request
    for (int i = 0; i < 5; ++i) {
        first.enter(QPoint(5 + i, 5));
        second.enter(QPoint(5 + i, 5));
    }
    EXPECT_EQ(cursors.loads(), 1);
    EXPECT_EQ(first.label->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(second.label->cursor().shape(), Qt::PointingHandCursor);

    // A link made later still uses the same cursor.
    LinkWindow third(QStringLiteral("http://text.example"), kSsLeft, { 100, 400 });
    CStaticLink c;
    third.attach(c);
    third.enter();
    EXPECT_EQ(cursors.loads(), 1);
    EXPECT_EQ(third.label->cursor().shape(), Qt::PointingHandCursor);
}

TEST(StaticLinkCursorTest, WithoutALinkCursorTheLoadIsTriedOnceAndNoCursorIsSet)
{
    linktest::CursorLoaderStub cursors(false);
    testsupport::ShellRecorder shell;
    LinkWindow first;
    LinkWindow second(QStringLiteral("http://text.example"), kSsLeft, { 500, 100 });
    CStaticLink a;
    CStaticLink b;
    first.attach(a);
    second.attach(b);
    a.m_target = QStringLiteral("http://site.example");
    for (int i = 0; i < 5; ++i) {
        first.enter(QPoint(5 + i, 5));
        second.enter(QPoint(5 + i, 5));
    }
    EXPECT_EQ(cursors.loads(), 1);
    EXPECT_FALSE(first.label->testAttribute(Qt::WA_SetCursor));
    EXPECT_FALSE(second.label->testAttribute(Qt::WA_SetCursor));
    EXPECT_EQ(CStaticLink::LinkCursor(), nullptr);
    EXPECT_EQ(cursors.loads(), 1);

    // The rest of the link works as before.
    EXPECT_TRUE(b.IsHovering());
    first.enter();
    first.click();
    EXPECT_EQ(shell.targets().size(), 1);
}

TEST_F(StaticLinkTest, ClosingADialogWhileThePointerIsOverItsLinkLeavesNoTimerRunning)
{
    auto dialog = std::make_unique<QDialog>();
    dialog->setGeometry(100, 100, 320, 200);
    auto* label = new QLabel(QStringLiteral("http://text.example"), dialog.get());
    label->setGeometry(20, 20, 160, 16);
    CStaticLink link;
    link.Attach(label);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    linktest::movePointer(label, label->rect().center());
    ASSERT_TRUE(link.IsHoverTimerRunning());

    dialog->accept();
    EXPECT_FALSE(link.IsHoverTimerRunning());
    EXPECT_FALSE(link.IsHovering());

    // The window goes with the dialog; the link outlives it without touching it.
    dialog.reset();
    EXPECT_EQ(link.GetSafeWidget(), nullptr);
    EXPECT_FALSE(link.IsHoverTimerRunning());
    QTest::qWait(150);
}

TEST_F(StaticLinkTest, ALinkDestroyedBeforeItsControlLeavesTheControlAlone)
{
    LinkWindow w;
    {
        CStaticLink link;
        w.attach(link);
        link.m_target = QStringLiteral("http://site.example");
        w.enter();
        ASSERT_TRUE(link.IsHoverTimerRunning());
    }
    w.leave();
    w.enter();
    w.click();
    QTest::qWait(150);
    EXPECT_TRUE(shell.targets().isEmpty());
    EXPECT_TRUE(w.label->findChildren<QTimer*>().isEmpty());
}

TEST_F(StaticLinkTest, AnAutoDeleteLinkDeletesItselfAfterItsControl)
{
    struct Probe : CStaticLink {
        Probe(bool autoDelete, bool& deleted)
            : CStaticLink("http://site.example", autoDelete)
            , m_deleted(deleted)
        {
        }
        ~Probe() override { m_deleted = true; }
        bool& m_deleted;
    };
    bool kept = false;
    bool deleted = false;
    auto* owned = new Probe(false, kept);
    auto* selfDeleting = new Probe(true, deleted);
    {
        LinkWindow w;
        owned->Attach(w.label);
        auto* second = new QLabel(&w.window);
        selfDeleting->Attach(second);
        linktest::movePointer(second, second->rect().center());
    }
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(kept);
    EXPECT_EQ(owned->m_target, QStringLiteral("http://site.example"));
    delete owned;
    EXPECT_TRUE(kept);
}

TEST(LinkTargetTest, NavigateAsksTheShellOnlyForATarget)
{
    testsupport::ShellRecorder shell(platform::SE_ERR_NOASSOC);
    EXPECT_EQ(links::CLinkTarget().Navigate(), 0);
    EXPECT_TRUE(shell.targets().isEmpty());
    links::CLinkTarget target;
    target = QStringLiteral("http://site.example/a b");
    EXPECT_EQ(target.Navigate(), platform::SE_ERR_NOASSOC);
    EXPECT_EQ(shell.targets(), QStringList { QStringLiteral("http://site.example/a b") });
    EXPECT_EQ(CStaticLink("http://x.example").m_target, QStringLiteral("http://x.example"));
    EXPECT_TRUE(CStaticLink().m_target.isEmpty());
}

} // namespace
