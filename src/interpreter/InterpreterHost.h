#pragma once

#include <QString>

namespace kestrel {

// The interpreter reads the windows' switches and texts through these small
// interfaces at the moment of use and never keeps copies: the user may change a
// box between two phrases, and a nested recognition may change one mid-run.

/// The feedback controls of the recognition setup window. Check box states are
/// 0 clear, 1 ticked, 2 greyed; exactly 1 counts as on.
class FeedbackControls
{
public:
    virtual ~FeedbackControls() = default;
    virtual int confirmationState() const = 0; ///< "Vocal Confirmation"
    virtual void setConfirmationState(int state) = 0;
    virtual int executingState() const = 0; ///< "Vocal Executing Anouncement"
    virtual int notFoundState() const = 0;  ///< "Vocal Not Found"
    virtual QString didYouSayText() const = 0;
    virtual QString executingText() const = 0;
    virtual QString sayAgainText() const = 0;
    virtual QString sayTextText() const = 0;
};

/// The text-to-speech window as the interpreter sees it.
class SpeechOutput
{
public:
    virtual ~SpeechOutput() = default;
    virtual int clipboardMonitorState() const = 0; ///< "Monitor Clipboard"
    virtual void setMainText(const QString &text) = 0;
    virtual void speakIt() = 0;
    /// The stop button is enabled: the voice is speaking.
    virtual bool isSpeaking() const = 0;
};

/// The main window's listening switches, status label and end of program.
class MainWindowControl
{
public:
    virtual ~MainWindowControl() = default;
    /// As ListeningControl's: listening off for the launch wait.
    virtual void holdListening() = 0;
    virtual void releaseListening(bool resume) = 0;
    /// The user's own stop, given as a command: unlike holdListening(), the pause
    /// around a launch, no resume switches listening back on after it.
    virtual void switchListeningOff() = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void enableStopButton() = 0;
    /// Unloads the main window (settings saved) and ends the program. Returns when
    /// the end has been scheduled; the caller stops its run right after.
    virtual void quitProgram() = 0;
    /// A command is about to type keys or text into whatever window is in front,
    /// and keysTyped() follows once the window has taken them. When that window is
    /// one of the program's own, a key in between must not press the control that
    /// has the focus there (Stop Recognition, Exit: the user could not switch
    /// listening on again by voice) nor fire a shortcut of the window.
    virtual void keysAboutToBeTyped() = 0;
    virtual void keysTyped() = 0;
};

/// Brackets one typing with keysAboutToBeTyped() and keysTyped(), whatever way
/// the typing ends.
class TypingScope
{
public:
    explicit TypingScope(MainWindowControl &host) : m_host(host) { m_host.keysAboutToBeTyped(); }
    ~TypingScope() { m_host.keysTyped(); }
    TypingScope(const TypingScope &) = delete;
    TypingScope &operator=(const TypingScope &) = delete;

private:
    MainWindowControl &m_host;
};

} // namespace kestrel
