#include "platform/Internet.h"

#include "LocalHttpServer.h"
#include "Printers.h"
#include "Recorders.h"
#include "platform/MessageBox.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

using namespace std::chrono_literals;
using platform::CHttpFile;
using platform::CInternetException;
using platform::CInternetSession;
using testsupport::LocalHttpServer;

namespace {

struct ExceptionDeleter {
    void operator()(CInternetException* e) const { e->Delete(); }
};
using ExceptionPtr = std::unique_ptr<CInternetException, ExceptionDeleter>;

// Runs one OpenURL and hands back either the reply or the exception it threw.
struct OpenResult {
    std::unique_ptr<CHttpFile> file;
    ExceptionPtr error;
};
OpenResult Open(CInternetSession& session, const QString& url)
{
    OpenResult result;
    try {
        result.file.reset(session.OpenURL(url));
    } catch (CInternetException* e) {
        result.error.reset(e);
    }
    return result;
}

QString Cookies(const QString& url)
{
    QString text;
    CInternetSession::GetCookie(url, QStringLiteral("ignored"), text);
    return text;
}

class InternetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.isListening());
        platform::ClearCookiesForTesting();
    }
    void TearDown() override { platform::ClearCookiesForTesting(); }

    LocalHttpServer server;
};

TEST_F(InternetTest, SendsOneGetWithTheApplicationNameAsUserAgent)
{
    server.setReply(LocalHttpServer::reply({}));
    CInternetSession session;
    const OpenResult result = Open(session, server.address() + "/update/vercheck.jsp?softID=a&b=c");
    ASSERT_TRUE(result.file);
    EXPECT_EQ(result.file->GetStatusCode(), 200);
    ASSERT_EQ(server.requests().size(), 1);
    const LocalHttpServer::Request& request = server.requests().front();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/update/vercheck.jsp?softID=a&b=c");
    EXPECT_EQ(QString::fromUtf8(request.header("User-Agent")), platform::ApplicationName());
}

TEST_F(InternetTest, CookieTextListsEveryCookieForTheAddressInOrder)
{
    server.setReply(
        LocalHttpServer::reply({ "a=1", "CurSoftVer=1.10; Path=/update", "b=", "elsewhere=1; Path=/other" }));
    CInternetSession session;
    const QString url = server.address() + "/update/vercheck.jsp?x=1";
    ASSERT_TRUE(Open(session, url).file);
    // Longer paths first, then in the order they were set.
    EXPECT_EQ(Cookies(url), "a=1; b=; CurSoftVer=1.10");
    // The store is keyed by address, not by session: a later session and another query see them too.
    session.Close();
    EXPECT_EQ(Cookies(server.address() + "/update/vercheck.jsp?x=2"), "a=1; b=; CurSoftVer=1.10");
    EXPECT_EQ(Cookies(server.address() + "/other/page"), "elsewhere=1");
}

TEST_F(InternetTest, NoCookiesGivesEmptyText)
{
    QString text = QStringLiteral("left over");
    EXPECT_FALSE(CInternetSession::GetCookie(server.address() + "/update/vercheck.jsp", "CurSoftVer", text));
    EXPECT_TRUE(text.isEmpty());
}

// Whatever the status, a reply whose headers arrived is a reply, and its cookies are stored.
TEST_F(InternetTest, ErrorAndRedirectRepliesAreRepliesAndRedirectsAreNotFollowed)
{
    struct Case {
        QByteArray status;
        QByteArrayList headers;
        int code;
    };
    for (const Case& c : { Case { "404 Not Found", {}, 404 }, Case { "500 Internal Server Error", {}, 500 },
             Case { "302 Found", { "Location: /update/elsewhere.jsp" }, 302 },
             Case { "301 Moved Permanently", { "Location: /product/marvolen.rar" }, 301 } }) {
        SCOPED_TRACE(c.status.toStdString());
        platform::ClearCookiesForTesting();
        LocalHttpServer local;
        local.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00" }, c.status, c.headers));
        CInternetSession session;
        const QString url = local.address() + "/update/vercheck.jsp";
        const OpenResult result = Open(session, url);
        ASSERT_TRUE(result.file);
        EXPECT_EQ(result.file->GetStatusCode(), c.code);
        // Give a followed redirect the time to show up.
        QTest::qWait(100);
        EXPECT_EQ(local.requests().size(), 1);
        EXPECT_EQ(Cookies(url), "CurSoftVer=1.00");
    }
}

TEST_F(InternetTest, AddressesThatAreNotHttpYieldNoReply)
{
    CInternetSession session;
    for (const QString& url : { QStringLiteral("ftp://127.0.0.1/x"), QStringLiteral("file:///etc/hostname"),
             QStringLiteral("127.0.0.1/update/vercheck.jsp"), QString() }) {
        SCOPED_TRACE(url.toStdString());
        const OpenResult result = Open(session, url);
        EXPECT_FALSE(result.file);
        EXPECT_FALSE(result.error);
    }
}

TEST_F(InternetTest, RefusedConnectionThrows)
{
    CInternetSession session;
    const OpenResult result
        = Open(session, QStringLiteral("http://127.0.0.1:%1/update/vercheck.jsp").arg(LocalHttpServer::closedPort()));
    ASSERT_TRUE(result.error);
    EXPECT_FALSE(result.file);
    EXPECT_EQ(result.error->m_dwError, platform::ERROR_INTERNET_CANNOT_CONNECT);
}

TEST_F(InternetTest, ConnectionClosedBeforeHeadersThrows)
{
    server.setReply(QByteArray());
    CInternetSession session;
    const OpenResult result = Open(session, server.address() + "/update/vercheck.jsp");
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->m_dwError, platform::ERROR_INTERNET_CONNECTION_ABORTED);
}

TEST_F(InternetTest, SilentServerTimesOut)
{
    EXPECT_EQ(CInternetSession::TransferTimeout(), 30s);
    const auto previous = platform::SetTransferTimeoutForTesting(300ms);
    server.setSilent(true);
    CInternetSession session;
    QElapsedTimer clock;
    clock.start();
    const OpenResult result = Open(session, server.address() + "/update/vercheck.jsp");
    const qint64 elapsed = clock.elapsed();
    platform::SetTransferTimeoutForTesting(previous);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(result.error->m_dwError, platform::ERROR_INTERNET_TIMEOUT);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_GE(elapsed, 250);
    EXPECT_LT(elapsed, 5000);
}

// Headers that arrive and then a body that never ends: the call returns with the headers.
TEST_F(InternetTest, ReturnsOnceHeadersArriveWithoutWaitingForTheBody)
{
    server.setResponder([](const LocalHttpServer::Request&) {
        return QByteArray("HTTP/1.1 200 OK\r\nSet-Cookie: CurSoftVer=1.00\r\nContent-Length: 100000000\r\n\r\n")
            + QByteArray(256 * 1024, 'x');
    });
    const auto previous = platform::SetTransferTimeoutForTesting(2s);
    CInternetSession session;
    QElapsedTimer clock;
    clock.start();
    const OpenResult result = Open(session, server.address() + "/update/vercheck.jsp");
    platform::SetTransferTimeoutForTesting(previous);
    ASSERT_TRUE(result.file);
    EXPECT_LT(clock.elapsed(), 1500);
    EXPECT_EQ(Cookies(server.address() + "/update/vercheck.jsp"), "CurSoftVer=1.00");
}

TEST_F(InternetTest, BusyCursorWhileWaitingRestoredOnEveryPath)
{
    std::optional<Qt::CursorShape> shapeWhileWaiting;
    server.setResponder([&](const LocalHttpServer::Request&) {
        if (const QCursor* cursor = QGuiApplication::overrideCursor())
            shapeWhileWaiting = cursor->shape();
        return LocalHttpServer::reply({});
    });
    CInternetSession session;
    EXPECT_TRUE(Open(session, server.address() + "/").file);
    EXPECT_EQ(shapeWhileWaiting, Qt::WaitCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    EXPECT_TRUE(Open(session, QStringLiteral("http://127.0.0.1:%1/").arg(LocalHttpServer::closedPort())).error);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// The wait is not the frozen window of a blocking call: a window asked to repaint meanwhile does.
TEST_F(InternetTest, WindowsRepaintWhileWaiting)
{
    class PaintCounter : public QWidget {
    public:
        int paints = 0;

    protected:
        void paintEvent(QPaintEvent*) override { ++paints; }
    } window;
    window.resize(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QTest::qWait(50);
    const int paintsBefore = window.paints;

    const auto previous = platform::SetTransferTimeoutForTesting(400ms);
    server.setSilent(true);
    QTimer::singleShot(50, &window, [&] { window.update(); });
    int paintsWhileWaiting = 0;
    QTimer::singleShot(300, &window, [&] { paintsWhileWaiting = window.paints - paintsBefore; });
    CInternetSession session;
    EXPECT_TRUE(Open(session, server.address() + "/").error);
    platform::SetTransferTimeoutForTesting(previous);
    EXPECT_GE(paintsWhileWaiting, 1);
}

TEST_F(InternetTest, SessionOpenFailureThrowsAndReportsWithTheStopIcon)
{
    struct Case {
        QString text;
        QString shown;
    };
    for (const Case& c :
        { Case { QStringLiteral("无法初始化 Internet 会话"), QStringLiteral("无法初始化 Internet 会话") },
            Case { QString(), QStringLiteral("内部应用程序出错。") } }) {
        SCOPED_TRACE(c.shown.toStdString());
        platform::SetSessionOpenFailureForTesting(
            platform::InternetFailure { platform::ERROR_INTERNET_INTERNAL_ERROR, c.text });
        ExceptionPtr error;
        try {
            CInternetSession session;
        } catch (CInternetException* e) {
            error.reset(e);
        }
        platform::SetSessionOpenFailureForTesting(std::nullopt);
        ASSERT_TRUE(error);
        testsupport::MessageBoxRecorder boxes;
        error->ReportError();
        ASSERT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(boxes.boxes()[0].text, c.shown);
        EXPECT_EQ(boxes.boxes()[0].type, platform::MB_OK | platform::MB_ICONSTOP);
    }
}

} // namespace
