#include "speech_platform/CommandVocabulary.h"

namespace kestrel {

void CommandPhraseList::setPhrases(const QStringList &phrases)
{
    if (phrases == m_phrases)
        return;
    m_phrases = phrases;
    Q_EMIT changed();
}

} // namespace kestrel
