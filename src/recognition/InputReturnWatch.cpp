#include "recognition/InputReturnWatch.h"

namespace kestrel {
namespace {

QSet<QString> idsOf(const SpeechTokenList &tokens)
{
    QSet<QString> ids;
    for (const SpeechToken &token : tokens)
        ids.insert(token.id);
    return ids;
}

} // namespace

void InputReturnWatch::start(const SpeechTokenList &inputsAtLoss)
{
    m_known = idsOf(inputsAtLoss);
}

bool InputReturnWatch::inputReturned(const SpeechTokenList &inputsNow)
{
    if (!m_known)
        return false;
    const QSet<QString> now = idsOf(inputsNow);
    m_known->intersect(now);
    return !(now - *m_known).isEmpty();
}

} // namespace kestrel
