#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <ostream>

// Readable failure output for Qt's strings (gtest finds these next to the types).
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QByteArray& bytes, std::ostream* os)
{
    *os << '"' << bytes.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os)
{
    *os << '[' << texts.join(QStringLiteral(" | ")).toStdString() << ']';
}
