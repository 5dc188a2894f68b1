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
