#pragma once

#include "common/WindowLinks.h"
#include "interpreter/InterpreterHost.h"
#include "main_window/printout/ListeningControl.h"
#include "window_common/TypedKeys.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class SpeechForm;
}

namespace kestrel {

class CommandTableModel;
class Desktop;
class MessageBoxes;
class OpenProgramSlots;
class TableCommands;
class TableControls;

/// The main window: the command table with its buttons, the listening switches,
/// the menus, start-up and shutdown. It is the interpreter's host (listening
/// switches, status label, end of program) and the setup windows' link to the
/// main window. Behaviour lives in the plain classes it wires: the table model and
/// table commands, the interpreter (reached through `recoIt`), the printout.
class SpeechForm : public QMainWindow,
                   public MainWindowLink,
                   public MainWindowControl,
                   public ListeningControl
{
    Q_OBJECT
public:
    struct Services
    {
        CommandTableModel &tableModel;
        Desktop &desktop;
        MessageBoxes &messageBoxes;
        OpenProgramSlots &slots;
        RecognitionWindowLink &recognitionWindow;
        TtsWindowLink &ttsWindow;
    };

    explicit SpeechForm(Services services, QWidget *parent = nullptr);
    ~SpeechForm() override;

    /// Runs the dispatcher on the shared RecoText (set once the interpreter exists).
    void setDispatcher(std::function<void()> recoIt) { m_recoIt = std::move(recoIt); }
    /// Prints the table (BtnPrnt); set once the printout exists.
    void setPrinter(std::function<void()> printTable) { m_printTable = std::move(printTable); }
    /// Ends the process after shutdown; tests replace it.
    void setProgramEnd(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }
    /// Where the help pages are looked for after the working directory.
    void setHelpFolder(const QString &folder) { m_helpFolder = folder; }

    /// Start-up after the single-instance check: title, text-to-speech window
    /// (loaded by `loadTextToSpeech`), open-program slots freed, listening started,
    /// window shown. A failing step does not stop the next one.
    void startUp(const std::function<void()> &loadTextToSpeech);

    /// Shutdown: a cell edit still open in the grid is written, the text-to-speech
    /// window saves the settings and releases the voice, then the recognition
    /// window is unloaded. Runs once.
    void shutDown();

    /// The user's switches (Start and Stop, start-up, unlocking the table).
    void StartListening();
    void StopListening();

    // MainWindowLink: the pause the voice makes around what it says, and the
    // resume after it. A resume switches on only what its pause switched off,
    // and not once the user stopped, started or unlocked the table meanwhile,
    // and not while the program's own voice speaks: then the end of the speech
    // (speechEnded) resumes.
    void startListening() override;
    void stopListening() override;
    void speechEnded() override;
    // MainWindowControl and ListeningControl: a launch wait or a printout holds
    // listening off until its release, whatever resume falls due meanwhile.
    void holdListening() override;
    void releaseListening(bool resume) override;
    bool listeningHeld() const override { return m_holds > 0; }
    void switchListeningOff() override { StopListening(); }
    bool isListening() const override;
    void recognitionSwitchedOn() override;
    void recognitionSwitchedOff() override;
    void recoIt() override;

    // MainWindowControl (the interpreter's host)
    void setStatusText(const QString &text) override;
    void enableStopButton() override;
    void quitProgram() override;
    void keysAboutToBeTyped() override { m_typedKeysShield.raise(); }
    void keysTyped() override { m_typedKeysShield.lower(); }

    /// Moves the grid's current row to follow the interpreter (1-based row).
    void showCurrentRow(int row);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void wireButtons();
    void wireMenus();
    void wireGrid();
    void clearStartups();
    void showAbout();
    void openHelp(const QString &fileName);
    void endProgram();
    void commitOpenEdit();
    /// Who asks for a switch: the user (Start, Stop, unlocking the table) or
    /// the program pausing and resuming around its own speech and waits.
    enum class Switcher { User, Program };
    void switchOn(Switcher by);
    void switchOff(Switcher by);
    void switchBy(Switcher by);

    std::unique_ptr<Ui::SpeechForm> m_ui;
    Services m_services;
    std::unique_ptr<TableControls> m_tableControls;
    std::unique_ptr<TableCommands> m_tableCommands;
    std::function<void()> m_recoIt;
    std::function<void()> m_printTable;
    std::function<void()> m_endProgram;
    QString m_helpFolder;
    struct
    {
        bool editWritten = false;
        bool ttsUnloaded = false;
        bool recognitionUnloaded = false;
    } m_shutDownSteps;
    /// What a pause owes: Owed once it switched recognition off and nobody
    /// switched since; WhenSilent once its resume came while the voice spoke.
    enum class Resume { None, Owed, WhenSilent } m_resume = Resume::None;
    int m_holds = 0; ///< launch waits and printouts under way, nested ones included
    TypedKeysShield m_typedKeysShield; ///< covers every one of the program's windows
    /// The grid's current cell while the table is read again.
    struct GridPlace
    {
        int row;
        int column;
    };
    std::optional<GridPlace> m_gridPlace;
    bool m_gridHadFocus = false; ///< the grid or its cell editor had the focus at a reset
};

} // namespace kestrel
