#include "main_window/printout/PrintedPhrases.h"

namespace kestrel {

bool PrintedPhrases::contains(const QString &phrase) const
{
    return m_text.contains(QLatin1Char('|') + phrase + QLatin1Char('|'), Qt::CaseSensitive);
}

void PrintedPhrases::add(const QString &phrase)
{
    m_text += phrase;
    m_text += QLatin1Char('|');
    if (m_text.size() > MaxLength)
        m_text = m_text.right(KeptLength);
}

void PrintedPhrases::clear()
{
    m_text = QStringLiteral("|");
}

} // namespace kestrel
