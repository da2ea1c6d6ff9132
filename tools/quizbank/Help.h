#pragma once

#include <optional>
#include <string>
#include <string_view>

// The help texts of quizbank, kept in one place: the command line prints them and the manual
// page is made from them.
namespace quizbank::help {

struct Verb {
    std::string_view name;
    std::string_view synopsis; // the arguments after the verb
    std::string_view summary; // one line
    std::string_view description; // paragraphs, lines of at most 80 columns
};

const Verb* FindVerb(std::string_view name);
std::string ProgramHelp();
std::string VerbHelp(const Verb& verb);

} // namespace quizbank::help
