#pragma once

#include "common/WindowLinks.h"
#include "recognition/InputReturnWatch.h"
#include "recognition/RecognitionEventLog.h"
#include "recognition/RecognitionSetup.h"
#include "recognition/ResultTree.h"
#include "recognition/TreeWidgetNodes.h"

#include <QMainWindow>

#include <memory>

class QCheckBox;
class QLineEdit;
class QTimer;

namespace Ui {
class DebugForm;
}

namespace kestrel {

class Desktop;
class Failure;
class MessageBoxes;
struct SharedState;

/// The speech-recognition setup window: creates the recognition context and
/// its grammar, switches recognition on and off, lists the context's events,
/// shows each result as a tree, hands recognised phrases to the main window,
/// and holds the spoken feedback phrases and emulated recognition.
///
/// The window loads (creates the recogniser and grammars, then reads the
/// settings through TtsWindowLink::loadDat) the first time any
/// RecognitionWindowLink or FeedbackSettings member is called. The user's close
/// box is refused; CLOSE and the menu hide it; unload() lets it close.
///
/// Threading: user-interface thread only. All dependencies must outlive it.
class DebugForm : public QMainWindow,
                  public RecognitionWindowLink,
                  public FeedbackSettings,
                  private EventLogHost
{
    Q_OBJECT
public:
    /// Lines kept in the event list; older lines are dropped from the top.
    static constexpr int EventListLineLimit = 5000;
    /// Recognitions kept in the result tree; the oldest go first.
    static constexpr int ResultTreeRecognitionLimit = 200;
    /// How often the audio inputs are looked at after the microphone went away
    /// (the timer's object name is "InputWatchTimer").
    static constexpr int InputWatchIntervalMs = 1000;
    /// How long a microphone the input watch brought back must listen before a
    /// loss of it is news again (unless it heard something sooner). The timer's
    /// object name is "RestartProofTimer".
    static constexpr int RestartProofMs = 60000;

    DebugForm(SpeechRecognitionService &service, MainWindowLink &mainWindow, TtsWindowLink &tts,
              MessageBoxes &messageBoxes, Desktop &desktop, SharedState &shared, QWidget *parent = nullptr);
    ~DebugForm() override;

    // --- RecognitionWindowLink ---
    QString recognitionCaption() override;
    void clickIt() override
    {
        ensureLoaded();
        userSwitchedRecognition();
        ClickIt();
    }
    void pauseOrResume() override
    {
        ensureLoaded();
        switchAndTell(Tell::InNotice);
    }
    void stayOff() override
    {
        userSwitchedRecognition();
        stopInputWatch();
    }
    FeedbackSettings &feedback() override;
    void showWindow() override;
    void unload() override;

    // --- FeedbackSettings ---
    int confirmationState() const override;
    void setConfirmationState(int state) override;
    int executingState() const override;
    int notFoundState() const override;
    QString didYouSayText() const override;
    QString executingText() const override;
    QString sayAgainText() const override;
    QString sayTextText() const override;
    void setExecutingState(int state) override;
    void setNotFoundState(int state) override;
    void setDidYouSayText(const QString &text) override;
    void setExecutingText(const QString &text) override;
    void setSayAgainText(const QString &text) override;
    void setSayTextText(const QString &text) override;

    bool isLoaded() const { return m_loaded; }
    const RecognitionSetup &setup() const { return m_setup; }
    int eventIndent() const { return m_eventLog.eventIndent(); }
    int recoCount() const { return m_treeBuilder.recoCount(); }

    void ClickIt();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // EventLogHost
    bool eventLogVisible() const override { return isVisible(); }
    bool showStreamInfo() const override;
    void appendEventLine(const QString &line) override;

    void ensureLoaded();
    void ensureLoaded() const { const_cast<DebugForm *>(this)->ensureLoaded(); }
    void Form_Load();
    void wireControls();
    void addFocusShortcut(const char *keys, QWidget *target);

    // Engine creation; these throw, their slots report.
    void createSharedEngine();
    void createInprocEngine();
    void SharedRC_Click();
    void Inproc_Click();
    void SREngines_Click();
    void reportEngineFailure(const Failure &failure);
    void listeningLost(const QString &description);
    enum class Tell { InBox, InNotice };
    /// ClickIt, telling a failure as `tell` says.
    void switchAndTell(Tell tell);
    void switchRecognition(); // throws kestrel::Failure; ClickIt reports
    void setRecognitionCaption(const QString &caption);
    void watchForReturningInput(bool sameLoss = false);
    void userSwitchedRecognition();
    void restartProven();
    void resumeIfInputReturned();
    void stopInputWatch();
    void ActivateMic_Click();
    void ShowEventInterests();
    void SetEventInterest(qint32 flag, QCheckBox *box);
    void hideWindow();
    void About_Click();

    // Events (DebugFormEvents.cpp)
    void connectContext();
    void RC_Recognition(qint32 streamNumber, qint64 streamPosition, qint32 recognitionType,
                        const RecognitionResult &result);
    void ClearTree_Click();

    // Feedback and emulation
    void testPhrase(const QLineEdit *phrase);
    void EmulateRecoTxt_Change();
    void Emulate_Click();

    std::unique_ptr<Ui::DebugForm> m_ui;
    SpeechRecognitionService &m_service;
    MainWindowLink &m_main;
    TtsWindowLink &m_tts;
    MessageBoxes &m_messageBoxes;
    Desktop &m_desktop;
    SharedState &m_shared;

    RecognitionSetup m_setup;
    RecognitionEventLog m_eventLog;
    ResultTreeBuilder m_treeBuilder;
    std::unique_ptr<TreeWidgetNodes> m_treeNodes;
    InputReturnWatch m_inputWatch;
    QTimer *m_inputWatchTimer = nullptr;
    QTimer *m_restartProofTimer = nullptr;

    bool m_loaded = false;
    bool m_unloading = false;
    bool m_emulateIsDefault = false;
    /// The input watch switched recognition back on, and since then nothing has
    /// been heard, the user has not switched, and RestartProofMs have not
    /// passed: a loss now is the same loss, already told.
    bool m_restartUnproven = false;
    /// Recognised phrases being carried out (nested when one pauses).
    int m_phrasesRunning = 0;
    int m_emulatedPhrasesRunning = 0; ///< of those, typed ones (no audio)
};

} // namespace kestrel
