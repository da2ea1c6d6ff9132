#pragma once

#include <optional>
#include <string>
#include <string_view>

// The SQL the question bank answers:
//   SELECT * FROM table [WHERE column = 'text'] [ORDER BY column [ASC|DESC]] [;]
// Keywords and names are case-insensitive; a name may stand in [brackets]; '' inside a literal is
// one apostrophe. Anything else is a syntax error (ComError DB_E_ERRORSINCOMMAND).
namespace questionbank {

struct Statement {
    struct Where {
        std::string column;
        std::string text; // the literal, with doubled apostrophes made single
    };
    struct OrderBy {
        std::string column;
        bool descending = false;
    };

    std::string table;
    std::optional<Where> where;
    std::optional<OrderBy> orderBy;
};

Statement ParseStatement(std::string_view sql);

} // namespace questionbank
