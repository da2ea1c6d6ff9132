// quizbank: the question bank's developer tool (see doc/question-bank-source.md).
#include "BankCheck.h"
#include "BankSource.h"
#include "Help.h"
#include "TsvFormat.h"
#include "questionbank/BankSchema.h"
#include "questionbank/RecordAccess.h"
#include "questionbank/jet/JetReader.h"
#include "questionbank/jet/JetWriter.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;
namespace schema = questionbank::bank;
using namespace quizbank;

constexpr int kOk = 0;
constexpr int kProblems = 1;
constexpr int kError = 2;

// A failure that ends the verb with a message on standard error.
struct Failure {
    std::string message;
    bool misuse = false; // the command line was wrong: the verb's usage line follows
};

[[noreturn]] void Fail(std::string message)
{
    throw Failure { std::move(message) };
}

[[noreturn]] void Misuse(std::string message)
{
    throw Failure { std::move(message), true };
}

struct Arguments {
    std::vector<std::string> positional;
    std::string output; // -o
    std::optional<std::string> password; // --password
};

Arguments Parse(const std::vector<std::string>& args, bool takesOutput, bool takesPassword)
{
    Arguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= args.size())
                Misuse("option " + arg + " needs a value");
            return args[++i];
        };
        if (takesOutput && arg == "-o")
            parsed.output = value();
        else if (takesPassword && arg == "--password")
            parsed.password = value();
        else if (takesPassword && arg.rfind("--password=", 0) == 0)
            parsed.password = arg.substr(11);
        else if (arg.size() > 1 && arg[0] == '-' && arg != "--")
            Misuse("unknown option " + arg);
        else
            parsed.positional.push_back(arg);
    }
    return parsed;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        Fail("cannot read " + path.string());
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        Fail("cannot read " + path.string());
    return text.str();
}

// Writes beside the target and renames, so that a failure never leaves half a file.
void WriteFileAtomically(const fs::path& path, const std::vector<std::uint8_t>& bytes)
{
    fs::path temporary = path;
    temporary += ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
            Fail("cannot write " + temporary.string());
        }
    }
    std::error_code error;
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        Fail("cannot write " + path.string());
    }
}

Bank LoadBankFile(const fs::path& path)
{
    try {
        auto file = questionbank::jet::JetFile::open(path);
        auto table = [&](std::string_view name) {
            auto stored = file.findTable(name);
            if (!stored)
                throw SchemaError("the file has no table " + std::string(name));
            return file.readTable(*stored);
        };
        return FromTables(table(schema::kTestTable), table(schema::kQuestionTable), table(schema::kVersionTable));
    } catch (const std::system_error& error) {
        Fail("cannot read " + path.string() + ": " + error.code().message());
    } catch (const questionbank::jet::FormatError& error) {
        Fail(path.string() + " is not a readable question bank: " + error.what());
    } catch (const SchemaError& error) {
        Fail(path.string() + ": " + error.what());
    } catch (const std::out_of_range& error) {
        Fail(path.string() + ": " + error.what());
    }
}

Bank LoadSource(const fs::path& path)
{
    try {
        return ParseSource(ReadFile(path), path.string());
    } catch (const SourceError& error) {
        Fail(error.what());
    }
}

int Build(const Arguments& args)
{
    if (args.positional.size() != 1 || args.output.empty())
        Misuse("expects SOURCE -o FILE");
    std::vector<std::uint8_t> bytes;
    try {
        questionbank::jet::WriterOptions options;
        options.password = std::string(schema::kPassword);
        bytes = questionbank::jet::WriteJet4(ToTables(LoadSource(args.positional[0])), options);
    } catch (const std::invalid_argument& error) {
        Fail(std::string("the bank cannot be written: ") + error.what());
    }
    WriteFileAtomically(args.output, bytes);
    return kOk;
}

int Dump(const Arguments& args)
{
    if (args.positional.size() != 1)
        Misuse("expects FILE");
    std::cout << WriteSource(LoadBankFile(args.positional[0])) << std::flush;
    return kOk;
}

int Check(const Arguments& args)
{
    if (args.positional.size() != 1)
        Misuse("expects FILE");
    fs::path path = args.positional[0];
    Bank bank = path.extension() == ".toml" ? LoadSource(path) : LoadBankFile(path);
    auto problems = CheckBank(bank);
    for (const Problem& problem : problems)
        std::cout << ProblemLine(problem) << "\n";
    std::cout << std::flush;
    return problems.empty() ? kOk : kProblems;
}

// The table a statement reads: the name after FROM, with or without brackets.
std::optional<std::string> StatementTable(const std::string& statement)
{
    std::istringstream words(statement);
    std::string word;
    while (words >> word) {
        std::string upper = word;
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (upper != "FROM")
            continue;
        if (!(words >> word))
            return std::nullopt;
        if (word.size() >= 2 && word.front() == '[') {
            auto close = word.find(']');
            return word.substr(1, close == std::string::npos ? std::string::npos : close - 1);
        }
        if (word.back() == ';')
            word.pop_back();
        return word;
    }
    return std::nullopt;
}

// A connection-string value in double quotes, so that ';' and '=' in a path or password stay part of it.
std::string Quoted(const std::string& value)
{
    std::string quoted = "\"";
    for (char c : value)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

int Query(const Arguments& args)
{
    if (args.positional.size() != 2)
        Misuse("expects FILE STATEMENT");
    const fs::path file = fs::absolute(args.positional[0]);
    const std::string& statement = args.positional[1];
    const std::string password = args.password.value_or(std::string(schema::kPassword));
    std::string output;
    try {
        questionbank::ConnectionPtr connection;
        connection.CreateInstance();
        connection->Open("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + Quoted(file.string())
                + ";Jet OLEDB:Database Password=" + Quoted(password),
            "", "", 0);
        questionbank::RecordsetPtr recordset;
        questionbank::OpenQuery(recordset, statement, connection);

        // The record-access layer names no columns; a "SELECT *" result has those of its table.
        std::vector<std::string> columns;
        if (auto table = StatementTable(statement)) {
            auto jet = questionbank::jet::JetFile::open(file);
            if (auto stored = jet.findTable(*table))
                for (const auto& column : jet.readTable(*stored).columns)
                    columns.push_back(column.name);
        }
        for (std::size_t i = 0; i < columns.size(); ++i)
            output += (i ? "\t" : "") + TsvEscape(columns[i]);
        output += "\n";
        if (!recordset->BOF()) {
            recordset->MoveFirst();
            while (!recordset->adoEOF()) {
                for (std::size_t i = 0; i < columns.size(); ++i)
                    output += (i ? "\t" : "") + TsvField(questionbank::ReadField(recordset, columns[i]));
                output += "\n";
                recordset->MoveNext();
            }
        }
        recordset->Close();
        connection->Close();
    } catch (const questionbank::ComError& error) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(error.Error()));
        Fail(std::string(code) + " " + questionbank::ComErrorText(error));
    } catch (const std::exception& error) {
        Fail(error.what());
    }
    std::cout << output << std::flush;
    return kOk;
}

int Run(const std::vector<std::string>& argv)
{
    using quizbank::help::FindVerb;
    if (argv.empty()) {
        std::cerr << quizbank::help::ProgramHelp();
        return kError;
    }
    if (argv[0] == "--help" || argv[0] == "-h" || argv[0] == "help") {
        if (argv[0] == "help" && argv.size() > 1)
            if (const auto* verb = FindVerb(argv[1])) {
                std::cout << quizbank::help::VerbHelp(*verb);
                return kOk;
            }
        std::cout << quizbank::help::ProgramHelp();
        return kOk;
    }
    const auto* verb = FindVerb(argv[0]);
    if (!verb) {
        std::cerr << "quizbank: unknown verb '" << argv[0] << "'; 'quizbank --help' lists the verbs\n";
        return kError;
    }
    std::vector<std::string> rest(argv.begin() + 1, argv.end());
    for (const auto& arg : rest) {
        if (arg == "--help" || arg == "-h") {
            std::cout << quizbank::help::VerbHelp(*verb);
            return kOk;
        }
    }
    try {
        if (verb->name == "build")
            return Build(Parse(rest, true, false));
        if (verb->name == "dump")
            return Dump(Parse(rest, false, false));
        if (verb->name == "query")
            return Query(Parse(rest, false, true));
        return Check(Parse(rest, false, false));
    } catch (const Failure& failure) {
        std::cerr << "quizbank " << verb->name << ": " << failure.message << "\n";
        if (failure.misuse)
            std::cerr << "Usage: quizbank " << verb->name << " " << verb->synopsis << "\n";
        return kError;
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        return Run(args);
    } catch (const std::exception& error) {
        std::cerr << "quizbank: " << error.what() << "\n";
        return kError;
    }
}
