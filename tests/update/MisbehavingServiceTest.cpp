// The version check against update services that misbehave: every case ends in one box, in time,
// without a crash and without holding on to what the service pours in.
#include "CheckFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <chrono>
#include <functional>
#include <string>

namespace {

using namespace std::chrono_literals;
using namespace updatetest;

// Kilobytes of the process's resident set: now, or at its peak.
qint64 StatusKilobytes(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the peak anew, so that one case's peak does not hide behind an earlier one's.
bool ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

QByteArray Headers(const QByteArrayList& lines)
{
    return "HTTP/1.1 200 OK\r\n" + lines.join("\r\n") + "\r\n";
}

const QByteArray kBothCookies = "Set-Cookie: CurSoftVer=1.00\r\nSet-Cookie: CurDatabaseVer=2006-05-01\r\n";

class MisbehavingServiceTest : public CheckTest {
protected:
    void TearDown() override
    {
        platform::SetTransferTimeoutForTesting(platform::CInternetSession::kDefaultTransferTimeout);
        CheckTest::TearDown();
    }
};

enum class Outcome { Failure, UpToDate };
struct Case {
    const char* label;
    std::function<void(LocalHttpServer&)> serve;
    Outcome outcome;
    // Qt sends a request again, on a new connection, when the first closed before any reply.
    int maxConnections = 1;
};

TEST_F(MisbehavingServiceTest, EveryMisbehaviourEndsInOneBoxInTimeWithBoundedMemory)
{
    // A short time-out keeps the run brief. The trickle and the endless streams are never silent for
    // that long: they end in time only because bytes of unfinished headers do not restart the
    // time-out, so it bounds how long the headers may take in all.
    constexpr auto kSilence = 1s;
    // While a stream pours in, the abort takes a few seconds more to land (a fixed delay, measured
    // 2 to 3.5 s; with the 30 s default the check ends at 30 s); a sanitizer build is slower still.
    constexpr auto kSlack = 8s;
    constexpr qint64 kMemoryBoundKb = 100 * 1024;

    auto cookies = [](int count) {
        QByteArray text = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < count - 2; ++i)
            text += "Set-Cookie: filler" + QByteArray::number(i) + "=" + QByteArray(20, 'x') + "\r\n";
        return text + kBothCookies + "Connection: close\r\nContent-Length: 0\r\n\r\n";
    };
    const QByteArray headerLines = ("X-Filler: " + QByteArray(90, 'f') + "\r\n").repeated(64);
    const QByteArray end = kBothCookies + "Connection: close\r\nContent-Length: 0\r\n\r\n";
    LocalHttpServer otherHost;
    ASSERT_TRUE(otherHost.isListening());

    const Case cases[] = {
        { "NoAnswer", [](LocalHttpServer& s) { s.setSilent(true); }, Outcome::Failure },
        { "OneByteEvery200ms",
            [](LocalHttpServer& s) {
                s.setConnectionHandler(LocalHttpServer::trickle(Headers({ "X-Slow: " + QByteArray(100, 'a') }), 200ms));
            },
            Outcome::Failure },
        { "ResetInTheHeaders",
            [](LocalHttpServer& s) {
                s.setConnectionHandler(
                    LocalHttpServer::resetAfter("HTTP/1.1 200 OK\r\nSet-Cookie: CurSoftVer=1.00\r\nX-Half"));
            },
            Outcome::Failure, 4 },
        { "NotHttp", [](LocalHttpServer& s) { s.setReply("SSH-2.0-OpenSSH_9.2\r\nProtocol mismatch.\r\n"); },
            Outcome::Failure, 4 },
        { "BinaryGarbage",
            [](LocalHttpServer& s) { s.setReply(QByteArray("\x00\xff\x16\x03\x01\x02\x00\x01", 8).repeated(1000)); },
            Outcome::Failure, 4 },
        { "EndlessGarbage",
            [](LocalHttpServer& s) {
                s.setConnectionHandler(LocalHttpServer::stream({}, QByteArray(64 * 1024, 'g'), -1));
            },
            Outcome::Failure, 4 },
        { "TenMegabytesOfHeaderLines",
            [&](LocalHttpServer& s) {
                s.setConnectionHandler(LocalHttpServer::stream("HTTP/1.1 200 OK\r\n", headerLines, 10 << 20, end));
            },
            Outcome::Failure },
        { "OneHeaderOfTenMegabytes",
            [&](LocalHttpServer& s) {
                s.setConnectionHandler(LocalHttpServer::stream(
                    "HTTP/1.1 200 OK\r\nX-Huge: ", QByteArray(64 * 1024, 'h'), 10 << 20, "\r\n" + end));
            },
            Outcome::Failure },
        { "EndlessHeaders",
            [&](LocalHttpServer& s) {
                s.setConnectionHandler(LocalHttpServer::stream("HTTP/1.1 200 OK\r\n", headerLines, -1));
            },
            Outcome::Failure },
        // Qt keeps no cookie of a reply with more than 100 header fields, so both never arrive.
        { "ThousandCookies", [&](LocalHttpServer& s) { s.setReply(cookies(1000)); }, Outcome::Failure },
        { "FiftyCookies", [&](LocalHttpServer& s) { s.setReply(cookies(50)); }, Outcome::UpToDate },
        { "RedirectLoop",
            [](LocalHttpServer& s) {
                s.setResponder([&s](const LocalHttpServer::Request& request) {
                    return LocalHttpServer::reply(
                        {}, "302 Found", { "Location: " + s.address().toUtf8() + request.target });
                });
            },
            Outcome::Failure },
        // A redirect is the reply: its cookies count, and the other host is never asked.
        { "RedirectToAnotherHost",
            [&](LocalHttpServer& s) {
                s.setReply(LocalHttpServer::reply({ "CurSoftVer=1.00", "CurDatabaseVer=2006-05-01" }, "302 Found",
                    { "Location: " + otherHost.address().toUtf8() + "/update/vercheck.jsp" }));
            },
            Outcome::UpToDate },
        { "RedirectToAnotherHostWithoutCookies",
            [&](LocalHttpServer& s) {
                s.setReply(LocalHttpServer::reply(
                    {}, "301 Moved Permanently", { "Location: " + otherHost.address().toUtf8() + "/" }));
            },
            Outcome::Failure },
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        platform::ClearCookiesForTesting();
        platform::SetTransferTimeoutForTesting(kSilence);
        LocalHttpServer service;
        ASSERT_TRUE(service.isListening());
        c.serve(service);
        res::SetSiteAddressForTesting(service.address());
        boxes.clear();

        const bool peakReset = ResetPeak();
        const qint64 before = StatusKilobytes("VmRSS:");
        QElapsedTimer clock;
        clock.start();
        Check(QStringLiteral("2006-05-01"));
        const auto took = std::chrono::milliseconds(clock.elapsed());
        const qint64 growth = StatusKilobytes(peakReset ? "VmHWM:" : "VmRSS:") - before;

        const QString host = QStringLiteral("127.0.0.1:%1").arg(service.port());
        EXPECT_EQ(
            boxes.texts(), QStringList { c.outcome == Outcome::Failure ? FailureText(host) : UpToDateText(host) });
        EXPECT_LT(took, kSilence + kSlack);
        EXPECT_LT(growth, kMemoryBoundKb);
        EXPECT_GE(service.connectionCount(), 1);
        EXPECT_LE(service.connectionCount(), c.maxConnections);
        std::printf("[ figures  ] %-32s %6lld ms  peak growth %7lld kB\n", c.label,
            static_cast<long long>(took.count()), static_cast<long long>(growth));
    }
    EXPECT_EQ(otherHost.connectionCount(), 0);
}

} // namespace
