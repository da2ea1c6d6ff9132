#include "Statement.h"

#include "ComError.h"

#include <array>

namespace questionbank {

namespace {

enum class TokenKind { Word, Name, Text, Star, Equals, Semicolon, End };

struct Token {
    TokenKind kind = TokenKind::End;
    std::string text; // Word and Name: the name as written (without brackets); Text: the literal's value
};

[[noreturn]] void SyntaxError()
{
    throw ComError(DB_E_ERRORSINCOMMAND);
}

bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Letters, digits and underscore, and any non-ASCII byte, so that Chinese names need no brackets.
bool IsNameChar(char c)
{
    auto byte = static_cast<unsigned char>(c);
    return byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

class Lexer {
public:
    explicit Lexer(std::string_view sql)
        : m_sql(sql)
    {
    }

    Token next()
    {
        while (m_pos < m_sql.size() && IsSpace(m_sql[m_pos]))
            ++m_pos;
        if (m_pos == m_sql.size())
            return { TokenKind::End, {} };
        char c = m_sql[m_pos];
        switch (c) {
        case '*':
            ++m_pos;
            return { TokenKind::Star, {} };
        case '=':
            ++m_pos;
            return { TokenKind::Equals, {} };
        case ';':
            ++m_pos;
            return { TokenKind::Semicolon, {} };
        case '[':
            return bracketName();
        case '\'':
            return literal();
        default:
            break;
        }
        if (!IsNameChar(c))
            SyntaxError();
        std::size_t start = m_pos;
        while (m_pos < m_sql.size() && IsNameChar(m_sql[m_pos]))
            ++m_pos;
        return { TokenKind::Word, std::string(m_sql.substr(start, m_pos - start)) };
    }

private:
    Token bracketName()
    {
        std::size_t close = m_sql.find(']', m_pos + 1);
        if (close == std::string_view::npos || close == m_pos + 1)
            SyntaxError();
        std::string name(m_sql.substr(m_pos + 1, close - m_pos - 1));
        m_pos = close + 1;
        return { TokenKind::Name, std::move(name) };
    }

    Token literal()
    {
        std::string value;
        ++m_pos;
        while (true) {
            if (m_pos >= m_sql.size())
                SyntaxError(); // unterminated
            char c = m_sql[m_pos++];
            if (c != '\'') {
                value += c;
                continue;
            }
            if (m_pos < m_sql.size() && m_sql[m_pos] == '\'') {
                value += '\'';
                ++m_pos;
                continue;
            }
            return { TokenKind::Text, std::move(value) };
        }
    }

    std::string_view m_sql;
    std::size_t m_pos = 0;
};

bool EqualsKeyword(std::string_view word, std::string_view keyword)
{
    if (word.size() != keyword.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        char c = word[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - ('a' - 'A'));
        if (c != keyword[i])
            return false;
    }
    return true;
}

// Words that cannot name a table or column without brackets.
constexpr std::array<std::string_view, 7> kReserved = { "SELECT", "FROM", "WHERE", "ORDER", "BY", "ASC", "DESC" };

class Parser {
public:
    explicit Parser(std::string_view sql)
        : m_lexer(sql)
    {
        advance();
    }

    Statement parse()
    {
        expectKeyword("SELECT");
        expect(TokenKind::Star);
        expectKeyword("FROM");
        Statement statement;
        statement.table = name();
        if (isKeyword("WHERE")) {
            advance();
            Statement::Where where;
            where.column = name();
            expect(TokenKind::Equals);
            if (m_token.kind != TokenKind::Text)
                SyntaxError();
            where.text = std::move(m_token.text);
            advance();
            statement.where = std::move(where);
        }
        if (isKeyword("ORDER")) {
            advance();
            expectKeyword("BY");
            Statement::OrderBy orderBy;
            orderBy.column = name();
            if (isKeyword("ASC")) {
                advance();
            } else if (isKeyword("DESC")) {
                orderBy.descending = true;
                advance();
            }
            statement.orderBy = std::move(orderBy);
        }
        if (m_token.kind == TokenKind::Semicolon)
            advance();
        if (m_token.kind != TokenKind::End)
            SyntaxError();
        return statement;
    }

private:
    void advance() { m_token = m_lexer.next(); }

    bool isKeyword(std::string_view keyword) const
    {
        return m_token.kind == TokenKind::Word && EqualsKeyword(m_token.text, keyword);
    }

    void expectKeyword(std::string_view keyword)
    {
        if (!isKeyword(keyword))
            SyntaxError();
        advance();
    }

    void expect(TokenKind kind)
    {
        if (m_token.kind != kind)
            SyntaxError();
        advance();
    }

    std::string name()
    {
        if (m_token.kind == TokenKind::Word) {
            for (auto reserved : kReserved)
                if (EqualsKeyword(m_token.text, reserved))
                    SyntaxError();
        } else if (m_token.kind != TokenKind::Name) {
            SyntaxError();
        }
        std::string result = std::move(m_token.text);
        advance();
        return result;
    }

    Lexer m_lexer;
    Token m_token;
};

} // namespace

Statement ParseStatement(std::string_view sql)
{
    return Parser(sql).parse();
}

} // namespace questionbank
