#pragma once

// Reads a written file back with the independent readers: mdb-export (mdbtools) and mdb-reader (node),
// and turns each expected value into what that reader prints for it.

#include "questionbank/Schema.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace writertest {

struct ProcessResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline ProcessResult run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    ProcessResult result;
    if (!process.waitForStarted(10000)) {
        result.err = "cannot start " + program.toUtf8();
        return result;
    }
    process.closeWriteChannel();
    // Reading as we go keeps a large export from filling the pipe.
    while (!process.waitForFinished(100)) {
        result.out += process.readAllStandardOutput();
        result.err += process.readAllStandardError();
        if (process.state() == QProcess::NotRunning)
            break;
    }
    result.out += process.readAllStandardOutput();
    result.err += process.readAllStandardError();
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

// ---- mdb-reader ----

inline QJsonObject dumpWithMdbReader(const std::filesystem::path& file, std::string* error)
{
    const QString script = QStringLiteral(MARVOLEN_SOURCE_DIR "/writer_dump.js");
    const ProcessResult result = run(QStringLiteral(MARVOLEN_NODE),
        { script, QStringLiteral(MARVOLEN_REFERENCE_DIR), QString::fromStdString(file.string()) });
    if (result.exitCode != 0) {
        *error = "mdb-reader failed: " + result.err.toStdString();
        return {};
    }
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(result.out, &parseError);
    if (!document.isObject()) {
        *error = "mdb-reader printed no JSON: " + parseError.errorString().toStdString();
        return {};
    }
    return document.object();
}

inline QString mdbReaderType(questionbank::ColumnType type)
{
    using questionbank::ColumnType;
    switch (type) {
    case ColumnType::Bool:
        return "boolean";
    case ColumnType::Byte:
        return "byte";
    case ColumnType::Integer:
        return "integer";
    case ColumnType::Long:
        return "long";
    case ColumnType::Currency:
        return "currency";
    case ColumnType::Single:
        return "float";
    case ColumnType::Double:
        return "double";
    case ColumnType::DateTime:
        return "datetime";
    case ColumnType::Binary:
        return "binary";
    case ColumnType::Text:
        return "text";
    case ColumnType::OLE:
        return "ole";
    case ColumnType::Memo:
        return "memo";
    case ColumnType::GUID:
        return "repid";
    case ColumnType::Numeric:
        return "numeric";
    }
    return {};
}

inline std::string currencyText(std::int64_t scaled)
{
    const bool negative = scaled < 0;
    const std::uint64_t magnitude
        = negative ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", negative ? "-" : "",
        static_cast<unsigned long long>(magnitude / 10000), static_cast<unsigned long long>(magnitude % 10000));
    return buffer;
}

// What writer_dump.js prints for a value of a column of `type`.
inline QJsonValue mdbReaderValue(const questionbank::Value& value, questionbank::ColumnType type)
{
    using questionbank::ColumnType;
    if (value.isNull())
        return QJsonValue::Null;
    switch (type) {
    case ColumnType::Bool:
        return value.get<bool>();
    case ColumnType::Byte:
        return value.get<std::uint8_t>();
    case ColumnType::Integer:
        return value.get<std::int16_t>();
    case ColumnType::Long:
        return value.get<std::int32_t>();
    case ColumnType::Currency:
        return QString::fromStdString(currencyText(value.get<questionbank::Currency>().scaled));
    case ColumnType::Single:
        return static_cast<double>(value.get<float>());
    case ColumnType::Double:
        return value.get<double>();
    case ColumnType::DateTime:
        return QJsonObject { { "date", std::round((value.get<questionbank::OleDate>().days - 25569.0) * 86400000.0) } };
    case ColumnType::Text:
    case ColumnType::Memo:
        return QString::fromStdString(value.get<std::string>());
    case ColumnType::GUID: {
        const std::string& guid = value.get<std::string>();
        return QString::fromStdString(guid.substr(1, guid.size() - 2)).toLower();
    }
    case ColumnType::Binary:
    case ColumnType::OLE: {
        QByteArray bytes(reinterpret_cast<const char*>(value.get<questionbank::Bytes>().data()),
            static_cast<qsizetype>(value.get<questionbank::Bytes>().size()));
        return QJsonObject { { "hex", QString::fromLatin1(bytes.toHex()) } };
    }
    case ColumnType::Numeric:
        return QString::fromStdString(value.get<questionbank::Decimal>().text);
    }
    return {};
}

// ---- mdb-export ----

struct CsvCell {
    std::string text;
    bool quoted = false;
    friend bool operator==(const CsvCell&, const CsvCell&) = default;
};
using CsvRow = std::vector<CsvCell>;

// mdb-export's CSV: fields quoted with '"' (doubled inside) or bare; rows end with '\n', which may
// also stand inside a quoted field.
inline std::vector<CsvRow> parseCsv(const QByteArray& bytes)
{
    std::vector<CsvRow> rows;
    CsvRow row;
    CsvCell cell;
    bool inQuotes = false;
    bool any = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inQuotes) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"') {
                cell.text += '"';
                ++i;
            } else if (c == '"') {
                inQuotes = false;
            } else {
                cell.text += c;
            }
            continue;
        }
        if (c == '"') {
            inQuotes = true;
            cell.quoted = true;
            any = true;
        } else if (c == ',') {
            row.push_back(std::move(cell));
            cell = {};
        } else if (c == '\n') {
            row.push_back(std::move(cell));
            rows.push_back(std::move(row));
            row = {};
            cell = {};
            any = false;
        } else {
            cell.text += c;
            any = true;
        }
    }
    if (any || !row.empty()) {
        row.push_back(std::move(cell));
        rows.push_back(std::move(row));
    }
    return rows;
}

inline std::optional<std::vector<CsvRow>> exportWithMdbTools(
    const std::filesystem::path& file, const std::string& table, std::string* error)
{
    const ProcessResult result = run(QStringLiteral(MARVOLEN_MDB_EXPORT),
        { "-0", "NULL", "-b", "hex", "-T", "%Y-%m-%d %H:%M:%S", QString::fromStdString(file.string()),
            QString::fromStdString(table) });
    if (result.exitCode != 0 || !result.err.isEmpty()) {
        *error
            = "mdb-export " + table + " failed (" + std::to_string(result.exitCode) + "): " + result.err.toStdString();
        return std::nullopt;
    }
    return parseCsv(result.out);
}

// mdbtools decodes with iconv from UCS-2, so each half of a surrogate pair comes out as '?'.
inline std::string mdbToolsText(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte & 0xF8) == 0xF0) {
            out += "??";
            i += 3;
        } else {
            out += utf8[i];
        }
    }
    return out;
}

// Whether mdb-export's cell shows `value`. Empty texts and binaries print like NULL (or as ""),
// floating-point numbers are compared at the precision mdbtools prints.
inline bool mdbToolsShows(const CsvCell& cell, const questionbank::Value& value, questionbank::ColumnType type)
{
    using questionbank::ColumnType;
    const CsvCell null { "NULL", false };
    if (value.isNull())
        return cell == null;
    auto bare = [&](const std::string& text) { return cell == CsvCell { text, false }; };
    auto quoted = [&](const std::string& text) { return cell == CsvCell { text, true }; };
    auto near = [&](double expected, double relative) {
        if (cell.quoted)
            return false;
        try {
            const double printed = std::stod(cell.text);
            return std::fabs(printed - expected) <= relative * std::fabs(expected);
        } catch (const std::exception&) {
            return false;
        }
    };
    switch (type) {
    case ColumnType::Bool:
        return bare(value.get<bool>() ? "1" : "0");
    case ColumnType::Byte:
        return bare(std::to_string(value.get<std::uint8_t>()));
    case ColumnType::Integer:
        return bare(std::to_string(value.get<std::int16_t>()));
    case ColumnType::Long:
        return bare(std::to_string(value.get<std::int32_t>()));
    case ColumnType::Currency:
        return bare(currencyText(value.get<questionbank::Currency>().scaled));
    case ColumnType::Single:
        return near(value.get<float>(), 1e-6);
    case ColumnType::Double:
        return near(value.get<double>(), 1e-14);
    case ColumnType::DateTime: {
        // Whole seconds only: the fixtures use no fractions of a second.
        const double days = value.get<questionbank::OleDate>().days;
        const auto seconds = static_cast<long long>(std::llround((days - 25569.0) * 86400.0));
        const std::time_t time = static_cast<std::time_t>(seconds);
        std::tm tm {};
        gmtime_r(&time, &tm);
        char buffer[32];
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
        return quoted(buffer);
    }
    case ColumnType::Text:
    case ColumnType::Memo: {
        const std::string& text = value.get<std::string>();
        return text.empty() ? (cell == null || quoted("")) : quoted(mdbToolsText(text));
    }
    case ColumnType::GUID: {
        // Printed as text, upper case, without the dash after the fourth group, and hex-encoded by -b hex.
        QString guid = QString::fromStdString(value.get<std::string>()).toUpper();
        guid.remove(24, 1);
        return quoted(guid.toLatin1().toHex().toUpper().toStdString());
    }
    case ColumnType::Binary:
    case ColumnType::OLE: {
        auto bytes = value.get<questionbank::Bytes>();
        // mdbtools copies a Binary value as a C string: it ends at the first NUL byte.
        if (type == ColumnType::Binary)
            bytes.erase(std::find(bytes.begin(), bytes.end(), 0), bytes.end());
        if (bytes.empty())
            return cell == null || quoted("") || bare("");
        const QByteArray raw(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
        return quoted(raw.toHex().toUpper().toStdString());
    }
    case ColumnType::Numeric:
        return bare(value.get<questionbank::Decimal>().text);
    }
    return false;
}

} // namespace writertest
