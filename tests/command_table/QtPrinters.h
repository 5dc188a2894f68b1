#pragma once

#include "command_table/CommandRow.h"

#include <QString>
#include <QStringList>

#include <ostream>

// Readable gtest failure messages for the Qt types the tests compare.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace kestrel {
inline void PrintTo(const CommandRow &row, std::ostream *out)
{
    *out << '{' << row.WordPhrase.toStdString() << " | " << row.Type.toStdString() << " | "
         << row.Action.toStdString() << " | " << row.Parent.toStdString() << '}';
}
} // namespace kestrel
