#include "app/RecognitionBackend.h"

#include "speech_platform/sphinx/SphinxRecognition.h"

namespace kestrel {

std::unique_ptr<SpeechRecognitionService>
createRecognitionService(CommandVocabulary &vocabulary,
                         std::shared_ptr<const SoundServerDefaults> soundServer)
{
    return std::make_unique<SphinxRecognitionService>(vocabulary, SphinxModelPaths::usEnglish(),
                                                      AudioInputs::system(std::move(soundServer)));
}

} // namespace kestrel
