#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// An OLE DB connection string: "key=value;key=value". Keys are case-insensitive and trimmed; a value
// is trimmed too unless it stands in double or single quotes, where a doubled quote is one quote and
// a ';' is part of the value. A key given twice keeps its last value.
namespace questionbank {

class ConnectionString {
public:
    // Throws ComError(E_FAIL) for a string that cannot be read (an unterminated quote, text after a
    // closing quote, a part without '=' or without a key).
    static ConnectionString Parse(std::string_view text);

    std::optional<std::string> value(std::string_view key) const;

private:
    std::map<std::string, std::string> m_values; // by key in lower case
};

} // namespace questionbank
