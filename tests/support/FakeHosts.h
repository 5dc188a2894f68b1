#pragma once

#include "command_table/CommandRow.h"
#include "common/MessageBoxes.h"
#include "common/WindowLinks.h"
#include "interpreter/InterpreterHost.h"

#include <QList>
#include <QStringList>

#include <deque>
#include <functional>

namespace kestrel::test {

/// The feedback switches and texts of the recognition setup window, as plain
/// fields. States: 0 clear, 1 ticked, 2 greyed.
class FakeFeedbackControls : public FeedbackControls
{
public:
    int confirmation = 0;
    int executing = 0;
    int notFound = 0;
    QString didYouSay = QStringLiteral("Did You Say");
    QString executingPhrase = QStringLiteral("Executing");
    QString sayAgain = QStringLiteral("Please say again");
    QString sayText = QStringLiteral("Say the text");
    /// Every state written through setConfirmationState, in order.
    QList<int> confirmationWrites;

    int confirmationState() const override { return confirmation; }
    void setConfirmationState(int state) override;
    int executingState() const override { return executing; }
    int notFoundState() const override { return notFound; }
    QString didYouSayText() const override { return didYouSay; }
    QString executingText() const override { return executingPhrase; }
    QString sayAgainText() const override { return sayAgain; }
    QString sayTextText() const override { return sayText; }
};

/// The voice as the interpreter sees it. Every speakIt() records the main text;
/// the voice then reports speaking for `speakingPolls` isSpeaking() calls.
class FakeSpeechOutput : public SpeechOutput
{
public:
    int clipboardMonitor = 0;
    int speakingPolls = 0;
    QString mainText;
    QStringList spoken;

    int clipboardMonitorState() const override { return clipboardMonitor; }
    void setMainText(const QString &text) override { mainText = text; }
    void speakIt() override;
    bool isSpeaking() const override;

private:
    mutable int m_remaining = 0;
};

/// The main window's switches. Calls are logged ("hold listening",
/// "release listening", "release listening, stay off", "switch listening off",
/// "status <text>", "stop button", "quit"); `listening` follows the listening calls.
class FakeMainWindowControl : public MainWindowControl
{
public:
    bool listening = true;
    bool quitRequested = false;
    QString status;
    QStringList calls;

    void holdListening() override;
    void releaseListening(bool resume) override;
    void switchListeningOff() override;
    void setStatusText(const QString &text) override;
    void enableStopButton() override { calls.append(QStringLiteral("stop button")); }
    void quitProgram() override;
    /// Not logged in `calls`: run `onKeysAboutToBeTyped` and `onKeysTyped`.
    void keysAboutToBeTyped() override
    {
        if (onKeysAboutToBeTyped)
            onKeysAboutToBeTyped();
    }
    void keysTyped() override
    {
        if (onKeysTyped)
            onKeysTyped();
    }
    std::function<void()> onKeysAboutToBeTyped;
    std::function<void()> onKeysTyped;

private:
    bool m_listeningBeforeHold = false;
};

/// The main window as the setup windows see it. Calls are logged by their names
/// ("startListening", "recoIt", ...); `listening` follows the two listening calls;
/// `onRecoIt` runs inside recoIt(), as the dispatcher would.
class RecordingMainWindowLink : public MainWindowLink
{
public:
    bool listening = false;
    bool held = false;
    QStringList calls;
    std::function<void()> onRecoIt;

    void startListening() override;
    void stopListening() override;
    bool isListening() const override { return listening; }
    bool listeningHeld() const override { return held; }
    void recognitionSwitchedOn() override { calls.append(QStringLiteral("recognitionSwitchedOn")); }
    void recognitionSwitchedOff() override { calls.append(QStringLiteral("recognitionSwitchedOff")); }
    void recoIt() override;
    void speechEnded() override { calls.append(QStringLiteral("speechEnded")); }
};

/// Records every message box; questions are answered from `answers` in order,
/// then with `defaultAnswer`.
class FakeMessageBoxes : public MessageBoxes
{
public:
    struct Shown
    {
        QString title;
        QString text;
        Icon icon = Icon::None;
        bool question = false;
        bool notice = false;
        bool operator==(const Shown &) const = default;
    };

    QList<Shown> shown;
    std::deque<Answer> answers;
    Answer defaultAnswer = Answer::Yes;
    /// Runs while a box shows, as a real box would take the focus.
    std::function<void()> whileShown;

    void inform(const QString &title, const QString &text, Icon icon = Icon::None) override;
    Answer ask(const QString &title, const QString &text) override;
    /// Listed in `shown` too; stays open until withdrawn or replaced.
    void notify(const QString &title, const QString &text, Icon icon) override;
    void withdrawNotice() override { noticeOpen = false; }
    bool noticeOpen = false;
    /// The texts of every box shown, in order.
    QStringList texts() const;
    /// "title|text" of every box shown, in order.
    QStringList titledTexts() const;
};

/// A command table held in memory; counts the refreshes.
class FakeCommandTable : public CommandSource
{
public:
    QList<CommandRow> rows;
    int refreshCount = 0;

    QList<CommandRow> refresh() override
    {
        ++refreshCount;
        return rows;
    }
};

} // namespace kestrel::test
