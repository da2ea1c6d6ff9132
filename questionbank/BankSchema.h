#pragma once

#include "Schema.h"

#include <array>
#include <string_view>
#include <vector>

// The question bank as the program uses it: its file, connection string, tables and columns.
namespace questionbank::bank {

inline constexpr std::string_view kFileName = "tovra.mdb";
inline constexpr std::string_view kPassword = "pvexmtgrw4067";
inline constexpr std::string_view kConnectionString =
    "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=tovra.mdb;Jet OLEDB:Database Password=pvexmtgrw4067";

inline constexpr std::string_view kTestTable = "testname";
inline constexpr std::string_view kQuestionTable = "testquestion";
inline constexpr std::string_view kVersionTable = "databasever";

inline constexpr std::string_view kTestName = "testName";
inline constexpr std::array<std::string_view, 5> kRankBound = {"rank1", "rank2", "rank3", "rank4", "rank5"};
inline constexpr std::array<std::string_view, 5> kRankText = {"rank1pinjia", "rank2pinjia", "rank3pinjia",
                                                             "rank4pinjia", "rank5pinjia"};
inline constexpr std::string_view kQuestionId = "ID";
inline constexpr std::string_view kQuestionText = "questionContext";
inline constexpr std::array<std::string_view, 5> kAnswerValue = {"answerAValue", "answerBValue", "answerCValue",
                                                                "answerDValue", "answerEValue"};
inline constexpr std::string_view kMakeDate = "makedate";

// The column definitions of the three tables, in column order, as the bank files are written.
inline std::vector<ColumnDef> TestColumns()
{
    std::vector<ColumnDef> columns{{std::string(kTestName), ColumnType::Text, 255}};
    for (auto name : kRankBound)
        columns.push_back({std::string(name), ColumnType::Integer});
    for (auto name : kRankText)
        columns.push_back({std::string(name), ColumnType::Memo});
    return columns;
}

inline std::vector<ColumnDef> QuestionColumns()
{
    std::vector<ColumnDef> columns{{std::string(kQuestionId), ColumnType::Long},
                                   {std::string(kTestName), ColumnType::Text, 255},
                                   {std::string(kQuestionText), ColumnType::Memo}};
    for (auto name : kAnswerValue)
        columns.push_back({std::string(name), ColumnType::Integer});
    return columns;
}

inline std::vector<ColumnDef> VersionColumns()
{
    return {{std::string(kMakeDate), ColumnType::Text, 255}};
}

} // namespace questionbank::bank
