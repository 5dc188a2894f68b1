#pragma once

#include "speech_platform/Recognition.h"

#include <memory>

namespace kestrel {

class CommandVocabulary;
class SoundServerDefaults;

/// The recogniser this build uses, listening for the phrases of `vocabulary`
/// on the input `soundServer` takes as the default.
std::unique_ptr<SpeechRecognitionService>
createRecognitionService(CommandVocabulary &vocabulary,
                         std::shared_ptr<const SoundServerDefaults> soundServer);

} // namespace kestrel
