// Text read aloud, plain or with markup: what eSpeak is handed, and how its
// positions map back to words a window highlights.
#include "FuzzText.h"
#include "speech_platform/espeak/TextPositionMap.h"

#include <initializer_list>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kestrel;
    if (size < 2)
        return 0;
    // The first two bytes pick a position and a length as eSpeak might report them.
    const int position = static_cast<int>(data[0]) - 8;
    const int length = static_cast<int>(data[1] >> 1) - 8;
    const QString text = fuzz::text(data + 2, size - 2);
    const TextPositionMap map(text, (data[1] & 1) != 0 || holdsMarkup(text));
    const int handed = static_cast<int>(map.handedText().size());
    for (const int at : {position, 0, 1, handed / 2, handed, handed + 1}) {
        const int index = map.toTextIndex(at);
        if (index < 0 || index > text.size())
            __builtin_trap();
        if (const auto word = map.wordSpan(at, length)) {
            if (word->start < 0 || word->length < 0 || word->start + word->length > text.size())
                __builtin_trap();
        }
        const TextSpan sentence = map.sentenceSpan(at);
        if (sentence.start < 0 || sentence.length < 0 || sentence.start + sentence.length > text.size())
            __builtin_trap();
    }
    return 0;
}
