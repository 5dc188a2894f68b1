#include "interpreter/PhraseLookup.h"

#include "common/PhraseWords.h"
#include "interpreter/TextRules.h"
#include "speech_platform/SpokenNumbers.h"

namespace kestrel {
namespace {

// A row's phrase as a recognition of it reaches the lookup: the recogniser
// returns the grammar's words for it with spoken numbers as digits and "comma"
// as ",", and every recognition is then cleaned and upper-cased. A stored
// "SAVE-FILE", "OPEN EDITOR " or "PAGE TWO" is heard as "save file", "open
// editor" or "page 2" and must still be found.
QString heardForm(const QString &phrase)
{
    return upperCased(normaliseRecoText(applyReplacements(phraseWords(phrase))));
}

} // namespace

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

namespace {

// Walks the rows as the lookup does, up to the first row `matches` accepts.
template <typename Match> LookupScan walkRows(const QList<CommandRow> &rows, const Match &matches)
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
        if (matches(phrase)) {
            scan.found = true;
            break;
        }
    }
    return scan;
}

} // namespace

bool phraseAnswersKey(const QString &phrase, const QString &searchKey)
{
    if (upperCased(phrase) == searchKey)
        return true;
    const QString heard = heardForm(phrase);
    return !heard.isEmpty() && heard == searchKey;
}

LookupScan scanRows(const QList<CommandRow> &rows, const QString &searchKey)
{
    // A row stored as the phrase goes first, so typing a phrase into the
    // emulation box finds its own row even when an earlier one is heard alike
    // ("OPEN C++ DOCS" is heard as "open c docs").
    const LookupScan stored = walkRows(rows, [&](const QString &phrase) { return upperCased(phrase) == searchKey; });
    if (stored.found)
        return stored;
    return walkRows(rows, [&](const QString &phrase) { return phraseAnswersKey(phrase, searchKey); });
}

bool parentNamesRecordedPhrase(const QString &parent, const QString &recordedPhrase)
{
    if (upperCased(parent.trimmed()) == upperCased(recordedPhrase.trimmed()))
        return true;
    // The slot holds the phrase as heard ("OPEN, SEPARATED"), whose "," cleaning
    // drops again, while a Parent written out ("OPEN COMMA SEPARATED") gains one.
    const auto withoutCommas = [](QString heard) { return heard.remove(QLatin1Char(',')); };
    const QString heard = withoutCommas(heardForm(parent));
    return !heard.isEmpty() && heard == withoutCommas(heardForm(recordedPhrase));
}

} // namespace kestrel
