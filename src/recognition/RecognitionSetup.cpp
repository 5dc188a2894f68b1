#include "recognition/RecognitionSetup.h"

#include "common/Failure.h"

namespace kestrel {

RecognitionSetup::RecognitionSetup(SpeechRecognitionService &service) : m_service(service) {}

RecognitionSetup::~RecognitionSetup()
{
    releaseContext();
}

void RecognitionSetup::releaseContext()
{
    m_grammar = nullptr;
    // The gate of emulation must not outlive the grammar it vouches for.
    m_grammarLoaded = false;
    m_context.reset();
    m_inprocRecognizer.reset();
}

void RecognitionSetup::createSharedContext()
{
    releaseContext();
    m_context = m_service.createSharedRecoContext();
    if (!m_context)
        throw Failure(QStringLiteral("The speech recognition service did not create a recognition context."));
}

void RecognitionSetup::createInprocContext(qsizetype engineIndex)
{
    releaseContext();
    std::unique_ptr<Recognizer> recognizer = m_service.createInprocRecognizer();
    if (!recognizer)
        throw Failure(QStringLiteral("The speech recognition service did not create a recogniser."));

    // With no input listed yet (a headset not plugged in at login) the
    // recogniser is made all the same: the window loads with the user's
    // settings, Start says what is missing, and the first input that appears
    // is taken (startOnArrivedInput).
    const SpeechTokenList inputs = recognizer->audioInputs();
    if (!inputs.isEmpty())
        recognizer->setAudioInput(inputs.first());

    const SpeechTokenList engineList = recognizer->recognizers();
    if (engineIndex < 0 || engineIndex >= engineList.size())
        throw Failure(QStringLiteral("The selected speech recognition engine is not installed."));
    recognizer->setRecognizer(engineList.at(engineIndex));

    std::unique_ptr<RecoContext> context = recognizer->createRecoContext();
    if (!context)
        throw Failure(QStringLiteral("The speech recogniser did not create a recognition context."));
    m_inprocRecognizer = std::move(recognizer);
    m_inprocInput = inputs.value(0);
    m_assignedInput = m_inprocInput;
    m_context = std::move(context);
}

bool RecognitionSetup::startOnArrivedInput(const SpeechTokenList &arrived, const std::function<void()> &start)
{
    if (!m_inprocRecognizer) {
        try {
            start();
            return true;
        } catch (const Failure &) {
            return false;
        }
    }
    SpeechTokenList candidates;
    try {
        // The user's own microphone back comes before any other.
        if (!m_inprocInput.id.isEmpty() && m_inprocRecognizer->audioInputs().contains(m_inprocInput))
            candidates << m_inprocInput;
    } catch (const Failure &) {
    }
    for (const SpeechToken &input : arrived) {
        if (!candidates.contains(input))
            candidates << input;
    }
    // The recogniser keeps the input it was given; the user may have made
    // another microphone the desktop's default since (a headset listed all
    // along), and with the old one gone it is where the user speaks. A default
    // the sound server elected by itself as the old one went (a webcam, the
    // built-in microphone across the room) is not.
    try {
        const SpeechToken desktopDefault = m_inprocRecognizer->desktopDefaultInput();
        if (!desktopDefault.id.isEmpty() && desktopDefault == m_defaultWhileListening &&
            !candidates.contains(desktopDefault))
            candidates << desktopDefault;
    } catch (const Failure &) {
    }
    for (const SpeechToken &input : candidates) {
        try {
            if (input != m_assignedInput) {
                m_inprocRecognizer->setAudioInput(input);
                m_assignedInput = input;
            }
            start();
            m_inprocInput = input;
            return true;
        } catch (const Failure &) {
            // Listed but not ready, gone again, or held elsewhere: the next one.
        }
    }
    return false;
}

void RecognitionSetup::setRecoActive(bool active)
{
    m_recoActive = active;
    if (!active || !m_inprocRecognizer)
        return;
    try {
        m_defaultWhileListening = m_inprocRecognizer->desktopDefaultInput();
    } catch (const Failure &) {
        m_defaultWhileListening = {};
    }
}

bool RecognitionSetup::retryOwnInput(const std::function<void()> &start)
{
    return startOnArrivedInput({}, start);
}

SpeechTokenList RecognitionSetup::engines() const
{
    return requireContext().recognizer().recognizers();
}

void RecognitionSetup::LoadDictation()
{
    RecoContext &context = requireContext();
    m_grammar = nullptr;
    RecoGrammar &grammar = context.createGrammar(GrammarId);
    grammar.dictationLoad();
    // Only a grammar with dictation in it can be switched on later.
    m_grammar = &grammar;
    grammar.dictationSetState(false);
}

void RecognitionSetup::LoadCommandGrammar()
{
    if (!m_grammar) {
        m_grammarLoaded = false;
        return;
    }
    // The first attempt is allowed to fail quietly: a file still being written
    // or a busy engine often succeeds the second time. Only after a retry is a
    // failure to deactivate the rules taken as a failed load.
    bool retried = false;
    try {
        m_grammar->cmdLoadFromFile(commandGrammarFile(), true);
    } catch (const Failure &) {
        retried = true;
        try {
            m_grammar->cmdLoadFromFile(commandGrammarFile(), true);
        } catch (const Failure &) {
            m_grammarLoaded = false;
            return;
        }
    }
    try {
        // Recognition runs on dictation alone; the command rules stay inactive.
        m_grammar->cmdSetRuleIdState(0, false);
    } catch (const Failure &) {
        if (retried) {
            m_grammarLoaded = false;
            return;
        }
    }
    m_grammarLoaded = true;
}

void RecognitionSetup::setDictationState(bool active)
{
    if (!m_grammar)
        throw Failure(QStringLiteral("There is no recognition grammar to switch."));
    m_grammar->dictationSetState(active);
}

void RecognitionSetup::Emulate(const QString &text)
{
    if (!m_grammarLoaded)
        return;
    bool switchedOff = !m_recoActive;
    if (switchedOff) {
        // Typed text needs no microphone, and with the microphone gone typing
        // is the user's only way left to give a command: a switch that fails
        // (no input to open) does not stop the emulation.
        try {
            setDictationState(true);
        } catch (const Failure &) {
            switchedOff = false;
        }
    }
    try {
        if (!text.isEmpty())
            requireContext().recognizer().emulateRecognition(text);
    } catch (const Failure &) {
        // Leaving dictation on here would make the program listen while every
        // control says recognition is off.
        if (switchedOff) {
            try {
                setDictationState(false);
            } catch (const Failure &) {
            }
        }
        throw;
    }
    if (switchedOff)
        setDictationState(false);
}

RecoContext &RecognitionSetup::requireContext() const
{
    if (!m_context)
        throw Failure(QStringLiteral("There is no recognition context."));
    return *m_context;
}

} // namespace kestrel
