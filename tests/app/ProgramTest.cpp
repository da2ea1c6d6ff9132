// The real executable: the single-instance guard, the start-up message and the untouched bank.
#include "BankFixture.h"
#include "XServer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QThread>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/types.h>
#include <thread>

namespace {

using namespace std::chrono_literals;
using testsupport::BankBuilder;

const QString kProgram = QStringLiteral(MARVOLEN_EXECUTABLE);
// Long enough for a copy that got past the guard to have reached its dialog.
constexpr int kSettleMs = 1500;

QByteArray digest(const std::filesystem::path& file)
{
    QFile f(QString::fromStdString(file.string()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

BankBuilder sampleBank()
{
    BankBuilder bank;
    bank.addTest("甲", { 0 }, { "评" });
    bank.addQuestion(1, "甲", "题", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
    return bank;
}

// A copy of the program started in `dir`.
std::unique_ptr<QProcess> start(
    const std::filesystem::path& dir, const QProcessEnvironment& environment, const QString& program = kProgram)
{
    auto process = std::make_unique<QProcess>();
    process->setProgram(program);
    process->setWorkingDirectory(QString::fromStdString(dir.string()));
    process->setProcessEnvironment(environment);
    process->start();
    EXPECT_TRUE(process->waitForStarted(5000)) << program.toStdString();
    return process;
}

void stop(QProcess& process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QProcessEnvironment headless()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    return environment;
}

// The copies exclude each other by the executable's name; a test's own copy of the program under a
// unique name keeps the tests from meeting a copy a person has running.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bank = std::make_unique<testsupport::TempBank>(sampleBank().writeTemp());
        program = QString::fromStdString((bin.path() / ("marvolen-test-" + std::to_string(::getpid()))).string());
        ASSERT_TRUE(QFile::copy(kProgram, program));
        QFile::setPermissions(program, QFile::permissions(kProgram));
    }

    testsupport::TempDir bin;
    std::unique_ptr<testsupport::TempBank> bank;
    QString program;
};

TEST_F(ProgramTest, SecondCopyEndsAtOnceWhileTheFirstRunsAndTheBankIsUnchanged)
{
    const QByteArray before = digest(bank->file);
    auto first = start(bank->dir.path(), headless(), program);
    EXPECT_FALSE(first->waitForFinished(kSettleMs)) << "the first copy should stay in its dialog";

    auto second = start(bank->dir.path(), headless(), program);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(second->waitForFinished(1000));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1000ms);
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_TRUE(second->readAllStandardOutput().isEmpty());

    EXPECT_EQ(first->state(), QProcess::Running);
    stop(*first);
    EXPECT_EQ(digest(bank->file), before);
}

TEST_F(ProgramTest, CopyUnderAnotherNameIsNotExcluded)
{
    auto first = start(bank->dir.path(), headless(), program);
    EXPECT_FALSE(first->waitForFinished(kSettleMs));
    const QString other = program + QStringLiteral("-other");
    ASSERT_TRUE(QFile::copy(program, other));
    QFile::setPermissions(other, QFile::permissions(program));
    auto second = start(bank->dir.path(), headless(), other);
    EXPECT_FALSE(second->waitForFinished(kSettleMs)) << "another name is another program";
    stop(*second);
    stop(*first);
}

TEST_F(ProgramTest, GuardIsReleasedWhenTheFirstCopyIsKilled)
{
    auto first = start(bank->dir.path(), headless(), program);
    EXPECT_FALSE(first->waitForFinished(kSettleMs));
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(5000));
    auto second = start(bank->dir.path(), headless(), program);
    EXPECT_FALSE(second->waitForFinished(kSettleMs)) << "a killed copy must not keep the name";
    stop(*second);
}

// ---- under a real X server, watched from outside ----

using testsupport::XServer;

enum class BadBank { Missing, OtherPassword, Damaged };

class StartupFailureTest : public ProgramTest, public ::testing::WithParamInterface<BadBank> { };

TEST_P(StartupFailureTest, ShowsTheStartupMessageOnceAndEndsWithoutTheMainDialog)
{
    XServer x;
    if (!x.ok())
        GTEST_SKIP() << "needs Xvfb and xdotool";

    testsupport::TempDir dir;
    switch (GetParam()) {
    case BadBank::Missing:
        break;
    case BadBank::OtherPassword:
        sampleBank().withPassword("abcdefghi1234").write(dir.path());
        break;
    case BadBank::Damaged: {
        const auto file = sampleBank().write(dir.path());
        QFile f(QString::fromStdString(file.string()));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        f.seek(0x800);
        f.write(QByteArray(4096, '\xA5'));
        f.resize(6000);
        break;
    }
    }
    const QByteArray before = digest(dir.path() / "tovra.mdb");
    auto process = start(dir.path(), x.environment(), program);

    // The box is captioned with the application name; the main dialog would be "Marvolen".
    const QString caption = QFileInfo(program).fileName();
    QString box;
    QStringList seen;
    for (int i = 0; i < 100 && box.isEmpty() && process->state() == QProcess::Running; ++i) {
        QThread::msleep(100);
        seen << x.windowNames();
        box = x.windowId(caption);
    }
    ASSERT_FALSE(box.isEmpty()) << "no start-up box; windows seen: " << seen.join(", ").toStdString();
    QThread::msleep(300); // let the box lay itself out
    seen << x.windowNames();
    EXPECT_EQ(x.windowNames().count(caption), 1);

    // Press its button: the box ends and so does the program, with no second box and no dialog.
    x.xdotool({ "mousemove", "--window", box, "10", "10" });
    x.xdotool({ "key", "--window", box, "Return" });
    x.xdotool({ "windowfocus", box });
    x.xdotool({ "key", "Return" });
    for (int i = 0; i < 50 && process->state() == QProcess::Running; ++i) {
        seen << x.windowNames();
        process->waitForFinished(100);
    }
    ASSERT_EQ(process->state(), QProcess::NotRunning) << "still running; windows: " << seen.join(", ").toStdString();
    EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process->exitCode(), 0);
    EXPECT_FALSE(seen.contains("Marvolen")) << seen.join(", ").toStdString();
    EXPECT_EQ(digest(dir.path() / "tovra.mdb"), before);
}

INSTANTIATE_TEST_SUITE_P(BadBanks, StartupFailureTest,
    ::testing::Values(BadBank::Missing, BadBank::OtherPassword, BadBank::Damaged),
    [](const ::testing::TestParamInfo<BadBank>& param) {
        switch (param.param) {
        case BadBank::Missing:
            return std::string("Missing");
        case BadBank::OtherPassword:
            return std::string("OtherPassword");
        case BadBank::Damaged:
            return std::string("Damaged");
        }
        return std::string();
    });

} // namespace
