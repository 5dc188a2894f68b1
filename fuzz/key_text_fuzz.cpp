// Key text in the desktop's notation, as a FUNCTION action holds it.
#include "FuzzText.h"
#include "common/Failure.h"
#include "desktop/KeySequence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kestrel;
    const QString notation = fuzz::text(data, size);
    try {
        for (const KeyStroke &stroke : parseKeySequence(notation)) {
            if (stroke.kind == KeyStroke::Kind::Named && namedKeyName(stroke.key).isEmpty())
                __builtin_trap(); // every key the parser makes has a name
        }
    } catch (const Failure &) {
        // Malformed key text is refused with a message: that is the point.
    }
    if (literalKeyStrokes(notation).size() > static_cast<std::size_t>(notation.size()))
        __builtin_trap(); // no more keys than characters
    return 0;
}
