#pragma once

#include "speech_platform/Recognition.h"

#include <QString>

#include <functional>
#include <memory>

namespace kestrel {

/// The recognition context and its one grammar, as the setup window drives
/// them: engine creation, the dictation and command grammars, the on/off state
/// and emulated recognition. The window keeps the controls; this keeps the
/// objects and the two flags.
///
/// Failures throw kestrel::Failure. A failed creation leaves no context at
/// all (never a half-built one), and every later operation that needs the
/// context or grammar then throws instead of touching a dead object.
class RecognitionSetup
{
public:
    /// Looked up in the working directory.
    static QString commandGrammarFile() { return QStringLiteral("sol.xml"); }
    static constexpr int GrammarId = 1;

    explicit RecognitionSetup(SpeechRecognitionService &service);
    ~RecognitionSetup();
    RecognitionSetup(const RecognitionSetup &) = delete;
    RecognitionSetup &operator=(const RecognitionSetup &) = delete;

    RecoContext *context() const { return m_context.get(); }
    bool hasGrammar() const { return m_grammar != nullptr; }

    bool RecoActive() const { return m_recoActive; }
    /// Listening is on or off; switched on, the desktop's default input of
    /// this moment is noted (see startOnArrivedInput).
    void setRecoActive(bool active);
    bool GrammarLoaded() const { return m_grammarLoaded; }

    /// Drops the context (its events stop) and the grammar that lived in it.
    void releaseContext();
    /// Releases the old context first, then creates one on the shared recogniser.
    void createSharedContext();
    /// Releases the old context first, then creates an in-process recogniser on
    /// the first audio input (none while none is listed) and the engine at
    /// `engineIndex` of its list.
    void createInprocContext(qsizetype engineIndex);
    /// Inputs have appeared after the one listening used went away: runs
    /// `start` (which switches listening on and throws kestrel::Failure when it
    /// cannot) until it succeeds. The in-process recogniser, which was given its
    /// input when it was made, tries its own input first if it is listed again,
    /// then each arrived one in turn, then the desktop's default input if it was
    /// already the default when listening last came on (it may have moved to
    /// another microphone since the recogniser was given its own), and keeps
    /// the first that starts; an input
    /// that is listed but does not open must not keep out one that does. The
    /// shared one follows the default input by itself and tries once. False when
    /// nothing started.
    bool startOnArrivedInput(const SpeechTokenList &arrived, const std::function<void()> &start);
    /// Nothing new is listed: runs `start` on the recogniser's own input, the
    /// in-process one's when it is still listed, then on the desktop's default
    /// input as above; the shared one's is the default, tried once.
    /// False when nothing started.
    bool retryOwnInput(const std::function<void()> &start);
    /// Installed engines as the current context's recogniser lists them.
    SpeechTokenList engines() const;

    /// Creates the grammar and loads dictation into it, switched off.
    void LoadDictation();
    /// Loads the command grammar file with its rules inactive; two attempts,
    /// silent on failure. GrammarLoaded() tells the outcome.
    void LoadCommandGrammar();
    void setDictationState(bool active);

    /// Feeds `text` to the recogniser as if spoken. Does nothing without a
    /// loaded command grammar. While recognition is off, dictation is switched
    /// on only for the request and off again right after, also when the
    /// request fails.
    void Emulate(const QString &text);

private:
    RecoContext &requireContext() const;

    SpeechRecognitionService &m_service;
    // Declared before the context so that the context, which may refer to the
    // recogniser it came from, is destroyed first.
    std::unique_ptr<Recognizer> m_inprocRecognizer;
    SpeechToken m_inprocInput;   ///< the input listening last used (or was made with); none while none was listed
    SpeechToken m_assignedInput; ///< the input m_inprocRecognizer was last given
    /// The desktop's default input when listening last came on: the one the
    /// user chose, not one the sound server elected as a microphone went.
    SpeechToken m_defaultWhileListening;
    std::unique_ptr<RecoContext> m_context;
    RecoGrammar *m_grammar = nullptr; ///< owned by m_context
    bool m_recoActive = false;
    bool m_grammarLoaded = false;
};

} // namespace kestrel
