#pragma once

#include "interpreter/InterpreterHost.h"

#include <QString>

namespace kestrel {

// How the three windows reach each other. Each window implements its link and is
// handed the others' links by the application when it is created; no window
// includes another window's header.

/// The main window (SpeechForm) as the setup windows see it.
class MainWindowLink
{
public:
    virtual ~MainWindowLink() = default;
    virtual void startListening() = 0;
    virtual void stopListening() = 0;
    /// BtnStop is enabled: the program-wide sign that listening is on.
    virtual bool isListening() const = 0;
    /// A launch wait or a printout holds listening off: nothing automatic (a
    /// resume, a microphone coming back) may switch it on before the hold
    /// ends. The user's own Start still does.
    virtual bool listeningHeld() const = 0;
    /// Recognition switched on: BtnStop enabled, BtnStart disabled, table locked.
    virtual void recognitionSwitchedOn() = 0;
    /// Recognition switched off: BtnStart enabled, BtnStop disabled; lock unchanged.
    virtual void recognitionSwitchedOff() = 0;
    /// Hands the shared RecoText to the dispatcher (RecoIt) and returns when it ends.
    virtual void recoIt() = 0;
    /// The program's own voice has finished speaking: a resume that had to wait
    /// for it may switch listening on now.
    virtual void speechEnded() = 0;
};

/// The feedback controls of the recognition setup window, with the setters the
/// settings file needs.
class FeedbackSettings : public FeedbackControls
{
public:
    virtual void setExecutingState(int state) = 0;
    virtual void setNotFoundState(int state) = 0;
    virtual void setDidYouSayText(const QString &text) = 0;
    virtual void setExecutingText(const QString &text) = 0;
    virtual void setSayAgainText(const QString &text) = 0;
    virtual void setSayTextText(const QString &text) = 0;
};

/// The recognition setup window (DebugForm) as the others see it. The window loads
/// (creates its recogniser, grammars, reads the settings) the first time any of
/// these is called.
class RecognitionWindowLink
{
public:
    virtual ~RecognitionWindowLink() = default;
    /// Caption of the Recognition button: "Start Recognition" or "Stop Recognition".
    virtual QString recognitionCaption() = 0;
    /// Switches recognition on when off, off when on.
    virtual void clickIt() = 0;
    /// Switches as clickIt does, for the program's own pause or resume of
    /// listening (around its own speech, a launch wait, a printout). It is no
    /// switch of the user's, and a resume that fails is told in a notice: the
    /// user is at work elsewhere, where a box that waits would take the keys.
    virtual void pauseOrResume() = 0;
    /// The user wants recognition off, to edit the table say: it must not come
    /// back on by itself when a lost microphone returns.
    virtual void stayOff() = 0;
    virtual FeedbackSettings &feedback() = 0;
    virtual void showWindow() = 0;
    /// Program end: release the context and grammar.
    virtual void unload() = 0;
};

/// The text-to-speech window (TTSSetup) as the others see it.
class TtsWindowLink : public SpeechOutput
{
public:
    virtual void speakItX() = 0;
    /// Reads KESTREL.INI into the controls of both setup windows.
    virtual void loadDat() = 0;
    /// Writes the controls of both setup windows to KESTREL.INI.
    virtual void saveDat() = 0;
    virtual void showWindow() = 0;
    /// Program end: settings saved, then the voice released.
    virtual void unload() = 0;
};

} // namespace kestrel
