// Times the record-access layer on a large bank: 1,000 tests x 100 questions, written with the Jet
// writer into a temporary directory. Prints one table; the reference is mdb-export of the same table.
//
//   questionbank_bench [tests] [questions per test]

#include "questionbank/BankSchema.h"
#include "questionbank/RecordAccess.h"
#include "questionbank/jet/JetWriter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using namespace questionbank;
using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::string TestName(int test)
{
    char name[32];
    std::snprintf(name, sizeof name, "性格测试%04d", test);
    return name;
}

// The questions of all tests interleaved, IDs descending within a test, so that a WHERE must find
// scattered rows and ORDER BY has work to do.
std::vector<Table> MakeBank(int tests, int questionsPerTest)
{
    Table testTable { std::string(bank::kTestTable), bank::TestColumns(), {} };
    for (int test = 0; test < tests; ++test) {
        Row row { Value(TestName(test)) };
        for (int band = 0; band < 5; ++band)
            row.emplace_back(static_cast<std::int16_t>(40 - band * 10));
        for (int band = 0; band < 5; ++band)
            row.emplace_back("评价文字：请根据自己的情况调整。");
        testTable.rows.push_back(std::move(row));
    }
    Table questionTable { std::string(bank::kQuestionTable), bank::QuestionColumns(), {} };
    for (int question = questionsPerTest; question >= 1; --question) {
        for (int test = 0; test < tests; ++test) {
            Row row { Value(static_cast<std::int32_t>(question)), Value(TestName(test)),
                Value("第" + std::to_string(question)
                    + "题：你经常感到疲倦吗？\r\nA. 从不 B. 很少 C. 有时 D. 经常 E. 总是") };
            for (int answer = 0; answer < 5; ++answer)
                row.emplace_back(static_cast<std::int16_t>(answer));
            questionTable.rows.push_back(std::move(row));
        }
    }
    Table versionTable { std::string(bank::kVersionTable), bank::VersionColumns(), { Row { Value("2024-05-01") } } };
    return { std::move(testTable), std::move(questionTable), std::move(versionTable) };
}

// Reads every field of every row the way the dialog does.
std::size_t WalkAll(const RecordsetPtr& recordset)
{
    std::size_t rows = 0;
    if (recordset->BOF())
        return rows;
    recordset->MoveFirst();
    while (!recordset->adoEOF()) {
        Value text = ReadField(recordset, std::string(bank::kQuestionText));
        if (!text.isNull())
            FieldText(text);
        for (auto column : bank::kAnswerValue) {
            Value points = ReadField(recordset, std::string(column));
            if (!points.isNull())
                FieldSmallInt(points);
        }
        ++rows;
        recordset->MoveNext();
    }
    return rows;
}

struct ChildRun {
    double milliseconds = -1; // -1: failed
    double peakMegabytes = 0;
};

ChildRun Wait(pid_t pid, Clock::time_point start)
{
    ChildRun run;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        run.milliseconds = MillisecondsSince(start);
        run.peakMegabytes = static_cast<double>(usage.ru_maxrss) / 1024;
    }
    return run;
}

ChildRun TimeMdbExport(const std::filesystem::path& file, const char* table)
{
    std::string program = MARVOLEN_MDB_EXPORT;
    if (program.empty())
        return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    std::string path = file.string();
    std::string tableName = table;
    char* argv[] = { program.data(), path.data(), tableName.data(), nullptr };
    auto start = Clock::now();
    pid_t pid = 0;
    ChildRun run;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ) == 0)
        run = Wait(pid, start);
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

// The bank is built and written in a child, so that this process's peak is the record-access layer's.
ChildRun WriteBank(const std::filesystem::path& file, int tests, int questionsPerTest)
{
    auto start = Clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        try {
            jet::WriteJet4File(file, MakeBank(tests, questionsPerTest), { std::string(bank::kPassword) });
        } catch (const std::exception& error) {
            std::fprintf(stderr, "writing the bank failed: %s\n", error.what());
            _exit(1);
        }
        _exit(0);
    }
    return pid > 0 ? Wait(pid, start) : ChildRun {};
}

double PeakMegabytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024;
}

void PrintRow(const char* what, double ours, double reference, const char* note)
{
    if (reference >= 0)
        std::printf("| %-44s | %10.3f | %10.1f |", what, ours, reference);
    else
        std::printf("| %-44s | %10.3f | %10s |", what, ours, "-");
    if (*note)
        std::printf(" %s", note);
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    int tests = argc > 1 ? std::atoi(argv[1]) : 1000;
    int questionsPerTest = argc > 2 ? std::atoi(argv[2]) : 100;
    if (tests < 1 || questionsPerTest < 1) {
        std::fprintf(stderr, "usage: questionbank_bench [tests] [questions per test]\n");
        return 2;
    }

    std::string pattern = (std::filesystem::temp_directory_path() / "questionbank-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::filesystem::path directory = pattern;
    const std::filesystem::path file = directory / bank::kFileName;

    ChildRun write = WriteBank(file, tests, questionsPerTest);
    if (write.milliseconds < 0) {
        std::filesystem::remove_all(directory);
        return 1;
    }
    // Before this process grows: a spawned child's peak starts from its parent's size at the exec.
    ChildRun exported = TimeMdbExport(file, "testquestion");
    Clock::time_point start;

    std::filesystem::current_path(directory);
    int result = 0;
    GuardedBlock(
        [&] {
            ConnectionPtr connection;
            connection.CreateInstance();
            start = Clock::now();
            connection->Open(std::string(bank::kConnectionString), "", "", 0);
            double openMs = MillisecondsSince(start);

            RecordsetPtr recordset;
            start = Clock::now();
            OpenQuery(recordset, "SELECT * FROM testquestion", connection);
            std::size_t rows = WalkAll(recordset);
            double firstWalkMs = MillisecondsSince(start);
            start = Clock::now();
            OpenQuery(recordset, "SELECT * FROM testquestion", connection);
            WalkAll(recordset);
            double secondWalkMs = MillisecondsSince(start);

            auto query = [](int test) {
                return "SELECT * FROM testquestion WHERE testName='" + TestName(test) + "' ORDER BY ID";
            };
            start = Clock::now();
            OpenQuery(recordset, query(tests / 2), connection);
            std::size_t questions = WalkAll(recordset);
            double firstTestMs = MillisecondsSince(start);
            const int repeats = std::min(tests, 200);
            start = Clock::now();
            for (int test = 0; test < repeats; ++test) {
                OpenQuery(recordset, query(test), connection);
                WalkAll(recordset);
            }
            double repeatedTestMs = MillisecondsSince(start) / repeats;
            double peakSelf = PeakMegabytes();

            std::printf("bank: %d tests x %d questions = %zu rows, %.1f MB, written in %.0f ms\n\n", tests,
                questionsPerTest, rows, static_cast<double>(std::filesystem::file_size(file)) / 1e6,
                write.milliseconds);
            std::printf("| %-44s | %10s | %10s |\n", "step", "ours (ms)", "mdb-export");
            std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(12, '-').c_str(),
                std::string(12, '-').c_str());
            PrintRow("Connection::Open (reads the file)", openMs, -1, "");
            PrintRow("SELECT * FROM testquestion, first walk", firstWalkMs, exported.milliseconds, "decodes the table");
            PrintRow("SELECT * FROM testquestion, again", secondWalkMs, exported.milliseconds, "");
            PrintRow("one test WHERE ... ORDER BY ID, first", firstTestMs, -1, "builds the testName index");
            PrintRow("one test WHERE ... ORDER BY ID, repeated", repeatedTestMs, -1, "mean of other tests");
            std::printf("\nquestions of one test: %zu\n", questions);
            std::printf("peak memory (max RSS): %.1f MB record access, %.1f MB mdb-export, %.1f MB writing the bank\n",
                peakSelf, exported.peakMegabytes, write.peakMegabytes);
        },
        [&](const ComError& error) {
            std::fprintf(
                stderr, "failed: %s (0x%08X)\n", ComErrorText(error).c_str(), static_cast<unsigned>(error.Error()));
            result = 1;
        });
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(directory);
    return result;
}
