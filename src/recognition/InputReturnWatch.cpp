#include "recognition/InputReturnWatch.h"

#include <algorithm>

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

void InputReturnWatch::start(const SpeechTokenList &inputsAtLoss, bool sameLoss)
{
    m_known = idsOf(inputsAtLoss);
    if (!sameLoss)
        m_retryInterval = FirstRetryLooks;
    m_looksToRetry = m_retryInterval;
}

bool InputReturnWatch::retryDue()
{
    if (!m_known || --m_looksToRetry > 0)
        return false;
    m_retryInterval = std::min(m_retryInterval * 2, LastRetryLooks);
    m_looksToRetry = m_retryInterval;
    return true;
}

SpeechTokenList InputReturnWatch::newInputs(const SpeechTokenList &inputsNow)
{
    if (!m_known)
        return {};
    m_known->intersect(idsOf(inputsNow));
    SpeechTokenList arrived;
    for (const SpeechToken &input : inputsNow) {
        if (!m_known->contains(input.id))
            arrived << input;
    }
    return arrived;
}

} // namespace kestrel
