// The real executable under a real X server, watched from outside: damaged and ill-typed question
// banks, an unreadable bank, a read-only folder, and ten copies started at once.
#include "BankFixture.h"
#include "XServer.h"
#include "app/QuizApp.h"
#include "questionbank/BankSchema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <array>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using testsupport::BankBuilder;
using testsupport::TempDir;
namespace bank = questionbank::bank;
using questionbank::ColumnType;

const QString kProgram = QStringLiteral(MARVOLEN_EXECUTABLE);
constexpr int kNobody = 65534;

using testsupport::XServer;

// What the boxes say. The dialog's texts are its source file's own, and the record-access layer's
// (ComErrorText) are not linked in here: they stand as the boxes show them.
const std::string kBankOpenFailed = kBankOpenFailedMessage;
// Written with CR LF; the label breaks the line there, and its copy has a LF.
const std::string kCatalogLost = "数据文件可能已丢失!\n请重新启动本软件，如果故障依旧，请重新下载本软件!";
const std::string kIncompleteData = "数据不完整，请重新下载软件！";
// No system text for OLE DB's DB_E_NOTABLE nor for ADO's adErrObjectClosed: the fallbacks show.
const std::string kNoSuchTable = "IDispatch error #3127";
const std::string kObjectClosed = "Unknown error 0x800A0E78";
const std::string kTypeMismatch = "类型不匹配。"; // DISP_E_TYPEMISMATCH

// What a file looks like from outside: its bytes and the times a write would change.
struct FileState {
    QByteArray digest;
    timespec mtime {};
    timespec ctime {};
    off_t size = -1;

    static FileState of(const std::filesystem::path& file)
    {
        FileState state;
        struct stat info { };
        if (::stat(file.c_str(), &info) != 0)
            return state;
        state.mtime = info.st_mtim;
        state.ctime = info.st_ctim;
        state.size = info.st_size;
        QFile f(QString::fromStdString(file.string()));
        if (!S_ISDIR(info.st_mode) && f.open(QIODevice::ReadOnly))
            state.digest = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
        return state;
    }
    bool operator==(const FileState& other) const
    {
        return digest == other.digest && size == other.size && mtime.tv_sec == other.mtime.tv_sec
            && mtime.tv_nsec == other.mtime.tv_nsec && ctime.tv_sec == other.ctime.tv_sec
            && ctime.tv_nsec == other.ctime.tv_nsec;
    }
};

QStringList Listing(const std::filesystem::path& dir)
{
    return QDir(QString::fromStdString(dir.string())).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
}

BankBuilder WorkingBank()
{
    BankBuilder b;
    b.addTest("甲", { 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt }, { "评", {}, {}, {}, {} });
    b.addQuestion(1, "甲", "题一", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
    b.addQuestion(2, "甲", "题二", { 3, 4, 5, std::nullopt, std::nullopt });
    b.addVersion("2006-05-01");
    return b;
}

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

// As root, permissions do not stop a read or a write: such cases run the program as nobody.
bool CanRunAsNobody()
{
    return !QStandardPaths::findExecutable("setpriv").isEmpty();
}

void MakeReachable(const std::filesystem::path& dir, mode_t mode)
{
    ::chmod(dir.c_str(), mode);
}

enum class Ends { AfterStartupMessage, InMainDialog };

struct Outcome {
    int boxes = 0;
    QStringList texts; // of the boxes, in the order they came; empty without xclip
    bool mainDialog = false;
    bool exited = false; // on its own, before its main dialog was closed
    int exitCode = -1; // of that end, or of the close with Escape (a sanitizer's report changes it)
    QStringList seen;
};

// What a box says, read from outside. Qt copies a whole message box on Ctrl+C only on Windows; here
// the box's label takes a click, which gives it the focus (its first line lies across the middle of the
// box's top), and then Ctrl+A, Ctrl+C put the label's text alone on the clipboard. The clipboard's time
// stamp tells a fresh copy from what an earlier box of the same run left there.
QString ReadBoxText(const XServer& x, const QString& box)
{
    x.xdotool({ "windowfocus", "--sync", box });
    const std::optional<QByteArray> before = x.selection("clipboard", "TIMESTAMP");
    int width = 0;
    for (const QString& line : x.xdotool({ "getwindowgeometry", "--shell", box }).split('\n')) {
        if (line.startsWith("WIDTH="))
            width = line.mid(6).toInt();
    }
    // Again, should a busy machine have the box still laying itself out when the first click came.
    for (int attempt = 0; attempt < 3; ++attempt) {
        x.xdotool({ "mousemove", "--window", box, QString::number(width / 2), "20", "click", "1" });
        x.xdotool({ "key", "ctrl+a", "ctrl+c" });
        for (int i = 0; i < 10; ++i) {
            const std::optional<QByteArray> stamp = x.selection("clipboard", "TIMESTAMP");
            if (stamp && stamp != before) {
                if (const std::optional<QByteArray> text = x.selection("clipboard", "UTF8_STRING"))
                    return QString::fromUtf8(*text);
            }
            QThread::msleep(50);
        }
    }
    return QStringLiteral("(no text came to the clipboard)");
}

// Starts the program in `dir`, answers every box with Return, and stops when the program has ended or
// its main dialog has stood alone for a while (then closes it).
Outcome Drive(const XServer& x, const QString& program, const std::filesystem::path& dir, bool asNobody)
{
    Outcome run;
    QProcess process;
    QProcessEnvironment environment = x.environment();
    if (asNobody) {
        environment.remove("XDG_RUNTIME_DIR");
        environment.insert("HOME", "/nonexistent");
        process.setProgram(QStandardPaths::findExecutable("setpriv"));
        process.setArguments({ "--reuid=" + QString::number(kNobody), "--regid=" + QString::number(kNobody),
            "--clear-groups", "--", program });
    } else {
        process.setProgram(program);
    }
    process.setWorkingDirectory(QString::fromStdString(dir.string()));
    process.setProcessEnvironment(environment);
    process.start();
    if (!process.waitForStarted(5000))
        return run;

    const QString caption = QFileInfo(program).fileName();
    QStringList handled;
    QElapsedTimer quiet; // since the main dialog was last seen alone
    for (int i = 0; i < 150 && process.state() == QProcess::Running; ++i) {
        process.waitForFinished(100);
        bool dialog = false;
        QString box;
        for (const auto& [id, name] : x.windows()) {
            if (name == "Marvolen")
                dialog = true;
            else if (name == caption && !handled.contains(id))
                box = id;
            if (!run.seen.contains(name))
                run.seen << name;
        }
        run.mainDialog = run.mainDialog || dialog;
        if (!box.isEmpty()) {
            ++run.boxes;
            handled << box;
            QThread::msleep(200); // let the box lay itself out
            if (x.canReadSelections())
                run.texts << ReadBoxText(x, box);
            // One Return to the focused box. A second one, once the box has gone, would press the main
            // dialog's default button, 退出.
            x.xdotool({ "windowfocus", "--sync", box });
            x.xdotool({ "key", "Return" });
            quiet.invalidate();
            continue;
        }
        if (dialog && !quiet.isValid())
            quiet.start();
        if (dialog && quiet.elapsed() > 800)
            break;
    }
    run.exited = process.state() == QProcess::NotRunning;
    if (!run.exited) {
        for (const auto& [id, name] : x.windows()) {
            if (name == "Marvolen") {
                x.xdotool({ "windowfocus", id });
                x.xdotool({ "key", "--window", id, "Escape" });
                x.xdotool({ "key", "Escape" });
            }
        }
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished(5000);
            return run;
        }
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

// As many boxes as messages, and, where xclip can read them, these messages in this order.
void ExpectBoxes(const XServer& x, const Outcome& run, const std::vector<std::string>& messages)
{
    EXPECT_EQ(run.boxes, static_cast<int>(messages.size())) << run.seen.join(", ").toStdString();
    if (!x.canReadSelections())
        return;
    std::vector<std::string> texts;
    for (const QString& text : run.texts)
        texts.push_back(text.toStdString());
    EXPECT_EQ(texts, messages);
}

class RobustnessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!x.ok())
            GTEST_SKIP() << "needs Xvfb and xdotool";
        // Under a name of its own, so that no copy a person runs shuts the tests out.
        program = QString::fromStdString((bin.path() / ("marvolen-robust-" + std::to_string(::getpid()))).string());
        ASSERT_TRUE(QFile::copy(kProgram, program));
        QFile::setPermissions(program, QFile::permissions(kProgram) | QFileDevice::ExeOther | QFileDevice::ReadOther);
        MakeReachable(bin.path(), 0755);
    }

    XServer x;
    TempDir bin;
    QString program;
};

struct BankCase {
    const char* label;
    // Puts dir/tovra.mdb (or what stands in its place) into place.
    std::function<void(const std::filesystem::path& dir)> make;
    Ends ends;
    std::vector<std::string> messages; // of the boxes in the order they come, the start-up message too
    bool needsOtherUser = false;
};

void Damage(const std::filesystem::path& file, const std::function<void(QByteArray&)>& change)
{
    QFile f(QString::fromStdString(file.string()));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    QByteArray bytes = f.readAll();
    f.close();
    change(bytes);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

TEST_F(RobustnessTest, DamagedBanksGiveTheirBoxesTheProgramGoesOnWhereItCanAndNothingIsWritten)
{
    const std::string questions(bank::kQuestionTable);
    const std::string tests(bank::kTestTable);
    const auto file = [](const std::filesystem::path& dir) { return dir / std::string(bank::kFileName); };
    // One test of one question whose first answer value is `value`, in a column of `type`.
    const auto oneAnswerValue = [&questions](ColumnType type, auto value) {
        return [&questions, type, value](const std::filesystem::path& dir) {
            BankBuilder b;
            b.withColumnType(questions, std::string(bank::kAnswerValue[0]), type)
                .addTest("甲", { 0, std::nullopt, std::nullopt, std::nullopt, std::nullopt }, { "评", {}, {}, {}, {} })
                .addRow(questions,
                    { { std::string(bank::kQuestionId), std::int64_t { 1 } },
                        { std::string(bank::kTestName), std::string("甲") },
                        { std::string(bank::kAnswerValue[0]), value } })
                .write(dir);
        };
    };
    const BankCase cases[] = {
        { "Working", [](const auto& dir) { WorkingBank().write(dir); }, Ends::InMainDialog, {} },
        { "TruncatedToHalf",
            [&](const auto& dir) { Damage(WorkingBank().write(dir), [](QByteArray& b) { b.truncate(b.size() / 2); }); },
            Ends::AfterStartupMessage, { kBankOpenFailed } },
        { "TruncatedInTheHeader",
            [&](const auto& dir) { Damage(WorkingBank().write(dir), [](QByteArray& b) { b.truncate(100); }); },
            Ends::AfterStartupMessage, { kBankOpenFailed } },
        { "EveryEighthByteFlipped",
            [&](const auto& dir) {
                Damage(WorkingBank().write(dir), [](QByteArray& b) {
                    for (qsizetype i = 0x1000; i < b.size(); i += 8)
                        b[i] = static_cast<char>(b[i] ^ 0x5A);
                });
            },
            Ends::AfterStartupMessage, { kBankOpenFailed } },
        { "Empty",
            [&](const auto& dir) { QFile(QString::fromStdString(file(dir).string())).open(QIODevice::WriteOnly); },
            Ends::AfterStartupMessage, { kBankOpenFailed } },
        { "Directory", [&](const auto& dir) { std::filesystem::create_directory(file(dir)); },
            Ends::AfterStartupMessage, { kBankOpenFailed } },
        { "Unreadable", [&](const auto& dir) { ::chmod(WorkingBank().write(dir).c_str(), 0); },
            Ends::AfterStartupMessage, { kBankOpenFailed }, RunningAsRoot() },
        // Opened, but the questions cannot be asked for: the first test's start shows the error.
        { "NoQuestionTable", [&](const auto& dir) { WorkingBank().withoutTable(questions).write(dir); },
            Ends::InMainDialog, { kNoSuchTable } },
        // No catalog: its open and its read fail, then the start of the test without a name finds nothing.
        { "NoTestTable", [&](const auto& dir) { WorkingBank().withoutTable(tests).write(dir); }, Ends::InMainDialog,
            { kNoSuchTable, kObjectClosed, kIncompleteData } },
        // An empty catalog: the data-file message, then the empty start's.
        { "EmptyTestTable",
            [&](const auto& dir) {
                BankBuilder b;
                b.addQuestion(1, "甲", "题", { 1, 2, std::nullopt, std::nullopt, std::nullopt });
                b.write(dir);
            },
            Ends::InMainDialog, { kCatalogLost, kIncompleteData } },
        { "TestNameAsLong",
            [&](const auto& dir) {
                BankBuilder fresh;
                fresh.withColumnType(tests, std::string(bank::kTestName), ColumnType::Long)
                    .addRow(tests, { { std::string(bank::kTestName), std::int64_t { 7 } } })
                    .addQuestion(1, "7", "题", { 1, 2, std::nullopt, std::nullopt, std::nullopt })
                    .write(dir);
            },
            Ends::InMainDialog, {} },
        // Numbers in text that read as whole numbers convert; other text does not.
        { "AnswerValuesAsNumberText",
            [&](const auto& dir) {
                BankBuilder b = WorkingBank();
                for (auto column : bank::kAnswerValue)
                    b.withColumnType(questions, std::string(column), ColumnType::Text);
                b.write(dir);
            },
            Ends::InMainDialog, {} },
        { "AnswerValueAsWords", oneAnswerValue(ColumnType::Text, std::string("两分")), Ends::InMainDialog,
            { kTypeMismatch } },
        // Nor does a number that is not whole.
        { "AnswerValueAsFraction", oneAnswerValue(ColumnType::Double, questionbank::Value(1.5)), Ends::InMainDialog,
            { kTypeMismatch } },
        // Read only at the evaluation and by the version check: the start is untouched.
        { "RankBoundsAsLongAndMakedateAsLong",
            [&](const auto& dir) {
                BankBuilder b = WorkingBank().withoutTable(std::string(bank::kVersionTable));
                for (auto column : bank::kRankBound)
                    b.withColumnType(tests, std::string(column), ColumnType::Long);
                b.withTable(std::string(bank::kVersionTable), { { std::string(bank::kMakeDate), ColumnType::Long } })
                    .addRow(bank::kVersionTable, { { std::string(bank::kMakeDate), std::int64_t { 20060501 } } })
                    .write(dir);
            },
            Ends::InMainDialog, {} },
    };

    if (!x.canReadSelections())
        std::printf("[ skipped  ] the boxes' texts: xclip is missing, only the boxes are counted\n");
    for (const BankCase& c : cases) {
        SCOPED_TRACE(c.label);
        if (c.needsOtherUser && !CanRunAsNobody()) {
            std::printf("[ skipped  ] %s: as root a mode 000 file is readable, and setpriv is missing\n", c.label);
            continue;
        }
        TempDir dir;
        c.make(dir.path());
        MakeReachable(dir.path(), 0755);
        const FileState before = FileState::of(file(dir.path()));
        const QStringList listing = Listing(dir.path());
        QElapsedTimer clock;
        clock.start();
        const Outcome run = Drive(x, program, dir.path(), c.needsOtherUser);
        const qint64 took = clock.elapsed();

        ExpectBoxes(x, run, c.messages);
        if (c.ends == Ends::AfterStartupMessage) {
            EXPECT_TRUE(run.exited) << "the program should end after the start-up message";
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_FALSE(run.mainDialog);
        } else {
            EXPECT_TRUE(run.mainDialog) << run.seen.join(", ").toStdString();
            EXPECT_FALSE(run.exited) << "the program should go on in its main dialog";
            EXPECT_EQ(run.exitCode, 0) << "after Escape in the main dialog";
        }
        EXPECT_TRUE(FileState::of(file(dir.path())) == before) << "the bank was changed";
        EXPECT_EQ(Listing(dir.path()), listing) << "the program wrote into its folder";
        std::printf("[ figures  ] %-34s %d box(es), %s, %lld ms\n", c.label, run.boxes,
            run.mainDialog ? "main dialog" : "ended", static_cast<long long>(took));
    }
}

TEST_F(RobustnessTest, WorksFromAReadOnlyFolder)
{
    TempDir dir;
    const auto bankFile = WorkingBank().write(dir.path());
    ::chmod(bankFile.c_str(), 0444);
    MakeReachable(dir.path(), 0555);
    // As root the write bits are not looked at: nobody, who owns nothing here, stands in.
    const bool asNobody = RunningAsRoot();
    if (asNobody && !CanRunAsNobody())
        GTEST_SKIP() << "as root a folder without write bits is writable, and setpriv is missing";
    if (asNobody) {
        const std::filesystem::path probe = dir.path() / "probe";
        QProcess touch;
        touch.start(QStandardPaths::findExecutable("setpriv"),
            { "--reuid=65534", "--regid=65534", "--clear-groups", "--", "/usr/bin/touch",
                QString::fromStdString(probe.string()) });
        touch.waitForFinished(5000);
        ASSERT_NE(touch.exitCode(), 0) << "the folder is writable for nobody";
    }
    const FileState before = FileState::of(bankFile);
    const Outcome run = Drive(x, program, dir.path(), asNobody);
    MakeReachable(dir.path(), 0755);
    ExpectBoxes(x, run, {});
    EXPECT_TRUE(run.mainDialog);
    EXPECT_FALSE(run.exited);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(FileState::of(bankFile) == before);
}

TEST_F(RobustnessTest, TenCopiesStartedAtOnceGiveOneMainDialog)
{
    TempDir dir;
    WorkingBank().write(dir.path());
    constexpr int kCopies = 10;
    std::array<std::unique_ptr<QProcess>, kCopies> copies;
    for (auto& copy : copies) {
        copy = std::make_unique<QProcess>();
        copy->setProgram(program);
        copy->setWorkingDirectory(QString::fromStdString(dir.path().string()));
        copy->setProcessEnvironment(x.environment());
    }
    QElapsedTimer clock;
    clock.start();
    for (auto& copy : copies)
        copy->start();
    for (auto& copy : copies)
        ASSERT_TRUE(copy->waitForStarted(5000));

    // The nine that lose end on their own; the one that wins stays. QProcess sees an end only while
    // it waits.
    auto countEnded = [&copies] {
        int n = 0;
        for (auto& copy : copies)
            n += copy->state() == QProcess::NotRunning || copy->waitForFinished(10) ? 1 : 0;
        return n;
    };
    int ended = 0;
    while (clock.elapsed() < 10000 && (ended = countEnded()) < kCopies - 1) { }
    const qint64 lastEnd = clock.elapsed();
    for (int i = 0; i < 100 && x.count("Marvolen") == 0; ++i)
        QThread::msleep(100);
    QThread::msleep(1500); // time for a second dialog to show, if one were coming
    EXPECT_EQ(countEnded(), kCopies - 1);
    const int dialogs = x.count("Marvolen");
    int running = 0;
    for (auto& copy : copies) {
        if (copy->state() == QProcess::Running) {
            ++running;
            copy->kill();
            copy->waitForFinished(5000);
        } else {
            EXPECT_EQ(copy->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(copy->exitCode(), 0);
        }
    }
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(running, 1);
    EXPECT_LT(lastEnd, 5000);
    std::printf("[ figures  ] ten copies: %d main dialog(s), nine ended within %lld ms of the start\n", dialogs,
        static_cast<long long>(lastEnd));
}

} // namespace
