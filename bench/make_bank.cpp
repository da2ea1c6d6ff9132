// Writes a large question bank for the benchmarks: TESTS tests of QUESTIONS questions each.
//
//   make_bank FILE [tests] [questions per test]
//
// The tests are stored in a scrambled order under varied Chinese names, so that the sorted catalog
// has real work; the questions of all tests are interleaved with IDs descending, so that a test's
// query must find scattered rows and order them.
#include "questionbank/BankSchema.h"
#include "questionbank/jet/JetWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <numeric>
#include <string>
#include <vector>

namespace {

using namespace questionbank;

const char* const kSyllables[] = { "爱", "博", "春", "德", "恩", "风", "光", "和", "吉", "开", "乐", "明", "宁", "平",
    "情", "人", "山", "天", "文", "心", "雅", "自", "知", "镇", "安", "北", "长", "东", "方", "高" };
constexpr unsigned kSyllableCount = sizeof kSyllables / sizeof kSyllables[0];

// A small fixed generator: every run writes the same bank.
unsigned Next(unsigned& state)
{
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7FFF;
}

std::vector<std::string> TestNames(int tests)
{
    unsigned state = 7;
    std::vector<std::string> names;
    for (int test = 0; test < tests; ++test) {
        std::string name = kSyllables[Next(state) % kSyllableCount];
        name += kSyllables[Next(state) % kSyllableCount];
        name += "心理测试" + std::to_string(test);
        names.push_back(std::move(name));
    }
    // Stored order is not name order.
    std::vector<std::string> shuffled = names;
    for (std::size_t i = shuffled.size(); i > 1; --i)
        std::swap(shuffled[i - 1], shuffled[Next(state) % i]);
    return shuffled;
}

std::vector<Table> MakeBank(int tests, int questionsPerTest)
{
    const std::vector<std::string> names = TestNames(tests);
    Table testTable { std::string(bank::kTestTable), bank::TestColumns(), {} };
    for (const std::string& name : names) {
        Row row { Value(name) };
        for (int band = 0; band < 5; ++band)
            row.emplace_back(static_cast<std::int16_t>(40 - band * 10));
        for (int band = 0; band < 5; ++band)
            row.emplace_back("评价" + std::to_string(band + 1)
                + "：你的得分处在这一段。请结合自己近来的情况理解这个结果，它只是一个参考，不是诊断。");
        testTable.rows.push_back(std::move(row));
    }
    Table questionTable { std::string(bank::kQuestionTable), bank::QuestionColumns(), {} };
    for (int question = questionsPerTest; question >= 1; --question) {
        for (const std::string& name : names) {
            Row row { Value(static_cast<std::int32_t>(question)), Value(name),
                Value("第" + std::to_string(question)
                    + "题：最近一周，你经常感到疲倦吗？\r\nA. 从不\r\nB. 很少\r\nC. 有时\r\nD. 经常\r\nE. 总是") };
            for (int answer = 0; answer < 5; ++answer)
                row.emplace_back(static_cast<std::int16_t>(answer));
            questionTable.rows.push_back(std::move(row));
        }
    }
    Table versionTable { std::string(bank::kVersionTable), bank::VersionColumns(), { Row { Value("2026-12-01") } } };
    return { std::move(testTable), std::move(questionTable), std::move(versionTable) };
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: make_bank FILE [tests] [questions per test]\n");
        return 2;
    }
    const int tests = argc > 2 ? std::atoi(argv[2]) : 1000;
    const int questionsPerTest = argc > 3 ? std::atoi(argv[3]) : 100;
    if (tests < 1 || questionsPerTest < 1) {
        std::fprintf(stderr, "usage: make_bank FILE [tests] [questions per test]\n");
        return 2;
    }
    try {
        jet::WriteJet4File(argv[1], MakeBank(tests, questionsPerTest), { std::string(bank::kPassword) });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_bank: %s\n", error.what());
        return 1;
    }
    return 0;
}
