// Times the whole program path on question banks, headless: the connection opened on tovra.mdb, the
// main dialog built (its catalog filled and the first test started), the catalog filled again on its
// own, one test in the middle of the list started, every question answered with option A, and the
// evaluation shown. Message boxes are answered and counted; a run that shows one is reported.
//
//   flow_bench [-r REPEATS] DIR [DIR...]      (each DIR holds a tovra.mdb)
//
// The directories take turns within every repeat, so that a change in the machine's load falls on
// all of them alike. Prints one row per directory with the median and the spread of each phase.
#include "app/QuizApp.h"
#include "platform/MessageBox.h"
#include "questionbank/BankSchema.h"
#include "quiz/QuizDlg.h"
#include "res/Resources.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCollator>
#include <QListWidget>
#include <QPlainTextEdit>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class BenchQuizDlg : public CQuizDlg {
public:
    // The catalog fill as OnInitDialog does it, on its own.
    void RefillCatalog()
    {
        questionbank::GuardedBlock(
            [this] { questionbank::OpenQuery(m_pRecordset, "SELECT * FROM testname", theApp.m_pConnection); },
            [](const questionbank::ComError&) {});
        FillTestList();
        questionbank::GuardedBlock(
            [this] {
                m_pRecordset->Close();
                m_pRecordset.Release();
            },
            [](const questionbank::ComError&) {});
    }
};

struct Phases {
    std::map<std::string, std::vector<double>> ms;
    int questions = 0;
    int catalog = 0;
    int boxes = 0;
    bool evaluated = true;
    bool firstQuestion = true; // shown by the time the dialog is built
    bool sorted = true; // the catalog in Chinese collation order
};

const char* const kPhaseOrder[] = { "open", "dialog", "catalog", "start", "answer", "evaluate", "total" };

void Settle()
{
    QApplication::processEvents();
}

// One pass through the program path on the bank in `directory`.
void RunOnce(const std::filesystem::path& directory, Phases& phases, int& boxes)
{
    std::filesystem::current_path(directory);
    const int boxesBefore = boxes;
    auto total = Clock::now();

    auto start = Clock::now();
    theApp.m_pConnection.CreateInstance();
    questionbank::GuardedBlock(
        [] { theApp.m_pConnection->Open(std::string(questionbank::bank::kConnectionString), "", "", 0); },
        [&](const questionbank::ComError&) { ++boxes; });
    phases.ms["open"].push_back(MillisecondsSince(start));

    start = Clock::now();
    auto dlg = std::make_unique<BenchQuizDlg>();
    dlg->Create();
    Settle();
    phases.ms["dialog"].push_back(MillisecondsSince(start));
    if (static_cast<QPlainTextEdit*>(dlg->GetDlgItemWidget(res::IDC_QUESTION))->toPlainText().isEmpty())
        phases.firstQuestion = false;

    start = Clock::now();
    dlg->RefillCatalog();
    Settle();
    phases.ms["catalog"].push_back(MillisecondsSince(start));

    auto* list = static_cast<QListWidget*>(dlg->GetDlgItemWidget(res::IDC_TEST_LIST));
    auto* next = static_cast<QAbstractButton*>(dlg->GetDlgItemWidget(res::IDC_NEXT));
    phases.catalog = list->count();
    const QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    for (int row = 1; row < list->count(); ++row) {
        if (collator.compare(list->item(row - 1)->text(), list->item(row)->text()) > 0)
            phases.sorted = false;
    }
    start = Clock::now();
    list->setCurrentRow(list->count() / 2);
    Settle();
    phases.ms["start"].push_back(MillisecondsSince(start));

    // Every question but the last; the last press shows the evaluation.
    int questions = 1;
    start = Clock::now();
    double lastPress = 0;
    for (;;) {
        if (next->isHidden())
            break;
        auto press = Clock::now();
        next->click();
        Settle();
        lastPress = MillisecondsSince(press);
        if (next->isHidden())
            break;
        ++questions;
        if (questions > 100000)
            break;
    }
    phases.ms["answer"].push_back(MillisecondsSince(start) - lastPress);
    phases.ms["evaluate"].push_back(lastPress);
    phases.questions = questions;
    if (dlg->GetDlgItemWidget(res::IDC_DISCLAIMER)->isHidden())
        phases.evaluated = false;

    dlg.reset();
    theApp.m_pConnection->Close();
    theApp.m_pConnection.Release();
    phases.ms["total"].push_back(MillisecondsSince(total));
    phases.boxes += boxes - boxesBefore;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    int repeats = 10;
    int arg = 1;
    if (arg + 1 < argc && !std::strcmp(argv[arg], "-r")) {
        repeats = std::max(1, std::atoi(argv[arg + 1]));
        arg += 2;
    }
    std::vector<std::filesystem::path> directories;
    for (; arg < argc; ++arg)
        directories.push_back(std::filesystem::absolute(argv[arg]));
    if (directories.empty()) {
        std::fprintf(stderr, "usage: flow_bench [-r REPEATS] DIR [DIR...]\n");
        return 2;
    }

    int boxes = 0;
    platform::SetMessageBoxHandler([&](const platform::MessageBoxRequest& request) {
        ++boxes;
        std::fprintf(stderr, "message box: %s\n", request.text.toStdString().c_str());
        return platform::IDOK;
    });

    std::vector<Phases> results(directories.size());
    // One unmeasured pass each: fonts, the collator and the file cache come up once per process.
    for (std::size_t i = 0; i < directories.size(); ++i) {
        Phases warmup;
        RunOnce(directories[i], warmup, boxes);
    }
    for (int repeat = 0; repeat < repeats; ++repeat) {
        for (std::size_t i = 0; i < directories.size(); ++i)
            RunOnce(directories[i], results[i], boxes);
    }

    // Machine-readable: one line per bank and phase, "bank phase median min max".
    int status = 0;
    for (std::size_t i = 0; i < directories.size(); ++i) {
        const Phases& p = results[i];
        std::printf("# %s: %d tests %s, first question %s, %d questions in the test started, %d message boxes, "
                    "evaluation %s\n",
            directories[i].c_str(), p.catalog, p.sorted ? "sorted" : "NOT sorted",
            p.firstQuestion ? "shown" : "NOT shown", p.questions, p.boxes, p.evaluated ? "shown" : "NOT shown");
        if (p.boxes || !p.evaluated || !p.firstQuestion || !p.sorted)
            status = 1;
        for (const char* phase : kPhaseOrder) {
            const std::vector<double>& v = p.ms.at(phase);
            std::printf("%zu %s %.3f %.3f %.3f\n", i, phase, Median(v), *std::min_element(v.begin(), v.end()),
                *std::max_element(v.begin(), v.end()));
        }
    }
    return status;
}
