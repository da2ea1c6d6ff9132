#include "Help.h"

#include <array>
#include <cctype>

namespace quizbank::help {

namespace {

constexpr std::string_view kProgram = "quizbank";

constexpr std::array kVerbs = {
    Verb { "build", "SOURCE -o FILE", "make a question bank file from its text source",
        "Reads the TOML source SOURCE and writes the question bank FILE (a Jet 4\n"
        "database with the tables testname, testquestion and databasever, protected\n"
        "by the program's database password). A line break in a text of the source\n"
        "becomes CR LF in the bank. Any fault of the source (unknown key, wrong type,\n"
        "number out of range, text too long) is reported with its line and column,\n"
        "and FILE is left as it was.\n" },
    Verb { "dump", "FILE", "print a question bank file as its text source",
        "Reads the question bank FILE and prints it to standard output in the source\n"
        "format of 'build', so that building the output gives back the same data.\n"
        "Questions are printed under the first test of their name, the others as\n"
        "[[question]] entries at the end.\n" },
    Verb { "query", "FILE STATEMENT [--password PW]", "run one statement and print the rows",
        "Opens FILE through the program's record-access layer (with the program's\n"
        "password unless --password is given), runs STATEMENT, for instance\n"
        "\"SELECT * FROM testquestion WHERE testName='X' ORDER BY ID\", and prints\n"
        "tab-separated lines: the column names, then one line per row. NULL is \\N;\n"
        "tab, LF, CR and backslash in a text are \\t, \\n, \\r and \\\\; Bool is 0 or 1;\n"
        "dates are YYYY-MM-DD HH:MM:SS; floating-point numbers are printed in the\n"
        "shortest form that reads back exactly; binary data is lower-case hex.\n"
        "A failing call prints its code (0x and eight hex digits) and its error text\n"
        "to standard error and exits with status 2.\n" },
    Verb { "check", "FILE", "list the problems that make a test misbehave",
        "Reads the question bank FILE (or, when FILE ends in .toml, a source) and\n"
        "prints one line for each problem, named by its test: a test without\n"
        "questions, questions without a testname row, a question without any answer\n"
        "value, a NULL test name or one the program's queries cannot use, bands\n"
        "that no total reaches or that give an empty evaluation, and a missing\n"
        "databasever row. Exits with 0 when there is none, 1 when there are\n"
        "problems and 2 when FILE cannot be read.\n" },
};

} // namespace

const Verb* FindVerb(std::string_view name)
{
    for (const Verb& verb : kVerbs)
        if (verb.name == name)
            return &verb;
    return nullptr;
}

std::string ProgramHelp()
{
    std::string text = "Usage: " + std::string(kProgram)
        + " VERB ARGUMENTS...\n\n"
          "Builds, prints, queries and checks the question bank of marvolen.\n\nVerbs:\n";
    for (const Verb& verb : kVerbs) {
        std::string line = "  " + std::string(verb.name);
        line.resize(10, ' ');
        text += line + std::string(verb.summary) + "\n";
    }
    text += "\n'" + std::string(kProgram)
        + " VERB --help' describes a verb. Exit status: 0 on success, 1 when\n"
          "'check' finds problems, 2 on errors.\n";
    return text;
}

std::string VerbHelp(const Verb& verb)
{
    std::string summary(verb.summary);
    summary[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(summary[0]))); // a sentence here
    return "Usage: " + std::string(kProgram) + " " + std::string(verb.name) + " " + std::string(verb.synopsis) + "\n\n"
        + summary + ".\n\n" + std::string(verb.description);
}

} // namespace quizbank::help
