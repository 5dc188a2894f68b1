#pragma once

#include "command_table/CommandRow.h"

#include <QList>
#include <QString>

namespace kestrel {

/// The lookup examines at most this many rows (1,000 passes over a 13-row page).
constexpr int MaxExaminedRows = 13000;

/// The key that rows are compared with: the upper-cased phrase, cut after the first
/// "CURSOR" and then, winning over it, after the first "SELECT", so that the words
/// after these built-in commands do not take part in the match.
QString searchKeyFor(const QString &upperPhrase);

/// Where a scan of the table ended.
struct LookupScan
{
    bool found = false;
    /// 1-based number of the last row the scan counted; for a match, its row.
    int rowIndex = 0;
    /// 1-based number of the row the scan left current, 0 for an empty table.
    int currentRowNumber = 0;
};

/// True when a row's phrase answers `searchKey`: upper-cased as stored, or as a
/// recognition of it reads (its phraseWords, cleaned like any recognition).
bool phraseAnswersKey(const QString &phrase, const QString &searchKey);

/// Walks `rows` in table order, numbering them from 1, and stops at the first row
/// whose upper-cased WordPhrase equals `searchKey`; failing that, at the first
/// row whose phrase answers it (phraseAnswersKey). A walk also stops at the first
/// row whose WordPhrase is empty (the table ends there), at the end of the rows,
/// or after MaxExaminedRows rows. The first row must have been checked for being
/// blank.
LookupScan scanRows(const QList<CommandRow> &rows, const QString &searchKey);

/// True when a row's Parent names the OPEN command recorded in a slot under
/// `recordedPhrase` (the phrase as it was looked up): both upper-cased and trimmed
/// are equal, or both are heard as the same words. A slot records the phrase as
/// the recogniser returned it ("OPEN EDITOR"), while the Parent is typed like the
/// stored phrase ("OPEN-EDITOR"); the lookup finds that row by either form, so
/// the parent must be found by either too.
bool parentNamesRecordedPhrase(const QString &parent, const QString &recordedPhrase);

} // namespace kestrel
