#include "CheckFixture.h"

#include <QGuiApplication>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QTest>
#include <cstdlib>

using namespace std::chrono_literals;

namespace {

using namespace updatetest;

using VersionCheckTest = CheckTest;

TEST_F(VersionCheckTest, RequestCarriesTheThreeValuesAsTheyAre)
{
    server.setReply(LocalHttpServer::reply({}));
    Check(QStringLiteral("2006-05-01"));
    Check(QString());
    ASSERT_EQ(server.requests().size(), 2);
    EXPECT_EQ(server.requests()[0].method, "GET");
    EXPECT_EQ(server.requests()[0].target, "/update/vercheck.jsp?softID=marvolen&softVer=1.00&databaseVer=2006-05-01");
    // The third pair is there even when the bank has no version.
    EXPECT_EQ(server.requests()[1].target, "/update/vercheck.jsp?softID=marvolen&softVer=1.00&databaseVer=");
}

// Characters that would end or change a query value go in encoded; the service decodes exactly
// the text the bank holds. Characters URL syntax allows in a query stay literal.
TEST_F(VersionCheckTest, DatabaseVersionReachesTheServiceUnchanged)
{
    struct Case {
        QString version;
        QByteArray sentAs;
    };
    server.setReply(LocalHttpServer::reply({}));
    for (const Case& c : { Case { QStringLiteral("2006.05.01_a~b-c"), "2006.05.01_a~b-c" },
             Case { QStringLiteral("a/b?c:d@e=f;g"), "a/b?c:d@e=f;g" },
             Case { QStringLiteral("2006 5 1"), "2006%205%201" }, Case { QStringLiteral("a&softID=x"), {} },
             Case { QStringLiteral("#1"), {} }, Case { QStringLiteral("50%"), {} }, Case { QStringLiteral("%41"), {} },
             Case { QStringLiteral("1+1"), {} }, Case { QStringLiteral("二〇〇六年五月"), {} } }) {
        SCOPED_TRACE(c.version.toStdString());
        const qsizetype before = server.requests().size();
        Check(c.version);
        ASSERT_EQ(server.requests().size(), before + 1);
        const QByteArray target = server.requests().back().target;
        EXPECT_EQ(QueryValueOf(target, "databaseVer"), c.version);
        EXPECT_EQ(QueryValueOf(target, "softID"), QStringLiteral("marvolen"));
        if (!c.sentAs.isEmpty()) {
            EXPECT_TRUE(target.endsWith("&databaseVer=" + c.sentAs)) << target.toStdString();
        }
    }
}

enum class Outcome { UpToDate, ProgramOffer, BankOffer, Failure };

struct DecisionCase {
    const char* label;
    QByteArrayList cookies; // Set-Cookie values, in header order
    QString localVersion;
    Outcome outcome;
    int answer = platform::IDNO;
    const char* opened = nullptr; // the address handed to the browser, after the site address
    QByteArray status = "200 OK";
};

class DecisionTest : public VersionCheckTest, public ::testing::WithParamInterface<DecisionCase> { };

TEST_P(DecisionTest, ShowsOneBoxAndOpensWhatWasAccepted)
{
    const DecisionCase& c = GetParam();
    server.setReply(LocalHttpServer::reply(c.cookies, c.status));
    boxes.queueAnswer(c.answer);
    Check(c.localVersion);

    EXPECT_EQ(server.requests().size(), 1);
    ASSERT_EQ(boxes.boxes().size(), 1u) << boxes.texts().join(" | ").toStdString();
    const platform::MessageBoxRequest& box = boxes.boxes().front();
    switch (c.outcome) {
    case Outcome::UpToDate:
        EXPECT_EQ(box.text, UpToDateText(host()));
        EXPECT_EQ(box.type, kOkBox);
        break;
    case Outcome::ProgramOffer:
        EXPECT_EQ(box.text, kProgramOffer);
        EXPECT_EQ(box.type, kYesNoBox);
        break;
    case Outcome::BankOffer:
        EXPECT_EQ(box.text, kBankOffer);
        EXPECT_EQ(box.type, kYesNoBox);
        break;
    case Outcome::Failure:
        EXPECT_EQ(box.text, FailureText(host()));
        EXPECT_EQ(box.type, kOkBox);
        break;
    }
    if (c.opened)
        EXPECT_EQ(shell.targets(), QStringList { server.address() + QString::fromUtf8(c.opened) });
    else
        EXPECT_TRUE(shell.targets().isEmpty());
}

const char* const kRar = "/product/marvolen.rar";
const char* const kMdb = "/product/tovra.mdb";

INSTANTIATE_TEST_SUITE_P(Cases, DecisionTest,
    ::testing::Values(DecisionCase { "BothCurrent", { "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }, "2006-05-01",
                          Outcome::UpToDate },
        DecisionCase {
            "OlderServerBank", { "CurSoftVer=1.00", "CurDatabaseVer=2000-01-01" }, "2006-05-01", Outcome::UpToDate },
        DecisionCase { "CookiesInOtherOrder", { "CurDatabaseVer=2006-05-01", "CurSoftVer=1.00" }, "2006-05-01",
            Outcome::UpToDate },
        // The bank is not compared while a newer program is reported.
        DecisionCase { "NewProgramYes", { "CurSoftVer=1.10", "CurDatabaseVer=2099-01-01" }, "2006-05-01",
            Outcome::ProgramOffer, platform::IDYES, kRar },
        DecisionCase { "NewProgramNo", { "CurSoftVer=1.10", "CurDatabaseVer=2099-01-01" }, "2006-05-01",
            Outcome::ProgramOffer, platform::IDNO },
        DecisionCase { "ProgramComparedAsText", { "CurSoftVer=1.9", "CurDatabaseVer=2006-05-01" }, "2006-05-01",
            Outcome::ProgramOffer },
        DecisionCase { "NewBankYes", { "CurSoftVer=0.9", "CurDatabaseVer=2099-01-01" }, "2006-05-01",
            Outcome::BankOffer, platform::IDYES, kMdb },
        DecisionCase { "NewBankNo", { "CurSoftVer=1.00", "CurDatabaseVer=2099-01-01" }, "2006-05-01",
            Outcome::BankOffer, platform::IDNO },
        DecisionCase { "BankWithoutVersion", { "CurSoftVer=1.00", "CurDatabaseVer=1" }, "", Outcome::BankOffer,
            platform::IDYES, kMdb },
        DecisionCase { "LongerNameFirst", { "XCurSoftVer=2.00", "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" },
            "2006-05-01", Outcome::ProgramOffer },
        DecisionCase { "ErrorStatusWithCookies", { "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }, "2006-05-01",
            Outcome::UpToDate, platform::IDNO, nullptr, "503 Service Unavailable" },
        DecisionCase { "NoCookies", {}, "2006-05-01", Outcome::Failure },
        DecisionCase { "OtherCookiesOnly", { "JSESSIONID=abc" }, "2006-05-01", Outcome::Failure },
        DecisionCase { "NoProgramVersion", { "CurDatabaseVer=2099-01-01" }, "2006-05-01", Outcome::Failure },
        DecisionCase { "NoBankVersion", { "CurSoftVer=1.10" }, "2006-05-01", Outcome::Failure },
        DecisionCase {
            "EmptyProgramVersion", { "CurSoftVer=", "CurDatabaseVer=2099-01-01" }, "2006-05-01", Outcome::Failure },
        DecisionCase { "EmptyBankVersion", { "CurSoftVer=1.10", "CurDatabaseVer=" }, "2006-05-01", Outcome::Failure },
        DecisionCase { "CookiesForAnotherPath", { "CurSoftVer=1.10; Path=/other", "CurDatabaseVer=7; Path=/other" },
            "2006-05-01", Outcome::Failure }),
    [](const auto& row) { return std::string(row.param.label); });

TEST_F(VersionCheckTest, SecondCheckUsesTheCookiesOfTheFirst)
{
    server.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2099-01-01" }));
    Check(QStringLiteral("2006-05-01"));
    server.setReply(LocalHttpServer::reply({}));
    boxes.queueAnswer(platform::IDYES);
    Check(QStringLiteral("2006-05-01"));
    EXPECT_EQ(server.requests().size(), 2);
    EXPECT_EQ(boxes.texts(), (QStringList { kBankOffer, kBankOffer }));
    EXPECT_EQ(shell.targets(), QStringList { server.address() + kMdb });
}

// Whatever the outcome, the reply and the session are closed when the check returns: a server that
// would keep the connection alive sees it closed.
TEST_F(VersionCheckTest, EveryOutcomeClosesTheConnection)
{
    struct Case {
        const char* label;
        QByteArrayList cookies;
        bool silent;
    };
    const Case cases[] = {
        { "UpToDate", { "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }, false },
        { "OfferAnsweredNo", { "CurSoftVer=1.10", "CurDatabaseVer=2006-05-01" }, false },
        { "CookieMissing", {}, false },
        { "Silent", {}, true },
    };
    const auto previous = platform::SetTransferTimeoutForTesting(300ms);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        platform::ClearCookiesForTesting();
        LocalHttpServer service;
        service.setKeepOpen(true);
        service.setSilent(c.silent);
        service.setReply(LocalHttpServer::reply(c.cookies, "200 OK", { "Connection: keep-alive" }));
        res::SetSiteAddressForTesting(service.address());
        boxes.clear();
        Check(QStringLiteral("2006-05-01"));
        EXPECT_EQ(boxes.boxes().size(), 1u);
        EXPECT_EQ(service.connectionCount(), 1);
        EXPECT_TRUE(QTest::qWaitFor([&] { return service.openConnectionCount() == 0; }, 2000));
    }
    platform::SetTransferTimeoutForTesting(previous);
}

TEST_F(VersionCheckTest, RefusedConnectionShowsOnlyTheFailureMessage)
{
    const QString address = QStringLiteral("http://127.0.0.1:%1").arg(LocalHttpServer::closedPort());
    res::SetSiteAddressForTesting(address);
    Check(QStringLiteral("2006-05-01"));
    EXPECT_EQ(boxes.texts(), QStringList { FailureText(res::SiteHostName()) });
    EXPECT_EQ(boxes.boxes().front().type, kOkBox);
    EXPECT_TRUE(shell.targets().isEmpty());
}

TEST_F(VersionCheckTest, SilentServerShowsOnlyTheFailureMessage)
{
    const auto previous = platform::SetTransferTimeoutForTesting(500ms);
    server.setSilent(true);
    Check(QStringLiteral("2006-05-01"));
    platform::SetTransferTimeoutForTesting(previous);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(boxes.texts(), QStringList { FailureText(host()) });
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(VersionCheckTest, SiteAddressThatIsNotHttpShowsTheFailureMessage)
{
    res::SetSiteAddressForTesting(QStringLiteral("gopher://127.0.0.1:1"));
    Check(QStringLiteral("2006-05-01"));
    EXPECT_EQ(boxes.texts(), QStringList { FailureText(QStringLiteral("gopher://127.0.0.1:1")) });
}

// The session's failure leaves the check to the caller's report; nothing is sent.
TEST_F(VersionCheckTest, SessionThatCannotOpenEndsTheCheckBeforeTheRequest)
{
    server.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=1" }));
    platform::SetSessionOpenFailureForTesting(platform::InternetFailure {});
    bool thrown = false;
    try {
        Check(QStringLiteral("2006-05-01"));
    } catch (platform::CInternetException* e) {
        thrown = true;
        e->Delete();
    }
    platform::SetSessionOpenFailureForTesting(std::nullopt);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(boxes.boxes().empty());
}

// With http_proxy set and the real site address, the request goes to the proxy in absolute form
// and nowhere else; the cookies it sets count for the site.
TEST_F(VersionCheckTest, RequestGoesThroughTheProxyFromTheEnvironment)
{
    const QString site = QStringLiteral("http://www.marvolen.example");
    res::SetSiteAddressForTesting(site);
    setenv("http_proxy", server.address().toUtf8().constData(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    struct Restore {
        ~Restore() { unsetenv("http_proxy"); }
    } restore;

    // Nothing is sent unless the system configuration names our proxy: a direct request would
    // leave this machine.
    const QList<QNetworkProxy> proxies
        = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(QUrl(site + "/update/vercheck.jsp")));
    ASSERT_FALSE(proxies.isEmpty());
    ASSERT_EQ(proxies.front().type(), QNetworkProxy::HttpProxy);
    ASSERT_EQ(proxies.front().hostName(), QStringLiteral("127.0.0.1"));
    ASSERT_EQ(proxies.front().port(), server.port());

    server.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }));
    Check(QStringLiteral("2006-05-01"));
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_EQ(server.requests()[0].target,
        "http://www.marvolen.example/update/vercheck.jsp?softID=marvolen&softVer=1.00&databaseVer=2006-05-01");
    EXPECT_EQ(server.requests()[0].header("Host"), "www.marvolen.example");
    EXPECT_EQ(boxes.texts(), QStringList { UpToDateText(QStringLiteral("www.marvolen.example")) });
}

} // namespace
