#include "ConnectionString.h"

#include "ComError.h"

namespace questionbank {

namespace {

std::string LowerAscii(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + ('a' - 'A'));
    return out;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

[[noreturn]] void Malformed()
{
    throw ComError(E_FAIL);
}

} // namespace

ConnectionString ConnectionString::Parse(std::string_view text)
{
    ConnectionString result;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t equals = text.find('=', pos);
        std::size_t semicolon = text.find(';', pos);
        if (equals == std::string_view::npos || (semicolon != std::string_view::npos && semicolon < equals)) {
            // A part without '=' is only allowed when it is empty ("a=b;;c=d", a trailing ';').
            std::size_t end = semicolon == std::string_view::npos ? text.size() : semicolon;
            if (!Trim(text.substr(pos, end - pos)).empty())
                Malformed();
            pos = end + 1;
            continue;
        }
        std::string_view key = Trim(text.substr(pos, equals - pos));
        if (key.empty())
            Malformed();
        pos = equals + 1;
        while (pos < text.size() && IsBlank(text[pos]))
            ++pos;
        std::string value;
        if (pos < text.size() && (text[pos] == '"' || text[pos] == '\'')) {
            char quote = text[pos++];
            while (true) {
                if (pos >= text.size())
                    Malformed();
                char c = text[pos++];
                if (c == quote) {
                    if (pos < text.size() && text[pos] == quote) {
                        value += quote;
                        ++pos;
                        continue;
                    }
                    break;
                }
                value += c;
            }
            while (pos < text.size() && IsBlank(text[pos]))
                ++pos;
            if (pos < text.size() && text[pos] != ';')
                Malformed();
            ++pos;
        } else {
            std::size_t end = text.find(';', pos);
            if (end == std::string_view::npos)
                end = text.size();
            value = std::string(Trim(text.substr(pos, end - pos)));
            pos = end + 1;
        }
        result.m_values[LowerAscii(key)] = std::move(value);
    }
    return result;
}

std::optional<std::string> ConnectionString::value(std::string_view key) const
{
    auto it = m_values.find(LowerAscii(key));
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

} // namespace questionbank
