#pragma once

#include "common/WindowLinks.h"

namespace kestrel {

// The three windows reference each other, so each is constructed with proxies of
// the others' links; the application points the proxies at the real windows once
// all three exist. A call through a proxy that has no target yet is a programming
// error, so it fails loudly instead of doing nothing.

class MainWindowLinkProxy final : public MainWindowLink
{
public:
    void setTarget(MainWindowLink *target) { m_target = target; }
    void startListening() override { target().startListening(); }
    void stopListening() override { target().stopListening(); }
    bool isListening() const override { return target().isListening(); }
    bool listeningHeld() const override { return target().listeningHeld(); }
    void recognitionSwitchedOn() override { target().recognitionSwitchedOn(); }
    void recognitionSwitchedOff() override { target().recognitionSwitchedOff(); }
    void recoIt() override { target().recoIt(); }
    void speechEnded() override { target().speechEnded(); }

private:
    MainWindowLink &target() const;
    MainWindowLink *m_target = nullptr;
};

class RecognitionWindowLinkProxy final : public RecognitionWindowLink
{
public:
    void setTarget(RecognitionWindowLink *target) { m_target = target; }
    QString recognitionCaption() override { return target().recognitionCaption(); }
    void clickIt() override { target().clickIt(); }
    void pauseOrResume() override { target().pauseOrResume(); }
    void stayOff() override { target().stayOff(); }
    FeedbackSettings &feedback() override { return target().feedback(); }
    void showWindow() override { target().showWindow(); }
    void unload() override { target().unload(); }

private:
    RecognitionWindowLink &target() const;
    RecognitionWindowLink *m_target = nullptr;
};

class TtsWindowLinkProxy final : public TtsWindowLink
{
public:
    void setTarget(TtsWindowLink *target) { m_target = target; }
    int clipboardMonitorState() const override { return target().clipboardMonitorState(); }
    void setMainText(const QString &text) override { target().setMainText(text); }
    void speakIt() override { target().speakIt(); }
    bool isSpeaking() const override { return target().isSpeaking(); }
    void speakItX() override { target().speakItX(); }
    void loadDat() override { target().loadDat(); }
    void saveDat() override { target().saveDat(); }
    void showWindow() override { target().showWindow(); }
    void unload() override { target().unload(); }

private:
    TtsWindowLink &target() const;
    TtsWindowLink *m_target = nullptr;
};

/// The interpreter reads the feedback controls through this at the moment of use;
/// asking the recognition window for them loads it on first use.
class FeedbackControlsProxy final : public FeedbackControls
{
public:
    explicit FeedbackControlsProxy(RecognitionWindowLink &window) : m_window(window) {}
    int confirmationState() const override { return m_window.feedback().confirmationState(); }
    void setConfirmationState(int state) override { m_window.feedback().setConfirmationState(state); }
    int executingState() const override { return m_window.feedback().executingState(); }
    int notFoundState() const override { return m_window.feedback().notFoundState(); }
    QString didYouSayText() const override { return m_window.feedback().didYouSayText(); }
    QString executingText() const override { return m_window.feedback().executingText(); }
    QString sayAgainText() const override { return m_window.feedback().sayAgainText(); }
    QString sayTextText() const override { return m_window.feedback().sayTextText(); }

private:
    RecognitionWindowLink &m_window;
};

} // namespace kestrel
