#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable Qt strings in failure messages (found by argument-dependent lookup);
// the quotes show blanks at either end.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &list, std::ostream *os)
{
    *os << '[';
    for (qsizetype i = 0; i < list.size(); ++i)
        *os << (i ? ", " : "") << '"' << list.at(i).toStdString() << '"';
    *os << ']';
}
QT_END_NAMESPACE
