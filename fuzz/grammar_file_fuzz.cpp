// The command grammar file, "sol.xml", which the user may edit by hand.
#include "common/Failure.h"
#include "speech_platform/SrgsGrammar.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    using namespace kestrel;
    try {
        const SrgsGrammar grammar = SrgsGrammar::parse(
            QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
        for (const SrgsRule &rule : grammar.rules()) {
            if (grammar.rule(rule.id) != &rule)
                __builtin_trap(); // each rule is found under its own id
            if (grammar.sentences(rule.id, 100).size() > 100)
                __builtin_trap();
        }
    } catch (const Failure &) {
        // A grammar that is not one fails to load, which gates emulation.
    }
    return 0;
}
