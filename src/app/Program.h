#pragma once

#include "app/LinkProxies.h"
#include "common/SharedState.h"
#include "interpreter/OpenProgramSlots.h"
#include "speech_platform/CommandVocabulary.h"

#include <functional>
#include <memory>

namespace kestrel {

class CommandStore;
class CommandTableModel;
class DebugForm;
class Desktop;
class EventWait;
class Interpreter;
class MessageBoxes;
class SpeechForm;
class SpeechRecognitionService;
class SystemTablePrintout;
class TTSSetup;
class VoiceEngine;

/// The whole program put together around a desktop, dialogs, a clock, a command
/// table, a voice and a recogniser: the three windows, the links between them, the
/// interpreter and the printout. The application builds it on the real parts;
/// end-to-end tests build it on a recording desktop.
class Program
{
public:
    struct Parts
    {
        Desktop &desktop;
        MessageBoxes &boxes;
        EventWait &wait;
        CommandStore &store;
        /// Creates the voice when the text-to-speech window loads; may return
        /// null or throw (the program then goes on without a voice).
        std::function<std::unique_ptr<VoiceEngine>()> makeVoice;
        /// Creates the recogniser listening for the table's phrases.
        std::function<std::unique_ptr<SpeechRecognitionService>(CommandVocabulary &)> makeRecognition;
    };

    explicit Program(Parts parts);
    ~Program();

    /// Start-up: title, voice window, slots freed, listening on, window shown.
    void start();

    SpeechForm &form() { return *m_form; }
    DebugForm &debugForm() { return *m_debugForm; }
    TTSSetup *tts() { return m_tts.get(); }
    Interpreter &interpreter() { return *m_interpreter; }
    CommandTableModel &model() { return *m_model; }
    SharedState &shared() { return m_shared; }
    OpenProgramSlots &slots() { return m_slots; }

private:
    Parts m_parts;
    SharedState m_shared;
    OpenProgramSlots m_slots;
    std::unique_ptr<CommandTableModel> m_model;
    CommandPhraseList m_vocabulary;
    std::unique_ptr<SpeechRecognitionService> m_recognition;

    MainWindowLinkProxy m_mainLink;
    RecognitionWindowLinkProxy m_recognitionLink;
    TtsWindowLinkProxy m_ttsLink;
    FeedbackControlsProxy m_feedback{m_recognitionLink};

    std::unique_ptr<SpeechForm> m_form;
    std::unique_ptr<DebugForm> m_debugForm;
    std::unique_ptr<TTSSetup> m_tts;
    std::unique_ptr<Interpreter> m_interpreter;
    std::unique_ptr<SystemTablePrintout> m_printout;
    std::unique_ptr<QObject> m_sessionQuit; ///< turns the session's Quit into the program's end
};

} // namespace kestrel
