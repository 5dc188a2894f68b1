#pragma once

#include "command_table/CommandRow.h"
#include "desktop/Desktop.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/BuiltInPhrases.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/ProgramLauncher.h"

#include <QObject>
#include <QString>

namespace kestrel {

class EventWait;
class FeedbackControls;
class Failure;
class MainWindowControl;
class MessageBoxes;
class OpenProgramSlots;
class SpeechOutput;
struct SharedState;

/// The command interpreter of the main window: from the text of a recognition to
/// an action on the desktop. It cleans the text, handles the "did you say"
/// confirmation and one-phrase dictation, looks the phrase up in the command table
/// and carries out the row it found (launch, parent window, action language,
/// built-in pointer and selection phrases).
///
/// It holds the main window's interpreter state, including "the grid's current
/// row": a copy of the row the last lookup left current. Every step reads the
/// row's fields from that current row when it needs them, and every switch and
/// text of the setup windows at the moment of use, because a recognition handled
/// inside one of the waits (feedback, launch, pause) runs the interpreter again
/// and may change all of it under the waiting run.
///
/// Threading: user-interface thread only. Every dependency is owned by the caller
/// and must outlive the interpreter.
class Interpreter : public QObject
{
    Q_OBJECT
public:
    Interpreter(CommandSource &commands, Desktop &desktop, EventWait &wait, FeedbackControls &feedback,
                SpeechOutput &speech, MainWindowControl &mainWindow, MessageBoxes &messages,
                SharedState &shared, OpenProgramSlots &slots, QObject *parent = nullptr);
    ~Interpreter() override;

    /// Interprets SharedState::RecoText. Failures end the run; a failure whose
    /// description mentions a "Path" is shown, the others are silent.
    void RecoIt();

    /// Looks LookupPhrase up in the freshly read table: sets PhraseFound and
    /// RowIndex, moves the current row, and answers "... not found" itself.
    void FindIt();

    /// Answers the user through the clipboard or the voice, then waits, letting
    /// events run, until the voice has finished.
    void SayFeedback(const QString &sentence);

    const QString &pendingPhrase() const { return m_pendingPhrase; }
    const QString &lookupPhrase() const { return m_lookupPhrase; }
    void setLookupPhrase(const QString &phrase) { m_lookupPhrase = phrase; }
    bool phraseFound() const { return m_phraseFound; }
    int rowIndex() const { return m_rowIndex; }
    bool dictating() const { return m_dictating; }
    WindowId launchHandle() const { return m_launcher.launchHandle(); }

    /// The row the last lookup left current, and its 1-based number (0: none).
    const CommandRow &currentRow() const { return m_currentRow; }
    int currentRowNumber() const { return m_currentRowNumber; }

Q_SIGNALS:
    /// The lookup moved the current row; the main window's grid follows it.
    void currentRowChanged(int rowNumber);

private:
    struct Run;
    enum class Next { Finish, EndRun };

    void dispatch(Run &run);
    Next execute(Run &run);
    void finish(const Run &run);
    void recover(const Failure &failure, const Run &run);
    void startDictation();
    void dictationStep();
    void placeFeedback(const QString &sentence);
    void moveCurrentRow(const QList<CommandRow> &rows, int rowNumber);

    CommandSource &m_commands;
    Desktop &m_desktop;
    EventWait &m_wait;
    FeedbackControls &m_feedback;
    SpeechOutput &m_speech;
    MainWindowControl &m_mainWindow;
    MessageBoxes &m_messages;
    SharedState &m_shared;
    OpenProgramSlots &m_slots;

    DesktopPrimitives m_primitives;
    ActionScanner m_scanner;
    BuiltInPhrases m_builtIns;
    ProgramLauncher m_launcher;

    QString m_pendingPhrase;
    QString m_lookupPhrase;
    bool m_phraseFound = false;
    int m_rowIndex = 0;
    bool m_dictating = false;
    CommandRow m_currentRow;
    int m_currentRowNumber = 0;
};

} // namespace kestrel
