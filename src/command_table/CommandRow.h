#pragma once

#include <QString>

namespace kestrel {

/// One row of the command table "Selections". Every field is text and is compared
/// as text everywhere. Field names are the table's column names.
struct CommandRow
{
    QString WordPhrase;
    QString Type;
    QString Action;
    QString Parent;

    bool operator==(const CommandRow &) const = default;
};

/// Anything that can hand out the command table as it is stored now, in table
/// order. The lookup and the printout refresh through it before every pass so that
/// edits made since are seen.
class CommandSource
{
public:
    virtual ~CommandSource() = default;
    virtual QList<CommandRow> refresh() = 0;
};

} // namespace kestrel
