#pragma once

// Helpers of the quizbank tests: banks built in code and runs of the quizbank program.

#include "tools/quizbank/BankSource.h"

#include <QProcess>
#include <QStringList>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace tooltest {

inline quizbank::Question MakeQuestion(
    std::optional<std::int32_t> id, quizbank::Text test, quizbank::Text text, std::array<quizbank::SmallInt, 5> values)
{
    quizbank::Question question;
    question.id = id;
    question.testName = std::move(test);
    question.text = std::move(text);
    question.values = values;
    return question;
}

inline quizbank::Test MakeTest(quizbank::Text name, std::array<quizbank::Band, 5> bands = {})
{
    quizbank::Test test;
    test.name = std::move(name);
    test.bands = std::move(bands);
    return test;
}

// Every nullable column NULL somewhere, the 16-bit extremes, a NULL test name, questions whose test
// has no row and a long memo.
// Texts that test every rule of the source's strings.
inline std::vector<std::string> TrickyTexts()
{
    return {
        "",
        "A. 是\r\nB. 否",
        "a\nb",
        "a\rb",
        "a\r\r\nb",
        "\r\nstarts with a line break",
        "ends with a line break\r\n",
        "\r\n\r\n",
        "line ends in a backslash\\\r\nnext",
        "quotes \"\"\" and \"",
        "tab\there",
        std::string("nul\0byte\x01\x1f\x7f", 11),
        "surrogate pair 😀",
        "\n",
        "\r",
    };
}

// A bank that holds `text` in each of its text columns.
inline quizbank::Bank BankOfText(const std::string& text)
{
    quizbank::Bank bank;
    bank.versions.push_back(text);
    quizbank::Test test = MakeTest(text);
    test.bands[0] = { 1, text };
    bank.tests.push_back(test);
    bank.questions.push_back(MakeQuestion(1, text, text, {}));
    bank.questions.push_back(MakeQuestion(2, text + "x", text, {})); // a name without a test row
    return bank;
}

inline quizbank::Bank NullsEverywhere()
{
    using quizbank::Band;
    quizbank::Bank bank;
    std::string longMemo;
    for (int i = 0; i < 20000; ++i)
        longMemo += "长文本 " + std::to_string(i) + "\r\n\t\\";
    bank.versions = { std::nullopt, "2026-12-01" };
    bank.tests.push_back(MakeTest(std::nullopt));
    bank.tests.push_back(MakeTest("边界",
        { Band { 32767, std::nullopt }, Band {}, Band { std::nullopt, "无界" }, Band { -32768, "" },
            Band { 0, longMemo } }));
    bank.tests.push_back(MakeTest("空白", { Band {}, Band { 5, "五" } }));
    bank.questions.push_back(MakeQuestion(std::nullopt, std::nullopt, std::nullopt, {}));
    bank.questions.push_back(
        MakeQuestion(-2147483647 - 1, "边界", "", { 32767, std::nullopt, -32768, std::nullopt, 0 }));
    bank.questions.push_back(
        MakeQuestion(2147483647, "边界", std::nullopt, { std::nullopt, std::nullopt, std::nullopt, std::nullopt, -1 }));
    bank.questions.push_back(MakeQuestion(7, "没有这个测试", "孤儿\r\n题", { 1, 2 }));
    return bank;
}

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

inline RunResult RunQuizbank(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(QUIZBANK_EXECUTABLE), arguments);
    RunResult result;
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
        result.err = "quizbank did not run";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

inline QString Arg(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}
inline QString Arg(const std::string& text)
{
    return QString::fromStdString(text);
}

inline std::string ReadText(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace tooltest
