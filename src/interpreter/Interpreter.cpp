#include "interpreter/Interpreter.h"

#include "common/EventWait.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/SharedState.h"
#include "interpreter/InterpreterHost.h"
#include "interpreter/OpenProgramSlots.h"
#include "interpreter/PhraseLookup.h"
#include "interpreter/TextRules.h"

namespace kestrel {

namespace {

// Check boxes: 0 clear, 1 ticked, 2 greyed; only ticked counts as on.
bool ticked(int state)
{
    return state == 1;
}

const QString kStopToken = QStringLiteral("{STOP RECOGNITION}");
const QString kFreeSlot = QStringLiteral("NULL");

} // namespace

// What one run keeps for itself; a nested run has its own.
struct Interpreter::Run
{
    QString upper;                 ///< the normalised phrase, upper-cased once
    bool stopRequested = false;    ///< the action asked to stop listening
    bool activatingWindow = false; ///< a recorded window is being brought forward
};

Interpreter::Interpreter(CommandSource &commands, Desktop &desktop, EventWait &wait,
                         FeedbackControls &feedback, SpeechOutput &speech, MainWindowControl &mainWindow,
                         MessageBoxes &messages, SharedState &shared, OpenProgramSlots &slots,
                         QObject *parent)
    : QObject(parent), m_commands(commands), m_desktop(desktop), m_wait(wait), m_feedback(feedback),
      m_speech(speech), m_mainWindow(mainWindow), m_messages(messages), m_shared(shared), m_slots(slots),
      m_primitives(desktop), m_scanner(desktop, wait, mainWindow, m_primitives),
      m_builtIns(desktop, m_primitives, mainWindow), m_launcher(desktop, wait, mainWindow, messages, slots)
{
}

Interpreter::~Interpreter() = default;

void Interpreter::RecoIt()
{
    Run run;
    try {
        dispatch(run);
    } catch (const Failure &failure) {
        recover(failure, run);
    }
}

// The one error path: the run ends where it failed, without its finish.
void Interpreter::recover(const Failure &failure, const Run &run)
{
    if (failure.description().contains(QLatin1String("Path")))
        m_messages.inform(QString(), failure.description());
    // The recorded window has gone: forget it so that the next use of the command
    // starts the program again.
    if (run.activatingWindow)
        m_slots.setWindow(m_rowIndex, 0);
}

void Interpreter::dispatch(Run &run)
{
    m_shared.RecoText = normaliseRecoText(m_shared.RecoText);
    if (m_dictating) {
        dictationStep();
        return;
    }

    run.upper = upperCased(m_shared.RecoText);
    const bool yes = isYesWord(run.upper);
    if (!yes && !isNoWord(run.upper) && ticked(m_feedback.confirmationState()))
        SayFeedback(m_feedback.didYouSayText() + QLatin1Char(' ') + m_shared.RecoText);

    m_mainWindow.setStatusText(QStringLiteral("Finished Dictating"));
    m_mainWindow.enableStopButton();
    if (!ticked(m_feedback.confirmationState()))
        m_pendingPhrase = m_shared.RecoText;
    if (yes || !ticked(m_feedback.confirmationState())) {
        if (execute(run) == Next::EndRun)
            return;
    }
    finish(run);
}

Interpreter::Next Interpreter::execute(Run &run)
{
    m_lookupPhrase = m_pendingPhrase;
    FindIt();
    if (!m_phraseFound)
        return Next::EndRun;
    if (upperCased(m_currentRow.Type.trimmed()) == QLatin1String("TEXT")) {
        startDictation();
        return Next::EndRun;
    }
    if (ticked(m_feedback.executingState()))
        SayFeedback(m_feedback.executingText() + QLatin1Char(' ') + m_pendingPhrase);
    // A phrase handled while the announcement was spoken may have changed the
    // lookup under us.
    if (!m_phraseFound)
        return Next::Finish;

    QString action = m_currentRow.Action;
    // Case-sensitive on purpose: only the upper-case token stops listening.
    if (const qsizetype at = action.indexOf(kStopToken); at >= 0) {
        action.remove(at, kStopToken.size());
        m_mainWindow.switchListeningOff();
        run.stopRequested = true;
    }
    if (upperCased(m_currentRow.Type) == QLatin1String("OPEN")) {
        const std::optional<QString> keys =
            m_launcher.launch(action, m_rowIndex, upperCased(m_currentRow.WordPhrase), m_lookupPhrase,
                              run.stopRequested, run.activatingWindow);
        if (!keys)
            return Next::EndRun;
        action = *keys;
    }
    if (upperCased(m_pendingPhrase) == QLatin1String("CONFIRMATION")) {
        m_feedback.setConfirmationState(ticked(m_feedback.confirmationState()) ? 0 : 1);
        return Next::EndRun;
    }

    const QString word = upperCased(m_currentRow.WordPhrase);
    const bool quit = word.contains(QLatin1String("QUIT"));
    const bool stop = word.contains(QLatin1String("STOP RECOGNITION"));
    if (!word.contains(QLatin1String("SELECT")) && action.isEmpty() && !quit && !stop)
        return Next::Finish;
    if (quit) {
        m_mainWindow.quitProgram();
        return Next::EndRun;
    }
    if (stop) {
        m_mainWindow.switchListeningOff();
        return Next::EndRun;
    }

    const QString parent = m_currentRow.Parent;
    const std::optional<int> parentSlot = m_launcher.bringParentForward(parent);
    if (!parentSlot) {
        SayFeedback(QStringLiteral("You must execute ") + upperCased(parent) +
                    QStringLiteral(" before you can operate on it."));
        return Next::Finish;
    }
    if (m_builtIns.run(upperCased(m_pendingPhrase), word))
        return Next::EndRun;
    // The action may pause, and rows may be deleted meanwhile. A phrase heard
    // during a pause moves the current row, so the type is taken first.
    const bool closes = upperCased(m_currentRow.Type) == QLatin1String("CLOSE");
    const OpenProgramSlots::Held closing(m_slots, *parentSlot);
    if (m_scanner.run(action) == ActionScanner::Outcome::Quit)
        return Next::EndRun;
    if (closes && !closing.gone())
        m_launcher.close(closing.slot());
    return Next::Finish;
}

// A no-word asks again and keeps the phrase waiting; anything else becomes the
// phrase that a later yes-word executes.
void Interpreter::finish(const Run &run)
{
    if (isNoWord(run.upper))
        SayFeedback(m_feedback.sayAgainText());
    else if (!m_shared.RecoText.isEmpty())
        m_pendingPhrase = m_shared.RecoText;
}

void Interpreter::FindIt()
{
    m_lookupPhrase = upperCased(m_lookupPhrase);
    const QString key = searchKeyFor(m_lookupPhrase);
    const QList<CommandRow> rows = m_commands.refresh();

    if (rows.isEmpty() || rows.first().WordPhrase.isEmpty()) {
        m_phraseFound = false;
        moveCurrentRow(rows, rows.isEmpty() ? 0 : 1);
        m_messages.inform(QString(),
                          QStringLiteral("Please clean up the table. The first row in the table is blank."));
        return;
    }

    const LookupScan scan = scanRows(rows, key);
    m_phraseFound = scan.found;
    m_rowIndex = scan.rowIndex;
    moveCurrentRow(rows, scan.currentRowNumber);
    if (!scan.found && ticked(m_feedback.notFoundState()))
        placeFeedback(key + QStringLiteral(" not found"));
}

void Interpreter::moveCurrentRow(const QList<CommandRow> &rows, int rowNumber)
{
    m_currentRow = rowNumber >= 1 ? rows.at(rowNumber - 1) : CommandRow();
    m_currentRowNumber = rowNumber;
    Q_EMIT currentRowChanged(rowNumber);
}

void Interpreter::SayFeedback(const QString &sentence)
{
    placeFeedback(sentence);
    do {
        m_wait.processEvents();
    } while (m_speech.isSpeaking());
}

// The clipboard route lets another program (a screen reader) speak for us; the
// clipboard monitor is told to speak even a text it has spoken before.
void Interpreter::placeFeedback(const QString &sentence)
{
    if (ticked(m_speech.clipboardMonitorState())) {
        m_desktop.setClipboardText(sentence);
        m_shared.ClipboardSpeakNow = true;
    } else {
        m_speech.setMainText(sentence);
        m_speech.speakIt();
    }
}

void Interpreter::startDictation()
{
    SayFeedback(m_feedback.sayTextText());
    m_dictating = true;

    // Only a check: the text goes to whatever window is in front when it is typed.
    const QString parent = m_currentRow.Parent;
    if (parent.isEmpty())
        return;
    for (int s = OpenProgramSlots::FirstSearched; s <= m_slots.lastSearched(); ++s) {
        const QString phrase = m_slots.phrase(s);
        if (phrase.trimmed() != kFreeSlot && parentNamesRecordedPhrase(parent, phrase)) {
            m_rowIndex = 0;
            return;
        }
    }
    if (upperCased(m_pendingPhrase) != QLatin1String("CONFIRMATION"))
        SayFeedback(QStringLiteral("You must open ") + upperCased(parent.trimmed()) +
                    QStringLiteral(" before you can operate on it"));
}

void Interpreter::dictationStep()
{
    m_dictating = false;
    // The TEXT row's action prepares the target (a new line, say) in key notation.
    const QString prepare = upperCased(m_currentRow.Action);
    if (!prepare.isEmpty()) {
        const TypingScope typing(m_mainWindow);
        m_desktop.sendKeys(prepare, true);
    }

    QString &text = m_shared.RecoText;
    if (const qsizetype at = spellItAt(text); at >= 0)
        text = text.mid(at + 9, MaxTailLength);
    // Typed literally: a dictated "+" or "%" must never turn into a key combination.
    if (!text.isEmpty()) {
        const TypingScope typing(m_mainWindow);
        m_desktop.typeText(text);
    }
}

} // namespace kestrel
