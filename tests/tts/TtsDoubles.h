#pragma once

#include "support/FakeHosts.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"
#include "support/ScriptedVoice.h"

#include "common/SharedState.h"
#include "tts/TTSSetup.h"

#include <QAction>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace kestrel::tts_test {

/// The recognition window as this window reaches it: for its feedback settings.
class FeedbackWindow final : public RecognitionWindowLink, public FeedbackSettings
{
public:
    int confirm = 0, executing = 0, notFound = 0;
    QString didYouSay = QStringLiteral("Did You Say"), executingText_ = QStringLiteral("Executing"),
            sayAgain = QStringLiteral("Please say again"), sayText = QStringLiteral("Say Text");
    QString recognitionCaption() override { return QStringLiteral("Stop Recognition"); }
    void clickIt() override {}
    void pauseOrResume() override {}
    void stayOff() override {}
    FeedbackSettings &feedback() override { return *this; }
    void showWindow() override {}
    void unload() override {}
    int confirmationState() const override { return confirm; }
    void setConfirmationState(int state) override { confirm = state; }
    int executingState() const override { return executing; }
    int notFoundState() const override { return notFound; }
    QString didYouSayText() const override { return didYouSay; }
    QString executingText() const override { return executingText_; }
    QString sayAgainText() const override { return sayAgain; }
    QString sayTextText() const override { return sayText; }
    void setExecutingState(int state) override { executing = state; }
    void setNotFoundState(int state) override { notFound = state; }
    void setDidYouSayText(const QString &text) override { didYouSay = text; }
    void setExecutingText(const QString &text) override { executingText_ = text; }
    void setSayAgainText(const QString &text) override { sayAgain = text; }
    void setSayTextText(const QString &text) override { sayText = text; }
};

inline const SpeechToken kAlice{QStringLiteral("voice/alice"), QStringLiteral("Alice (English)")};
inline const SpeechToken kBruno{QStringLiteral("voice/bruno"), QStringLiteral("Bruno (English)")};
inline const SpeechToken kSpeaker{QStringLiteral("out/speaker"), QStringLiteral("Speaker")};
inline const SpeechToken kHeadset{QStringLiteral("out/headset"), QStringLiteral("Headset")};

/// The window's neighbours, for a window built around any voice.
struct TtsHosts
{
    test::RecordingDesktop desktop; // only its clipboard is used
    test::FakeMessageBoxes boxes;
    SharedState shared;
    test::RecordingMainWindowLink mainWindow;
    FeedbackWindow recognition;

    TtsServices services(std::unique_ptr<VoiceEngine> voice)
    {
        return TtsServices{std::move(voice), desktop, boxes, shared, mainWindow, recognition, {}};
    }
};

/// A loaded window wired to doubles. Configure `voice` through `prepare` before
/// the window loads; Timer1 is stopped so only a test drives the monitor.
struct TtsRig : TtsHosts
{
    ScriptedVoice *voice = nullptr;
    std::unique_ptr<TTSSetup> window;

    explicit TtsRig(const std::function<void(ScriptedVoice &)> &prepare = {}, TtsOptions options = {})
    {
        auto scripted = std::make_unique<ScriptedVoice>();
        scripted->m_voices = {kAlice, kBruno};
        scripted->m_outputs = {kSpeaker, kHeadset};
        scripted->m_rate = 3;
        scripted->m_volume = 80;
        if (prepare)
            prepare(*scripted);
        voice = scripted.get();
        window = std::make_unique<TTSSetup>(services(std::move(scripted)), std::move(options));
        window->findChild<QTimer *>(QStringLiteral("Timer1"))->stop();
    }

    template <typename T = QWidget> T *find(const char *name) const
    {
        return window->findChild<T *>(QString::fromLatin1(name));
    }
    QString boxText() const { return find<QPlainTextEdit>("MainTxtBox")->toPlainText(); }
    void setBoxText(const QString &text) { find<QPlainTextEdit>("MainTxtBox")->setPlainText(text); }
    void click(const char *button) { QTest::mouseClick(find<QPushButton>(button), Qt::LeftButton); }
    /// SpeakBtn, StopBtn, menuFileOpenText enabled: "SPEAKING" or "IDLE" when they
    /// agree, anything else shows an inconsistent state.
    QString state() const
    {
        const bool speak = find<QPushButton>("SpeakBtn")->isEnabled();
        const bool stop = find<QPushButton>("StopBtn")->isEnabled();
        const bool open = find<QAction>("menuFileOpenText")->isEnabled();
        return speak && open && !stop ? "IDLE" : !speak && !open && stop ? "SPEAKING" : "MIXED";
    }
};

} // namespace kestrel::tts_test
