#pragma once

// Runs the mdbtools command-line programs, the independent reader the Jet tests compare against.

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace marvolen::test {

inline constexpr const char* kMdbDateFormat = "%Y-%m-%d %H:%M:%S";

inline std::filesystem::path mdbToolPath(const std::string& tool)
{
    const std::filesystem::path exportTool = MARVOLEN_MDB_EXPORT;
    if (exportTool.empty())
        return {};
    return tool == "mdb-export" ? exportTool : exportTool.parent_path() / tool;
}

inline bool mdbToolsAvailable()
{
    const auto tool = mdbToolPath("mdb-export");
    return !tool.empty() && ::access(tool.c_str(), X_OK) == 0 && ::access(mdbToolPath("mdb-tables").c_str(), X_OK) == 0;
}

// Runs a program with exactly the given environment and returns its standard output.
inline std::string runCapturing(const std::vector<std::string>& argv, const std::vector<std::string>& environment)
{
    int fds[2];
    if (::pipe(fds) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const auto& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    std::vector<char*> env;
    for (const auto& entry : environment)
        env.push_back(const_cast<char*>(entry.c_str()));
    env.push_back(nullptr);
    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), env.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    std::string output;
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(argv[0] + " failed");
    return output;
}

inline std::vector<std::string> splitOn(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const auto end = text.find(separator, start);
        if (end == std::string::npos) {
            parts.push_back(text.substr(start));
            break;
        }
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The environment mdbtools runs in: nothing inherited, so no locale or charset leaks in.
inline std::vector<std::string> mdbEnvironment(const std::string& jet3Charset = {})
{
    std::vector<std::string> env { "LC_ALL=C.UTF-8" };
    if (!jet3Charset.empty())
        env.push_back("MDB_JET3_CHARSET=" + jet3Charset);
    return env;
}

inline std::vector<std::string> mdbTables(const std::filesystem::path& file, const std::string& jet3Charset = {})
{
    auto names = splitOn(
        runCapturing({ mdbToolPath("mdb-tables").string(), "-1", file.string() }, mdbEnvironment(jet3Charset)), '\n');
    while (!names.empty() && names.back().empty())
        names.pop_back();
    return names;
}

// Splits mdb-export's CSV: fields separated by commas, rows by newlines, text in double quotes
// with inner quotes doubled (a quoted field may hold newlines and any control character).
inline std::vector<std::vector<std::string>> parseMdbCsv(const std::string& csv)
{
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    bool any = false;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        const char c = csv[i];
        if (quoted) {
            if (c != '"') {
                field.push_back(c);
            } else if (i + 1 < csv.size() && csv[i + 1] == '"') {
                field.push_back('"');
                ++i;
            } else {
                quoted = false;
            }
            continue;
        }
        any = true;
        if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
            any = false;
        } else {
            field.push_back(c);
        }
    }
    if (any) {
        row.push_back(std::move(field));
        rows.push_back(std::move(row));
    }
    return rows;
}

// Every row of a table as mdb-export prints it: NULL and "" both as an empty field, dates in
// kMdbDateFormat, binaries in hex.
inline std::vector<std::vector<std::string>> mdbExport(
    const std::filesystem::path& file, const std::string& table, const std::string& jet3Charset = {})
{
    return parseMdbCsv(runCapturing({ mdbToolPath("mdb-export").string(), "-H", "-D", kMdbDateFormat, "-T",
                                        kMdbDateFormat, "-b", "hex", file.string(), table },
        mdbEnvironment(jet3Charset)));
}

} // namespace marvolen::test
