#include "interpreter/OpenAction.h"

#include "interpreter/TextRules.h"

#include <QRegularExpression>

namespace kestrel {

OpenAction splitOpenKeys(const QString &action)
{
    OpenAction parts;
    const qsizetype bar = action.indexOf(QLatin1Char('|'), 2);
    if (bar >= 0) {
        parts.program = action.left(bar);
        parts.keys = action.mid(bar + 1, MaxTailLength);
    } else {
        parts.program = action;
    }
    parts.program = stripOneQuotePair(parts.program);
    return parts;
}

OpenAction splitOpenDirectory(OpenAction action)
{
    if (isWebAddress(action.program))
        return action;
    const qsizetype comma = action.program.indexOf(QLatin1Char(','));
    if (comma >= 0) {
        action.directory = stripOneQuotePair(action.program.mid(comma + 1, MaxTailLength));
        action.program = action.program.left(comma);
    }
    // The closing quote of a quoted program stands before the comma.
    if (action.program.endsWith(QLatin1Char('"')))
        action.program.chop(1);
    return action;
}

bool isWebAddress(const QString &target)
{
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme.match(target).hasMatch();
}

} // namespace kestrel
