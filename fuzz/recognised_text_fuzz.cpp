// What the recogniser hands over, and what the interpreter makes of it: spoken
// numbers, the cleaning of the phrase, the yes- and no-words, and the numbers
// that CURSOR, SELECT and PAUSE read.
#include "FuzzText.h"
#include "common/Failure.h"
#include "common/PhraseWords.h"
#include "interpreter/NumericValue.h"
#include "interpreter/TextRules.h"
#include "speech_platform/SpokenNumbers.h"

#include <QStringList>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kestrel;
    const QString text = fuzz::text(data, size);
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    (void)applyReplacements(words);
    if (spokenNumberValue(words) < -1)
        __builtin_trap();

    const QString cleaned = normaliseRecoText(text);
    const QString upper = upperCased(cleaned);
    (void)isYesWord(upper);
    (void)isNoWord(upper);
    const qsizetype spellAt = spellItAt(text);
    if (spellAt > text.size())
        __builtin_trap();
    (void)stripOneQuotePair(text);
    (void)phraseWords(text);

    try {
        const double value = numericValue(text);
        try {
            (void)roundToInt16(value);
        } catch (const Failure &) {
        }
        (void)roundToInt32(value);
    } catch (const Failure &) {
        // An overflow takes the interpreter's error path.
    }
    return 0;
}
