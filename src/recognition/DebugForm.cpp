#include "recognition/DebugForm.h"

#include "ui_DebugForm.h"

#include "common/CheckBoxState.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/Version.h"
#include "desktop/Desktop.h"
#include "recognition/EventInterests.h"
#include "window_common/BringForward.h"
#include "window_common/EnterKeys.h"
#include "window_common/MenuDialogs.h"
#include "window_common/SettingsCheckBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QSignalBlocker>
#include <QTimer>

namespace kestrel {

namespace {

QString loadFailureText()
{
    return QStringLiteral(
        "Error loading PocketSphinx objects! Please make sure PocketSphinx is correctly installed.");
}

QString activationFailureText()
{
    return QStringLiteral("Failed to activate the grammar. It is possible that your audio device is used by "
                          "other application.");
}

int boxState(const QCheckBox *box)
{
    return checkBoxValue(box->checkState());
}

void setBoxState(QCheckBox *box, int state)
{
    if (state >= 0 && state <= 2)
        box->setCheckState(checkStateOf(state));
}

} // namespace

DebugForm::DebugForm(SpeechRecognitionService &service, MainWindowLink &mainWindow, TtsWindowLink &tts,
                     MessageBoxes &messageBoxes, Desktop &desktop, SharedState &shared, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::DebugForm>()), m_service(service), m_main(mainWindow),
      m_tts(tts), m_messageBoxes(messageBoxes), m_desktop(desktop), m_shared(shared), m_setup(service),
      m_eventLog(*this), m_treeBuilder(service.phoneConverter())
{
    m_ui->setupUi(this);
    enterPressesFocusedButtons(*this);
    keepGreyedButtonKeysOffControls(*this);
    m_treeNodes = std::make_unique<TreeWidgetNodes>(*m_ui->TreeView1);
    m_ui->EventTextField->setMaximumBlockCount(EventListLineLimit);
    // Read-only text is selectable by mouse only, unless told otherwise: a
    // line could not be copied, and the focus there showed no caret.
    m_ui->EventTextField->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_inputWatchTimer = new QTimer(this);
    m_inputWatchTimer->setObjectName(QStringLiteral("InputWatchTimer"));
    m_inputWatchTimer->setInterval(InputWatchIntervalMs);
    connect(m_inputWatchTimer, &QTimer::timeout, this, [this] { resumeIfInputReturned(); });
    m_restartProofTimer = new QTimer(this);
    m_restartProofTimer->setObjectName(QStringLiteral("RestartProofTimer"));
    m_restartProofTimer->setSingleShot(true);
    m_restartProofTimer->setInterval(RestartProofMs);
    connect(m_restartProofTimer, &QTimer::timeout, this, [this] { restartProven(); });
    // Hiding or closing the setup window must never end the program.
    setAttribute(Qt::WA_QuitOnClose, false);
    wireControls();
}

DebugForm::~DebugForm()
{
    // The context goes before the controls its events write to.
    m_setup.releaseContext();
}

void DebugForm::wireControls()
{
    connect(m_ui->SharedRC, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            SharedRC_Click();
    });
    connect(m_ui->Inproc, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            Inproc_Click();
    });
    connect(m_ui->SREngines, &QComboBox::currentIndexChanged, this, [this] { SREngines_Click(); });
    connect(m_ui->Recognition, &QPushButton::clicked, this, [this] {
        userSwitchedRecognition();
        ClickIt();
    });
    connect(m_ui->ActivateMic, &QCheckBox::toggled, this, [this] { ActivateMic_Click(); });
    connect(m_ui->ExitBtn, &QPushButton::clicked, this, [this] { hideWindow(); });
    connect(m_ui->Exit, &QAction::triggered, this, [this] { hideWindow(); });
    openFromMenu(*m_ui->About, *this, [this] { About_Click(); });

    connect(m_ui->ClearEvents, &QPushButton::clicked, m_ui->EventTextField, &QPlainTextEdit::clear);
    for (const EventInterestBox &entry : eventInterestBoxes()) {
        auto *box = findChild<QCheckBox *>(QLatin1String(entry.objectName));
        Q_ASSERT(box);
        const qint32 flag = entry.flag;
        connect(box, &QCheckBox::toggled, this, [this, flag, box] { SetEventInterest(flag, box); });
    }
    connect(m_ui->ClearTree, &QPushButton::clicked, this, [this] { ClearTree_Click(); });

    for (QCheckBox *box : {m_ui->ConfirmationCB, m_ui->ExecutingCB, m_ui->NotFoundCB})
        greyedOnlyFromSettings(*box);
    connect(m_ui->Command4, &QPushButton::clicked, this, [this] { testPhrase(m_ui->DidYouSay); });
    connect(m_ui->Command3, &QPushButton::clicked, this, [this] { testPhrase(m_ui->SayAgain); });
    connect(m_ui->Command2, &QPushButton::clicked, this, [this] { testPhrase(m_ui->SayText); });
    connect(m_ui->Command1, &QPushButton::clicked, this, [this] { testPhrase(m_ui->Executing); });
    connect(m_ui->EmulateRecoTxt, &QPlainTextEdit::textChanged, this, [this] { EmulateRecoTxt_Change(); });
    connect(m_ui->Emulate, &QPushButton::clicked, this, [this] { Emulate_Click(); });
    m_ui->EmulateRecoTxt->installEventFilter(this);

    // Controls without a caption of their own get a focus key; the rest carry
    // theirs as button shortcuts (see the tool tips).
    addFocusShortcut("Alt+N", m_ui->SREngines);
    addFocusShortcut("Alt+L", m_ui->EventTextField);
    addFocusShortcut("Alt+V", m_ui->TreeView1);
    addFocusShortcut("Alt+D", m_ui->DidYouSay);
    addFocusShortcut("Alt+G", m_ui->SayAgain);
    addFocusShortcut("Alt+X", m_ui->SayText);
    addFocusShortcut("Alt+U", m_ui->Executing);
    addFocusShortcut("Alt+Y", m_ui->EmulateRecoTxt);
}

void DebugForm::addFocusShortcut(const char *keys, QWidget *target)
{
    auto *shortcut = new QShortcut(QKeySequence(QString::fromLatin1(keys)), this);
    connect(shortcut, &QShortcut::activated, target, [target] { target->setFocus(Qt::ShortcutFocusReason); });
}

// --- Loading ----------------------------------------------------------------

void DebugForm::ensureLoaded()
{
    if (m_loaded)
        return;
    // Set first: reading the settings at the end of the load touches this
    // window again, which must not start a second load.
    m_loaded = true;
    Form_Load();
}

void DebugForm::Form_Load()
{
    m_eventLog.reset();
    m_setup.setRecoActive(false);
    try {
        m_setup.createSharedContext();
        connectContext();
        {
            const QSignalBlocker blocker(m_ui->SREngines);
            m_ui->SREngines->clear();
            for (const SpeechToken &engine : m_setup.engines())
                m_ui->SREngines->addItem(engine.description);
            m_ui->SREngines->setCurrentIndex(-1);
        }
        if (m_ui->SREngines->count() == 0)
            throw Failure(QStringLiteral("No speech recognition engine is installed."));
        {
            // The selection's handler would report its own failures; during the
            // load they belong to the load, so it runs here directly.
            const QSignalBlocker blocker(m_ui->SREngines);
            m_ui->SREngines->setCurrentIndex(0);
        }
        if (m_ui->Inproc->isChecked())
            createInprocEngine();
        m_ui->SREngines->setEnabled(false);
        m_ui->ActivateMic->setEnabled(false);
        m_ui->PlayAudio->setEnabled(false);
        ShowEventInterests();
        m_setup.LoadDictation();
        m_setup.LoadCommandGrammar();
    } catch (const Failure &) {
        m_messageBoxes.inform(QString(), loadFailureText(), MessageBoxes::Icon::Critical);
        hideWindow();
        return;
    }
    try {
        m_tts.loadDat();
    } catch (const Failure &failure) {
        m_messageBoxes.inform(QString(), failure.description());
    }
}

// --- RecognitionWindowLink ------------------------------------------------------

QString DebugForm::recognitionCaption()
{
    ensureLoaded();
    return m_ui->Recognition->text();
}

FeedbackSettings &DebugForm::feedback()
{
    ensureLoaded();
    return *this;
}

void DebugForm::showWindow()
{
    ensureLoaded();
    bringForward(*this);
}

void DebugForm::unload()
{
    if (!m_loaded)
        return;
    stopInputWatch();
    m_unloading = true;
    close();
    m_setup.releaseContext();
}

// --- Engine creation ------------------------------------------------------------

void DebugForm::createSharedEngine()
{
    m_setup.createSharedContext();
    connectContext();
    ShowEventInterests();
    m_setup.LoadDictation();
    m_setup.LoadCommandGrammar();
    {
        // Its handler would do nothing now (Inproc is off); blocking it keeps
        // that true whatever order the radio buttons report their change in.
        const QSignalBlocker blocker(m_ui->SREngines);
        m_ui->SREngines->setCurrentIndex(0);
    }
    m_ui->SREngines->setEnabled(false);
}

void DebugForm::createInprocEngine()
{
    m_setup.createInprocContext(m_ui->SREngines->currentIndex());
    connectContext();
    ShowEventInterests();
    m_setup.LoadDictation();
    m_setup.LoadCommandGrammar();
    m_ui->SREngines->setEnabled(true);
}

void DebugForm::SharedRC_Click()
{
    try {
        createSharedEngine();
    } catch (const Failure &failure) {
        reportEngineFailure(failure);
    }
}

void DebugForm::Inproc_Click()
{
    try {
        createInprocEngine();
    } catch (const Failure &failure) {
        reportEngineFailure(failure);
        // Leave the way open to try another engine.
        m_ui->SREngines->setEnabled(!m_setup.RecoActive());
    }
}

void DebugForm::SREngines_Click()
{
    if (m_ui->Inproc->isChecked())
        Inproc_Click();
}

void DebugForm::reportEngineFailure(const Failure &failure)
{
    m_messageBoxes.inform(QString(),
                          QStringLiteral("The speech recogniser could not be set up: %1\n"
                                         "Choose another engine, or check that the microphone is connected "
                                         "and not in use by another application.")
                              .arg(failure.description()),
                          MessageBoxes::Icon::Critical);
}

// --- Switching recognition --------------------------------------------------------

void DebugForm::ClickIt()
{
    switchAndTell(Tell::InBox);
}

void DebugForm::switchAndTell(Tell tell)
{
    const bool switchingOn = !m_setup.RecoActive();
    try {
        switchRecognition();
    } catch (const Failure &) {
        // A start that failed for want of a microphone (none plugged in yet, or
        // it went while the voice was speaking and nothing listened) still says
        // what the user wants once one is there.
        if (switchingOn)
            watchForReturningInput();
        if (tell == Tell::InNotice)
            m_messageBoxes.notify(QString(), activationFailureText(), MessageBoxes::Icon::None);
        else
            m_messageBoxes.inform(QString(), activationFailureText());
    }
}

void DebugForm::switchRecognition()
{
    if (!m_ui->ActivateMic->isChecked()) {
        // The switch itself sets the dictation state next: a failure here is
        // told by the switch (switching on) or of no matter (switching off),
        // and one box of its own would tell the user of a failure twice, or
        // of one while the microphone was being switched off. The box stays
        // ticked, as the switch leaves it either way.
        {
            const QSignalBlocker blocker(m_ui->ActivateMic);
            m_ui->ActivateMic->setChecked(true);
        }
        try {
            m_setup.setDictationState(true);
        } catch (const Failure &) {
        }
    }
    if (m_setup.RecoActive()) {
        m_setup.setDictationState(false);
        m_setup.setRecoActive(false);
        setRecognitionCaption(QStringLiteral("Start Recognition"));
        m_main.recognitionSwitchedOff();
        m_ui->ActivateMic->setEnabled(false);
        if (m_ui->Inproc->isChecked())
            m_ui->SREngines->setEnabled(true);
        m_ui->SharedRC->setEnabled(true);
        m_ui->Inproc->setEnabled(true);
    } else {
        m_setup.setDictationState(true);
        m_setup.setRecoActive(true);
        setRecognitionCaption(QStringLiteral("Stop Recognition"));
        m_main.recognitionSwitchedOn();
        m_ui->ActivateMic->setEnabled(true);
        m_ui->SREngines->setEnabled(false);
        m_ui->SharedRC->setEnabled(false);
        m_ui->Inproc->setEnabled(false);
    }
}

void DebugForm::setRecognitionCaption(const QString &caption)
{
    // A caption sets the button's mnemonic too, and this one has none: the key
    // the tool tip promises would be gone after the first switch.
    const QKeySequence key = m_ui->Recognition->shortcut();
    m_ui->Recognition->setText(caption);
    m_ui->Recognition->setShortcut(key);
}

void DebugForm::ActivateMic_Click()
{
    const bool ticked = m_ui->ActivateMic->checkState() == Qt::Checked;
    try {
        m_setup.setDictationState(ticked);
    } catch (const Failure &) {
        // The microphone is as it was: so must the box be, or it claims a
        // microphone that hears nothing (or one that still hears).
        {
            const QSignalBlocker blocker(m_ui->ActivateMic);
            m_ui->ActivateMic->setChecked(!ticked);
        }
        m_messageBoxes.inform(QString(), activationFailureText());
    }
}

// --- Event interests ----------------------------------------------------------------

void DebugForm::ShowEventInterests()
{
    RecoContext *context = m_setup.context();
    if (!context)
        return;
    for (const EventInterestBox &entry : eventInterestBoxes()) {
        auto *box = findChild<QCheckBox *>(QLatin1String(entry.objectName));
        if (context->eventInterests() & entry.flag) {
            box->setChecked(true);
        } else {
            // A box ticked for the context this one replaces would claim events
            // the new context never sends. Only the box changes; the mask is
            // already right.
            const QSignalBlocker blocker(box);
            box->setChecked(false);
        }
    }
}

void DebugForm::SetEventInterest(qint32 flag, QCheckBox *box)
{
    RecoContext *context = m_setup.context();
    if (!context)
        return;
    const bool ticked = box->checkState() == Qt::Checked;
    try {
        context->setEventInterests(SetEventInterestMask(context->eventInterests(), flag, ticked));
    } catch (const Failure &failure) {
        // Keep the box telling the truth about the mask.
        const QSignalBlocker blocker(box);
        box->setChecked(!ticked);
        m_messageBoxes.inform(
            QString(),
            QStringLiteral("The event interests could not be changed: %1").arg(failure.description()));
    }
}

// --- Window ---------------------------------------------------------------------------

void DebugForm::hideWindow()
{
    hide();
}

// Esc hides the window, as CLOSE does. A key, not the button's shortcut: an
// Esc that a control takes for itself (an open list closing) never gets here.
void DebugForm::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hideWindow();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void DebugForm::closeEvent(QCloseEvent *event)
{
    // The user's close box would destroy the event list and tree with the
    // window in most users' eyes; they hide it with CLOSE instead. Closes
    // requested by the program itself go through.
    if (m_unloading || !event->spontaneous())
        event->accept();
    else
        event->ignore();
}

void DebugForm::About_Click()
{
    m_messageBoxes.inform(QString(),
                          QStringLiteral("KESTREL Speech Recognition Setup\n%1\n\n"
                                         "Creates the speech recogniser, lists its events and results, "
                                         "and holds the spoken feedback phrases.")
                              .arg(QString::fromLatin1(kVersionText)));
}

// --- Feedback phrases -----------------------------------------------------------------

int DebugForm::confirmationState() const
{
    ensureLoaded();
    return boxState(m_ui->ConfirmationCB);
}

void DebugForm::setConfirmationState(int state)
{
    ensureLoaded();
    setBoxState(m_ui->ConfirmationCB, state);
}

int DebugForm::executingState() const
{
    ensureLoaded();
    return boxState(m_ui->ExecutingCB);
}

int DebugForm::notFoundState() const
{
    ensureLoaded();
    return boxState(m_ui->NotFoundCB);
}

QString DebugForm::didYouSayText() const
{
    ensureLoaded();
    return m_ui->DidYouSay->text();
}

QString DebugForm::executingText() const
{
    ensureLoaded();
    return m_ui->Executing->text();
}

QString DebugForm::sayAgainText() const
{
    ensureLoaded();
    return m_ui->SayAgain->text();
}

QString DebugForm::sayTextText() const
{
    ensureLoaded();
    return m_ui->SayText->text();
}

void DebugForm::setExecutingState(int state)
{
    ensureLoaded();
    setBoxState(m_ui->ExecutingCB, state);
}

void DebugForm::setNotFoundState(int state)
{
    ensureLoaded();
    setBoxState(m_ui->NotFoundCB, state);
}

void DebugForm::setDidYouSayText(const QString &text)
{
    ensureLoaded();
    m_ui->DidYouSay->setText(text);
}

void DebugForm::setExecutingText(const QString &text)
{
    ensureLoaded();
    m_ui->Executing->setText(text);
}

void DebugForm::setSayAgainText(const QString &text)
{
    ensureLoaded();
    m_ui->SayAgain->setText(text);
}

void DebugForm::setSayTextText(const QString &text)
{
    ensureLoaded();
    m_ui->SayText->setText(text);
}

void DebugForm::testPhrase(const QLineEdit *phrase)
{
    const QString text = phrase->text();
    try {
        m_desktop.setClipboardText(text);
    } catch (const Failure &failure) {
        // The voice can still be heard without the clipboard.
        m_messageBoxes.inform(QString(), failure.description());
    }
    m_tts.setMainText(text);
    m_tts.speakItX();
}

// --- Emulation ---------------------------------------------------------------------

void DebugForm::EmulateRecoTxt_Change()
{
    m_emulateIsDefault = true;
    m_ui->Emulate->setDefault(true);
}

void DebugForm::Emulate_Click()
{
    // A press while an emulated phrase runs is that phrase's own click, left
    // where the pointer was on this button: emulating it would run the phrase
    // inside itself, again and again. A spoken "left click" there presses it.
    if (m_emulatedPhrasesRunning > 0)
        return;
    try {
        m_setup.Emulate(m_ui->EmulateRecoTxt->toPlainText());
    } catch (const Failure &failure) {
        m_messageBoxes.inform(
            QString(),
            QStringLiteral("The recognition could not be emulated: %1").arg(failure.description()));
    }
}

bool DebugForm::eventFilter(QObject *watched, QEvent *event)
{
    // A multi-line box would take Enter as a new line; once the user has
    // typed, Enter belongs to the default button, as on a dialog. An Enter
    // that arrives while a phrase runs is that phrase's own ("new line" typed
    // into the box the focus stays in): pressing Emulate with it would run the
    // phrase again, and again. A held Enter emulates once, as a held key
    // presses a button once.
    if (watched == m_ui->EmulateRecoTxt && event->type() == QEvent::KeyPress && m_emulateIsDefault &&
        m_phrasesRunning == 0) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (!key->isAutoRepeat())
                m_ui->Emulate->click();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace kestrel
