#include "tts/TTSSetup.h"

#include "ui_TTSSetup.h"

#include "common/CheckBoxState.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/Version.h"
#include "settings/SettingsFile.h"
#include "speech_platform/AudioFormats.h"
#include "tts/TextRules.h"
#include "tts/VisemeFace.h"
#include "window_common/BringForward.h"
#include "window_common/EnterKeys.h"
#include "window_common/MenuDialogs.h"
#include "window_common/SettingsCheckBox.h"
#include "window_common/SwitchButtons.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>

namespace kestrel {

namespace {

constexpr int kTimer1IntervalMs = 1000;

QImage embeddedFacePicture(const QString &resource)
{
    return QImage(QStringLiteral(":/face/%1.bmp").arg(resource));
}

} // namespace

TTSSetup::TTSSetup(TtsServices services, TtsOptions options, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::TTSSetup>()), m_voice(std::move(services.voice)),
      m_desktop(services.desktop), m_boxes(services.boxes), m_shared(services.shared),
      m_mainWindow(services.mainWindow), m_recognition(services.recognition), m_options(std::move(options))
{
    m_ui->setupUi(this);
    enterPressesFocusedButtons(*this);
    keepGreyedButtonKeysOffControls(*this);
    if (!m_options.loadImage)
        m_options.loadImage = embeddedFacePicture;
    if (!m_options.loadSettings)
        m_options.loadSettings = [](const QString &path, SettingsBinding &binding) {
            LoadDat(path, binding);
        };
    if (!m_options.saveSettings)
        m_options.saveSettings = [](const QString &path, SettingsBinding &binding) {
            SaveDat(path, binding);
        };

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(kTimer1IntervalMs);

    connectControls();
    connectVoice();
    loadWindow();
    m_timer1->start();
    // Every answer, a "Did You Say" question included, would go unheard while
    // the window that shows them is hidden. Told once the program has started:
    // a box shown now would keep listening off until someone closes it, and
    // commands still work without a voice.
    if (!m_voice) {
        QString why = services.voiceFailure.trimmed();
        if (why.isEmpty())
            why = QStringLiteral("the speech synthesiser is not available.");
        QTimer::singleShot(0, this, [this, why] {
            m_boxes.inform(
                QString(),
                QStringLiteral("No voice could be started: %1\nKESTREL's spoken answers will not be heard.")
                    .arg(why),
                MessageBoxes::Icon::Critical);
        });
    }
}

TTSSetup::~TTSSetup() = default;

void TTSSetup::connectControls()
{
    connect(m_ui->SpeakBtn, &QPushButton::clicked, this, &TTSSetup::speakItX);
    connect(m_ui->StopBtn, &QPushButton::clicked, this, &TTSSetup::StopVoice);
    connect(m_ui->BtnTest, &QPushButton::clicked, this, &TTSSetup::testClicked);
    connect(m_ui->Command2, &QPushButton::clicked, this, &TTSSetup::playClipboard);
    connect(m_ui->Command1, &QPushButton::clicked, this, &QWidget::hide);
    connect(m_ui->menuFileExit, &QAction::triggered, this, &QWidget::hide);
    openFromMenu(*m_ui->menuFileOpenText, *this, [this] { openTextFile(); });
    openFromMenu(*m_ui->menuAbout, *this, [this] { about(); });

    // `activated` is the user's choice only; the program's own selections go
    // through chooseVoice() and friends, which apply explicitly.
    connect(m_ui->VoiceCB, &QComboBox::activated, this, &TTSSetup::applyVoice);
    connect(m_ui->AudioOutputCB, &QComboBox::activated, this,
            [this](int index) { applyAudioOutput(index, OutputChoice::Device); });
    connect(m_ui->FormatCB, &QComboBox::activated, this, [this] { applyFormat(); });

    // A position set by the program (settings file) takes effect at once, like a
    // move by the user: the slider and the voice never disagree. A voice that
    // refuses keeps its value; the refusal must not escape a slider's signal.
    connect(m_ui->RateSldr, &QSlider::valueChanged, this, [this](int rate) {
        try {
            if (m_voice)
                m_voice->setRate(rate);
        } catch (const std::exception &) {
        }
    });
    connect(m_ui->VolumeSldr, &QSlider::valueChanged, this, [this](int volume) {
        try {
            if (m_voice)
                m_voice->setVolume(volume);
        } catch (const std::exception &) {
        }
    });

    for (QCheckBox *box : {m_ui->ClearIt, m_ui->ChkClipboard})
        greyedOnlyFromSettings(*box);

    connect(m_timer1, &QTimer::timeout, this, &TTSSetup::timer1Tick);
}

void TTSSetup::loadWindow()
{
    fillVoiceList();
    chooseVoice(m_ui->VoiceCB->count() > 0 ? 0 : -1);
    FillFormatList();
    if (m_voice) {
        m_ui->RateSldr->setValue(m_voice->rate());
        m_ui->VolumeSldr->setValue(m_voice->volume());
    }
    chooseFormat(AudioFormats::positionOf(AudioFormats::DefaultCode));
    fillAudioOutputList();
    chooseAudioOutput(0);
    LoadMouthImages();
    m_speakFlags = VoiceEngine::Async | VoiceEngine::PurgeBeforeSpeak | VoiceEngine::IsXml;
    showSpeaking(false);
}

void TTSSetup::fillVoiceList()
{
    SpeechTokenList voices;
    try {
        if (m_voice)
            voices = m_voice->voices();
    } catch (const std::exception &) {
        // No voice list: the list stays empty and speaking uses the voice's default.
    }
    for (const SpeechToken &voice : voices)
        m_ui->VoiceCB->addItem(voice.description);
    // An empty list would look like a list still filling; the user must be able
    // to see why nothing is ever said.
    if (!m_voice)
        m_ui->VoiceCB->setPlaceholderText(QStringLiteral("No voice available"));
}

void TTSSetup::FillFormatList()
{
    m_ui->FormatCB->clear();
    for (const AudioFormatInfo &format : AudioFormats::all())
        m_ui->FormatCB->addItem(QString::fromLatin1(format.name), format.code);
}

void TTSSetup::fillAudioOutputList()
{
    SpeechTokenList outputs;
    try {
        if (m_voice)
            outputs = m_voice->audioOutputs();
    } catch (const std::exception &) {
    }
    m_outputs = outputs;
    for (const SpeechToken &output : outputs)
        m_ui->AudioOutputCB->addItem(output.description);
    if (outputs.isEmpty()) {
        m_ui->AudioOutputCB->addItem(QString::fromLatin1(kNoAudioOutput));
        m_ui->AudioOutputCB->setEnabled(false);
    }
}

// Devices come and go while the program runs (a headset plugged in, a sound
// server that came up after the program), and a list fixed at the start would
// offer neither a device plugged in later nor the way back to it.
void TTSSetup::refreshAudioOutputs()
{
    const int shown = m_ui->AudioOutputCB->currentIndex();
    {
        const QSignalBlocker quiet(m_ui->AudioOutputCB);
        m_ui->AudioOutputCB->clear();
        m_ui->AudioOutputCB->setEnabled(true);
        fillAudioOutputList();
    }
    int position = 0;
    if (!m_chosenOutputId.isEmpty()) {
        const auto listed = std::find_if(m_outputs.cbegin(), m_outputs.cend(),
                                         [this](const SpeechToken &o) { return o.id == m_chosenOutputId; });
        if (listed != m_outputs.cend()) {
            position = static_cast<int>(listed - m_outputs.cbegin());
            m_absentOutput.reset();
        } else if (!m_absentOutput) {
            // Away: the voice keeps it for its return and speaks on the default
            // meanwhile; the settings keep it too.
            m_absentOutput = shown;
        }
    } else if (m_absentOutput && *m_absentOutput < m_outputs.size()) {
        // A saved choice missing at the start is taken up: the one device
        // plugged in since, when there is one (the desktop may have made it the
        // default, which moves the others down the list), else the device at
        // the saved position.
        int taken = *m_absentOutput;
        QList<int> arrived;
        for (int i = 0; i < m_outputs.size(); ++i) {
            const QString &id = m_outputs.at(i).id;
            if (std::none_of(m_outputsWhenAbsent.cbegin(), m_outputsWhenAbsent.cend(),
                             [&id](const SpeechToken &o) { return o.id == id; }))
                arrived << i;
        }
        if (arrived.size() == 1)
            taken = arrived.first();
        m_ui->AudioOutputCB->setCurrentIndex(taken);
        applyAudioOutput(taken, OutputChoice::Device);
        return;
    }
    // Shown, not chosen again: the voice already has what the entry stands for.
    const QSignalBlocker quiet(m_ui->AudioOutputCB);
    m_ui->AudioOutputCB->setCurrentIndex(position);
}

void TTSSetup::LoadMouthImages()
{
    const std::optional<ImageLoadFailure> failure = m_mouthImages.LoadMouthImages(m_options.loadImage);
    if (failure)
        m_boxes.inform(QStringLiteral("Load Images Error"), failure->messageText());
    showFace(kFaceAloneIndex);
}

// --- Choices --------------------------------------------------------------------

void TTSSetup::chooseVoice(int index)
{
    m_ui->VoiceCB->setCurrentIndex(index);
    applyVoice(index);
}

void TTSSetup::chooseAudioOutput(int index)
{
    m_ui->AudioOutputCB->setCurrentIndex(index);
    applyAudioOutput(index, OutputChoice::Entry);
}

void TTSSetup::chooseFormat(int index)
{
    m_ui->FormatCB->setCurrentIndex(index);
    applyFormat();
}

void TTSSetup::applyVoice(int index)
{
    m_absentVoice.reset(); // a voice chosen now replaces the one missing today
    // A fresh list each time: the token at the same position is the chosen voice.
    try {
        if (!m_voice || index < 0)
            return;
        const SpeechTokenList voices = m_voice->voices();
        if (index < voices.size())
            m_voice->setVoice(voices.at(index));
    } catch (const std::exception &) {
        // The voice keeps what it had.
    }
}

void TTSSetup::applyAudioOutput(int index, OutputChoice choice)
{
    m_absentOutput.reset();
    // The first entry chosen by the program stands for the default whichever
    // it becomes: a headset plugged in that the desktop switches to is then
    // spoken on. An entry the user chooses is its own device, as is any other
    // entry: not today's device at its position, since the voice's list
    // follows devices plugged in and a new default, the window's does not.
    const bool followDefault = index == 0 && choice == OutputChoice::Entry;
    try {
        if (!m_voice || index < 0 || index >= m_outputs.size())
            return; // the "no audio output" entry chooses nothing
        m_voice->setAudioOutput(followDefault ? SpeechToken{} : m_outputs.at(index));
    } catch (const std::exception &) {
        return;
    }
    m_chosenOutputId = followDefault ? QString() : m_outputs.at(index).id;
    applyFormat();
}

void TTSSetup::applyFormat()
{
    const QVariant code = m_ui->FormatCB->currentData();
    if (!m_voice || !code.isValid())
        return;
    try {
        m_voice->setAllowAudioOutputFormatChangesOnNextSet(false);
        m_voice->setOutputFormat(code.toInt());
    } catch (const std::exception &) {
        // The voice keeps its format.
    }
}

// --- Speaking -------------------------------------------------------------------

void TTSSetup::speakIt()
{
    speakMainText();
}

void TTSSetup::speakItX()
{
    speakMainText();
}

void TTSSetup::speakMainText()
{
    const QString text = m_ui->MainTxtBox->toPlainText();
    if (text.isEmpty())
        return;
    try {
        if (!m_voice)
            throw Failure(QStringLiteral("No voice"));
        m_lastStream = speakReplacing(text);
    } catch (const std::exception &) {
        // Swallowed, but the window must not stay "speaking": callers wait on it.
        showSpeaking(false);
        return;
    }
    SetSpeakState(true);
}

// A new stream purges the one playing, which then ends. A voice that runs the
// event loop while it stops the sound delivers that end inside this call, before
// the new stream's number is known: it must not pass for the new stream's end.
int TTSSetup::speakReplacing(const QString &text)
{
    m_replacing = true;
    const auto done = qScopeGuard([this] { m_replacing = false; });
    return m_voice->speak(text, m_speakFlags);
}

void TTSSetup::StopVoice()
{
    // The blank purges whatever is being spoken or queued; its own short stream
    // brings the window back to idle.
    try {
        if (m_voice)
            m_lastStream = speakReplacing(QStringLiteral(" "));
    } catch (const std::exception &) {
        showSpeaking(false);
    }
    if (isVisible()) {
        m_ui->Command1->setFocus();
        m_ui->MainTxtBox->setFocus();
    }
}

void TTSSetup::SetSpeakState(bool speaking)
{
    if (!speaking && m_ui->ClearIt->checkState() == Qt::Checked) {
        // The clipboard only while it holds what was spoken. A command's
        // announcement is spoken from the box, and the user's own copy must
        // still be there for the paste that follows it. The text kept since the
        // clipboard last changed: asking a busy owner would hold up the command.
        if (textBoxForm(readClipboard()) == m_ui->MainTxtBox->toPlainText())
            writeClipboard(QString());
        m_ui->MainTxtBox->clear();
    }
    showSpeaking(speaking);
}

// Without "clear after speak": for the ends that are not the end of something
// spoken (a voice that failed, the program's end), where clearing would wipe a
// clipboard the user filled elsewhere, and text no one heard.
void TTSSetup::showSpeaking(bool speaking)
{
    m_ui->menuFileOpenText->setEnabled(!speaking);
    // Each word is selected as it is spoken: a key typed now would replace
    // that word, and what is typed now was never spoken, so "clear after
    // speak" would wipe it with no undo.
    m_ui->MainTxtBox->setReadOnly(speaking);
    if (speaking)
        switchButtons(*m_ui->StopBtn, *m_ui->SpeakBtn);
    else
        switchButtons(*m_ui->SpeakBtn, *m_ui->StopBtn);
}

bool TTSSetup::isSpeaking() const
{
    return m_ui->StopBtn->isEnabled();
}

int TTSSetup::clipboardMonitorState() const
{
    return checkBoxValue(m_ui->ChkClipboard->checkState());
}

void TTSSetup::setMainText(const QString &text)
{
    m_ui->MainTxtBox->setPlainText(text);
}

// --- Window ---------------------------------------------------------------------

void TTSSetup::showWindow()
{
    bringForward(*this);
}

void TTSSetup::about()
{
    m_boxes.inform(programTitle(),
                   QStringLiteral("KESTREL Text To Speech Setup, %1: speaks typed text, text files and the "
                                  "clipboard.")
                       .arg(QString::fromLatin1(kVersionText)));
}

// Esc hides the window, as it does the recognition window; speech that has
// started goes on. An Esc that a control takes for itself (an open list
// closing) never gets here, where a shortcut would have hidden the window too.
void TTSSetup::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TTSSetup::closeEvent(QCloseEvent *event)
{
    // The close box neither closes nor hides the window: it lives until the
    // program unloads it at its end.
    if (m_unloading)
        event->accept();
    else
        event->ignore();
}

void TTSSetup::unload()
{
    if (m_unloading)
        return;
    saveDat();
    m_timer1->stop();
    if (m_voice) {
        m_voice->disconnect(this);
        m_voice.reset();
    }
    // A voice destroyed mid-sentence never reports its end: whoever waits for
    // the speaking to stop (spoken feedback) would wait for ever.
    showSpeaking(false);
    m_unloading = true;
    close();
}

} // namespace kestrel
