#pragma once

#include "common/WindowLinks.h"

#include <QStringList>

namespace kestrel::test {

/// Feedback controls with plain values.
class PlainFeedback final : public FeedbackSettings
{
public:
    int confirmation = 0, executing = 0, notFound = 0;
    QString didYouSay = QStringLiteral("Did You Say"), executingPhrase = QStringLiteral("Executing"),
            sayAgain = QStringLiteral("Please say again"), sayText = QStringLiteral("Say Text");
    int confirmationState() const override { return confirmation; }
    void setConfirmationState(int state) override { confirmation = state; }
    int executingState() const override { return executing; }
    int notFoundState() const override { return notFound; }
    QString didYouSayText() const override { return didYouSay; }
    QString executingText() const override { return executingPhrase; }
    QString sayAgainText() const override { return sayAgain; }
    QString sayTextText() const override { return sayText; }
    void setExecutingState(int state) override { executing = state; }
    void setNotFoundState(int state) override { notFound = state; }
    void setDidYouSayText(const QString &text) override { didYouSay = text; }
    void setExecutingText(const QString &text) override { executingPhrase = text; }
    void setSayAgainText(const QString &text) override { sayAgain = text; }
    void setSayTextText(const QString &text) override { sayText = text; }
};

/// The recognition window's switch as the main window sees it: it keeps the
/// on/off state in the Recognition caption and tells the main window about every
/// switch, as the real window does. It can fail to load or to activate.
class FakeRecognitionWindow final : public RecognitionWindowLink
{
public:
    FakeRecognitionWindow(QStringList &log) : m_log(log) {}
    MainWindowLink *mainWindow = nullptr;
    bool failActivation = false;
    bool throwOnLoad = false;
    QString caption = QStringLiteral("Start Recognition");
    PlainFeedback plainFeedback;

    QString recognitionCaption() override
    {
        load();
        return caption;
    }
    void clickIt() override
    {
        load();
        m_log.append(QStringLiteral("clickIt"));
        if (failActivation)
            return; // the real window shows its activation message and changes nothing
        if (caption == QLatin1String("Stop Recognition")) {
            caption = QStringLiteral("Start Recognition");
            mainWindow->recognitionSwitchedOff();
        } else {
            caption = QStringLiteral("Stop Recognition");
            mainWindow->recognitionSwitchedOn();
        }
    }
    FeedbackSettings &feedback() override { return plainFeedback; }
    void showWindow() override { m_log.append(QStringLiteral("show recognition window")); }
    void unload() override { m_log.append(QStringLiteral("unload recognition window")); }

private:
    void load()
    {
        if (m_loaded)
            return;
        m_loaded = true;
        m_log.append(QStringLiteral("load recognition window"));
        if (throwOnLoad)
            throw std::runtime_error("no engine");
    }
    QStringList &m_log;
    bool m_loaded = false;
};

class FakeTtsWindow final : public TtsWindowLink
{
public:
    FakeTtsWindow(QStringList &log) : m_log(log) {}
    int clipboardMonitorState() const override { return 0; }
    void setMainText(const QString &text) override { m_log.append(QStringLiteral("text ") + text); }
    void speakIt() override { m_log.append(QStringLiteral("speakIt")); }
    bool isSpeaking() const override { return false; }
    void speakItX() override { m_log.append(QStringLiteral("speakItX")); }
    void loadDat() override { m_log.append(QStringLiteral("loadDat")); }
    void saveDat() override { m_log.append(QStringLiteral("saveDat")); }
    void showWindow() override { m_log.append(QStringLiteral("show tts window")); }
    void unload() override { m_log.append(QStringLiteral("unload tts window")); }

private:
    QStringList &m_log;
};

} // namespace kestrel::test
