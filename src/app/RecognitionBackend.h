#pragma once

#include "speech_platform/Recognition.h"

#include <memory>

namespace kestrel {

class CommandVocabulary;

/// The recogniser this build uses, listening for the phrases of `vocabulary`.
std::unique_ptr<SpeechRecognitionService> createRecognitionService(CommandVocabulary &vocabulary);

} // namespace kestrel
