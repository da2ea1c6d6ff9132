// A bank of the size the program meets in the field: tens of thousands of questions over more
// pages than an inline usage map covers, read back exactly and in time linear in its size.

#include "questionbank/BankSchema.h"
#include "questionbank/jet/JetReader.h"
#include "questionbank/jet/JetWriter.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

using namespace questionbank;
using questionbank::jet::JetFile;

Table questions(int count)
{
    Table table { std::string(bank::kQuestionTable), bank::QuestionColumns(), {} };
    std::string filler;
    for (int i = 0; i < 30; ++i)
        filler += "题目内容";
    for (int i = 0; i < count; ++i) {
        // Every tenth question has a memo long enough for a long-value page.
        const std::string text = "第" + std::to_string(i) + "题：" + (i % 10 == 0 ? filler + filler + filler : filler)
            + "\r\nA. 是\r\nB. 否";
        table.rows.push_back(
            { Value(static_cast<std::int32_t>(count - i)), i % 7 == 0 ? Value::null() : Value("情绪温度计"),
                Value(text), Value(static_cast<std::int16_t>(i % 5)), Value(static_cast<std::int16_t>(-i % 3)),
                Value::null(), i % 2 ? Value::null() : Value(std::int16_t { 32767 }), Value(std::int16_t { -32768 }) });
    }
    return table;
}

double secondsToRead(const JetFile& file, Table& out)
{
    const auto started = std::chrono::steady_clock::now();
    out = file.readTable(bank::kQuestionTable);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
}

TEST(LargeBank, ReadsBackExactlyInLinearTime)
{
    jet::WriterOptions options;
    options.password = std::string(bank::kPassword);
    const Table small = questions(6000);
    const Table large = questions(60000);
    const JetFile smallFile = JetFile::fromBytes(jet::WriteJet4({ small }, options));
    const JetFile largeFile = JetFile::fromBytes(jet::WriteJet4({ large }, options));

    Table read;
    const double smallSeconds = secondsToRead(smallFile, read);
    EXPECT_EQ(read.rows, small.rows);
    const double largeSeconds = secondsToRead(largeFile, read);
    ASSERT_EQ(read.rows.size(), large.rows.size());
    EXPECT_EQ(read.rows, large.rows);
    EXPECT_EQ(read.columns, large.columns);

    // Ten times the rows: a linear reader takes about ten times as long. The bound is loose
    // enough for a loaded machine and sanitizers, and still far below what quadratic work costs.
    EXPECT_LT(largeSeconds, 10.0);
    EXPECT_LT(largeSeconds, 40 * smallSeconds + 0.5);
    RecordProperty("rows_60000_ms", static_cast<int>(largeSeconds * 1000));
}

} // namespace
