#include "interpreter/PhraseLookup.h"

#include "interpreter/TextRules.h"

namespace kestrel {

QString searchKeyFor(const QString &upperPhrase)
{
    QString key = upperPhrase;
    const qsizetype cursor = upperPhrase.indexOf(QLatin1String("CURSOR"));
    if (cursor >= 0)
        key = upperPhrase.left(cursor + 6);
    const qsizetype select = upperPhrase.indexOf(QLatin1String("SELECT"));
    if (select >= 0)
        key = upperPhrase.left(select + 6);
    return key;
}

LookupScan scanRows(const QList<CommandRow> &rows, const QString &searchKey)
{
    LookupScan scan;
    scan.currentRowNumber = rows.isEmpty() ? 0 : 1;
    while (scan.rowIndex < MaxExaminedRows) {
        ++scan.rowIndex;
        // Moving past the last row fails; the row that was current stays current.
        if (scan.rowIndex > rows.size())
            break;
        scan.currentRowNumber = scan.rowIndex;
        const QString &phrase = rows.at(scan.rowIndex - 1).WordPhrase;
        if (phrase.isEmpty())
            break;
        if (upperCased(phrase) == searchKey) {
            scan.found = true;
            break;
        }
    }
    return scan;
}

} // namespace kestrel
