#pragma once

#include <QString>

namespace kestrel {

/// The memory of phrases already printed in one copy of the table: "|" followed by
/// each printed phrase and "|". Lookups are exact and case-sensitive, so "open" and
/// "OPEN" are different phrases here even though the lookup treats them alike.
///
/// The memory is deliberately bounded: past MaxLength characters only the last
/// KeptLength are kept, and a phrase printed long before may be printed again.
/// Stored tables rely on nothing else, so the bound stays as it always was.
class PrintedPhrases
{
public:
    static constexpr qsizetype MaxLength = 2000;
    static constexpr qsizetype KeptLength = 1996;

    bool contains(const QString &phrase) const;
    void add(const QString &phrase);
    void clear();

    const QString &text() const { return m_text; }

private:
    QString m_text = QStringLiteral("|");
};

} // namespace kestrel
