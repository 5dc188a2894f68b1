#pragma once

#include "common/WindowLinks.h"
#include "settings/SettingsBinding.h"
#include "speech_platform/VoiceEngine.h"
#include "tts/MouthImageList.h"

#include <QMainWindow>
#include <QProcessEnvironment>

#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QTimer;

namespace Ui {
class TTSSetup;
}

namespace kestrel {

class Desktop;
class MessageBoxes;
struct SharedState;

/// What the open dialog of "&Open Text File" is asked for.
struct OpenFileRequest
{
    QString title;
    QString directory;      ///< empty: the dialog's own default
    QString filters;        ///< Qt syntax, entries joined by ";;"
    QString selectedFilter; ///< the preselected entry
};

/// Shows the open dialog; returns the chosen existing file, or empty on cancel.
using OpenFileDialog = std::function<QString(QWidget *parent, const OpenFileRequest &request)>;

/// Reads or writes the settings file at `path` through the binding.
using SettingsFileStep = std::function<void(const QString &path, SettingsBinding &binding)>;

/// The services the window works with. The window owns the voice and releases it
/// when it unloads; the rest must outlive the window.
struct TtsServices
{
    std::unique_ptr<VoiceEngine> voice; ///< null when no voice could be created
    Desktop &desktop;                   ///< clipboard
    MessageBoxes &boxes;
    SharedState &shared;
    MainWindowLink &mainWindow;
    RecognitionWindowLink &recognition; ///< its feedback controls are settings too
    QString voiceFailure;               ///< why there is no voice, when there is none
};

/// Replaceable steps; the defaults are the real ones.
struct TtsOptions
{
    QString settingsPath = QStringLiteral("KESTREL.INI");
    SettingsFileStep loadSettings;    ///< default: LoadDat of the settings file
    SettingsFileStep saveSettings;    ///< default: SaveDat of the settings file
    OpenFileDialog openFile;          ///< default: QFileDialog
    MouthImageList::Loader loadImage; ///< default: the embedded face bitmaps
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

/// The text-to-speech window: speaks typed text, text files and the clipboard
/// through the program's one voice, lets the user choose voice, output, format,
/// rate and volume, and shows a face that talks along. Loading it (constructing)
/// sets the voice up; unload() saves the settings and releases the voice.
///
/// The speaking state lives in the controls: StopBtn enabled means speaking.
class TTSSetup : public QMainWindow, public TtsWindowLink, public SettingsBinding
{
    Q_OBJECT
public:
    static constexpr const char *kTestSentence = "This is a test of the Speech Recognition System.";
    static constexpr const char *kNoAudioOutput = "No audio ouput object available";

    TTSSetup(TtsServices services, TtsOptions options = {}, QWidget *parent = nullptr);
    ~TTSSetup() override;

    // SpeechOutput / TtsWindowLink
    int clipboardMonitorState() const override;
    void setMainText(const QString &text) override;
    void speakIt() override;
    bool isSpeaking() const override;
    void speakItX() override;
    void loadDat() override;
    void saveDat() override;
    void showWindow() override;
    void unload() override;
    /// Saves the settings as unload() does, unless unload() already has, and
    /// without a message box: the program is ending at once, its display (the
    /// X server) perhaps gone.
    void saveAtAbruptEnd();

    // SettingsBinding: the seven keys of this window and the seven feedback keys
    // of the recognition window.
    bool assignNumber(SettingKey key, qint32 value) override;
    bool assignText(SettingKey key, const QString &value) override;
    qint32 number(SettingKey key) const override;
    QString text(SettingKey key) const override;

    /// The flags of every speak request: asynchronous + purge + XML.
    int speakFlags() const { return m_speakFlags; }

    void StopVoice();
    void SetSpeakState(bool speaking);
    void HighlightSpan(int start, int length);
    QString GetDirectory() const;

    // Handlers of the voice's events.
    void Voice_StartStream();
    /// The end of `stream`. Only the end of the last stream asked for ends the
    /// speaking: the streams before it were replaced and end first.
    void Voice_EndStream(int stream);
    void Voice_Word(int position, int length);
    void Voice_Viseme(int visemeId);
    void Voice_VoiceChange(const SpeechToken &token);

    /// Timer1's tick: the clipboard monitor.
    void timer1Tick();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void connectControls();
    void connectVoice();
    void loadWindow();
    void fillVoiceList();
    void FillFormatList();
    void fillAudioOutputList();
    void refreshAudioOutputs();
    void LoadMouthImages();

    void speakMainText();
    int speakReplacing(const QString &text);
    void showSpeaking(bool speaking);
    void showFace(int imageIndex);

    void chooseVoice(int index);
    /// What a choice of an Audio Output entry means: the first entry chosen by
    /// the program (at start-up, from the settings file) stands for the
    /// default device, whichever it becomes; chosen by the user, or any other
    /// entry, it is the device listed there.
    enum class OutputChoice { Entry, Device };
    void chooseAudioOutput(int index);
    void chooseFormat(int index);
    void applyVoice(int index);
    void applyAudioOutput(int index, OutputChoice choice);
    void applyFormat();
    bool assignListIndex(QComboBox *list, qint32 value, void (TTSSetup::*choose)(int));
    bool runSettingsStep(const SettingsFileStep &step);
    bool maySaveSettings() const;

    void testClicked();
    void playClipboard();
    void openTextFile();
    void about();

    enum class ClipboardRead { MayReuse, AskOwner };
    QString readClipboard(ClipboardRead read = ClipboardRead::MayReuse);
    void writeClipboard(const QString &text);

    std::unique_ptr<Ui::TTSSetup> m_ui;
    std::unique_ptr<VoiceEngine> m_voice;
    Desktop &m_desktop;
    MessageBoxes &m_boxes;
    SharedState &m_shared;
    MainWindowLink &m_mainWindow;
    RecognitionWindowLink &m_recognition;
    TtsOptions m_options;
    QTimer *m_timer1 = nullptr;
    MouthImageList m_mouthImages;
    SpeechTokenList m_outputs; ///< the devices AudioOutputCB lists, in its order
    /// The device chosen last; empty when the default is (the first entry) or
    /// none was listed.
    QString m_chosenOutputId;
    int m_speakFlags = 0;
    /// The number of the last stream the voice accepted; 0 before the first.
    int m_lastStream = 0;
    bool m_replacing = false; ///< inside speakReplacing()
    /// Listening was paused by a stream start and not yet given back.
    bool m_listeningPaused = false;
    bool m_unloading = false;
    /// The settings file was read (or there was none to read). Until then the
    /// controls hold defaults, and saving them would replace the user's file.
    bool m_settingsRead = false;
    /// A voice or output position the file named that this run's list lacks (a
    /// headset unplugged today): saved as it was until the user chooses another.
    std::optional<qint32> m_absentVoice;
    std::optional<qint32> m_absentOutput;
    /// The outputs listed when m_absentOutput was found missing: a device
    /// plugged in since is the one it named, wherever a new default has moved
    /// it in the list.
    SpeechTokenList m_outputsWhenAbsent;
};

} // namespace kestrel
