#include "app/RecognitionBackend.h"

#include "speech_platform/sphinx/SphinxRecognition.h"

namespace kestrel {

std::unique_ptr<SpeechRecognitionService> createRecognitionService(CommandVocabulary &vocabulary)
{
    return std::make_unique<SphinxRecognitionService>(vocabulary);
}

} // namespace kestrel
