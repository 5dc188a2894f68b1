#include "main_window/SpeechForm.h"

#include "ui_SpeechForm.h"

#include "command_table/CommandTableModel.h"
#include "command_table/TableCommands.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"
#include "common/Version.h"
#include "desktop/Desktop.h"
#include "interpreter/OpenProgramSlots.h"
#include "main_window/GridDelegate.h"
#include "window_common/EnterKeys.h"
#include "window_common/MenuDialogs.h"
#include "window_common/SwitchButtons.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace kestrel {

namespace {
const QString kStartCaption = QStringLiteral("Start Recognition");
const QString kStopCaption = QStringLiteral("Stop Recognition");

/// The lock button's caption is the lock state; the grid follows it.
class LockControls final : public TableControls
{
public:
    LockControls(Ui::SpeechForm &ui, SpeechForm &form, RecognitionWindowLink &recognition)
        : m_ui(ui), m_form(form), m_recognition(recognition)
    {
    }
    QString lockCaption() const override { return m_ui.LockTbl->text(); }
    void setLockCaption(const QString &caption) override { m_ui.LockTbl->setText(caption); }
    void setGridEnabled(bool enabled) override { m_ui.DBGrid1->setEnabled(enabled); }
    void stopListening() override
    {
        // Unlocked to edit: a microphone coming back must not lock the table
        // again in the middle of an edit.
        m_recognition.stayOff();
        m_form.StopListening();
        // Recognition that would not stop keeps the table locked: it is never
        // open for editing while recognition runs.
        if (m_form.isListening())
            m_form.recognitionSwitchedOn();
    }

private:
    Ui::SpeechForm &m_ui;
    SpeechForm &m_form;
    RecognitionWindowLink &m_recognition;
};
} // namespace

SpeechForm::SpeechForm(Services services, QWidget *parent)
    : QMainWindow(parent), m_ui(std::make_unique<Ui::SpeechForm>()), m_services(services),
      m_endProgram([] { std::exit(0); })
{
    m_ui->setupUi(this);
    enterPressesFocusedButtons(*this);
    keepGreyedButtonKeysOffControls(*this);
    // The client area keeps the size of the control table; the window is not
    // resized by the program and stretching it would only show empty space.
    m_ui->centralwidget->setFixedSize(674, 371);
    setFixedSize(sizeHint());

    m_tableControls = std::make_unique<LockControls>(*m_ui, *this, m_services.recognitionWindow);
    m_tableCommands = std::make_unique<TableCommands>(*m_tableControls, m_services.messageBoxes);

    wireGrid();
    wireButtons();
    wireMenus();
}

SpeechForm::~SpeechForm() = default;

void SpeechForm::wireGrid()
{
    QTableView *grid = m_ui->DBGrid1;
    grid->setModel(&m_services.tableModel);
    grid->setItemDelegate(new GridDelegate(m_services.tableModel, grid));
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(20);
    grid->setColumnWidth(0, 150);
    grid->setColumnWidth(1, 80);
    grid->setColumnWidth(2, 280);
    // Tab leaves the grid for the buttons, as everywhere else: moving from cell
    // to cell it never would, and a user without a mouse could not lock the
    // table again. Arrows move between cells; in an open cell Tab still moves on.
    grid->setTabKeyNavigation(false);
    grid->setEnabled(false); // starts locked ("Unlock Table")

    // The table is read again after a delete and for a printout, and a view
    // forgets its current cell at that: the next "Delete Record" would ask
    // about no row and delete nothing, and an arrow key would start over at
    // the top. The place is kept, on the last row when it was past it.
    //
    // The keyboard focus is kept too: a cell editor open at the reset (the
    // next cell, after a Tab that wrote a refused edit) goes without handing
    // the focus back, which would then land on a button, where the next Enter
    // switches listening.
    connect(&m_services.tableModel, &QAbstractItemModel::modelAboutToBeReset, this, [this, grid] {
        const QModelIndex current = grid->currentIndex();
        m_gridPlace =
            current.isValid() ? std::optional(GridPlace{current.row(), current.column()}) : std::nullopt;
        const QWidget *focus = QApplication::focusWidget();
        m_gridHadFocus = focus && (focus == grid || grid->isAncestorOf(focus));
    });
    connect(&m_services.tableModel, &QAbstractItemModel::modelReset, this, [this, grid] {
        if (std::exchange(m_gridHadFocus, false))
            grid->setFocus();
        const int stored = m_services.tableModel.storedRowCount();
        if (!m_gridPlace || stored == 0)
            return;
        grid->setCurrentIndex(
            m_services.tableModel.index(std::min(m_gridPlace->row, stored - 1), m_gridPlace->column));
        m_gridPlace.reset();
    });
}

void SpeechForm::wireButtons()
{
    connect(m_ui->BtnStart, &QPushButton::clicked, this, [this] { StartListening(); });
    connect(m_ui->BtnStop, &QPushButton::clicked, this, [this] { StopListening(); });
    connect(m_ui->BtnExit, &QPushButton::clicked, this, [this] { endProgram(); });
    connect(m_ui->LockTbl, &QPushButton::clicked, this,
            [this] { m_tableCommands->lockClicked(m_services.tableModel); });
    connect(m_ui->Command1, &QPushButton::clicked, this, [this] {
        m_tableCommands->deleteRecord(m_services.tableModel, m_ui->DBGrid1->currentIndex().row());
    });
    connect(m_ui->Command2, &QPushButton::clicked, this, [this] { clearStartups(); });
    connect(m_ui->BtnPrnt, &QPushButton::clicked, this, [this] {
        if (m_printTable)
            m_printTable();
    });
}

void SpeechForm::wireMenus()
{
    connect(m_ui->exi, &QAction::triggered, this, [this] { endProgram(); });
    connect(m_ui->TXTS, &QAction::triggered, this, [this] { m_services.ttsWindow.showWindow(); });
    connect(m_ui->setup, &QAction::triggered, this, [this] { m_services.recognitionWindow.showWindow(); });
    connect(m_ui->SPH, &QAction::triggered, this, [this] { openHelp(QStringLiteral("SPEECH.html")); });
    connect(m_ui->Help, &QAction::triggered, this, [this] { openHelp(QStringLiteral("SPEECHREC.html")); });
    openFromMenu(*m_ui->ABT, *this, [this] { showAbout(); });
}

void SpeechForm::startUp(const std::function<void()> &loadTextToSpeech)
{
    setWindowTitle(programTitle());
    try {
        loadTextToSpeech();
    } catch (const std::exception &) {
        // Start-up goes on without a step that failed; the windows report their own errors.
    }
    m_services.slots.clearStartups();
    try {
        StartListening();
    } catch (const std::exception &) {
        // No recognition window, so nothing listens: Start stays available.
        recognitionSwitchedOff();
    }
    show();
}

void SpeechForm::StartListening()
{
    m_resume = Resume::None;
    switchOn(Switcher::User);
}

void SpeechForm::StopListening()
{
    m_resume = Resume::None;
    switchOff(Switcher::User);
}

void SpeechForm::stopListening()
{
    const bool wasOn = m_services.recognitionWindow.recognitionCaption() == kStopCaption;
    switchOff(Switcher::Program);
    // A pause inside another pause (a launch queued during a launch wait) owes
    // nothing of its own, and its resume ends the outer pause early. Pauses are
    // not counted: the voice pauses at every stream start and resumes once, so
    // a count would leave listening off for good.
    if (wasOn && m_services.recognitionWindow.recognitionCaption() == kStartCaption)
        m_resume = Resume::Owed;
}

// Resuming what the user switched off or unlocked during the pause would lock
// the table under the mouse of someone editing it and hear them again.
void SpeechForm::startListening()
{
    // The program's own voice may still be speaking when a launch or a
    // printout resumes (feedback read from the clipboard, a nested run's
    // answer); switched on now, the recogniser would hear it. The end of the
    // speech resumes instead.
    if (m_resume == Resume::None)
        return;
    // A launch wait or a print dialog lets events run, and a phrase heard now
    // would run inside it; the hold's release resumes.
    if (m_holds > 0)
        return;
    if (m_services.ttsWindow.isSpeaking()) {
        m_resume = Resume::WhenSilent;
        return;
    }
    m_resume = Resume::None;
    switchOn(Switcher::Program);
}

void SpeechForm::holdListening()
{
    ++m_holds;
    stopListening();
}

void SpeechForm::releaseListening(bool resume)
{
    if (m_holds > 0)
        --m_holds;
    if (resume)
        startListening();
}

void SpeechForm::speechEnded()
{
    if (m_resume == Resume::WhenSilent)
        startListening();
}

// The buttons follow what the recognition window reports it did
// (recognitionSwitchedOn/Off), never what was asked of it: a switch that fails
// shows its box inside clickIt, and that box's event loop lets everything else
// run meanwhile (the microphone coming back, an answer spoken). Buttons set
// ahead would claim listening while nothing listens, and setting them again
// after the box would undo what happened while it was open.
void SpeechForm::switchOn(Switcher by)
{
    // Reading the caption loads the recognition window on first use.
    if (m_services.recognitionWindow.recognitionCaption() == kStartCaption)
        switchBy(by);
}

void SpeechForm::switchOff(Switcher by)
{
    if (m_services.recognitionWindow.recognitionCaption() == kStopCaption)
        switchBy(by);
}

void SpeechForm::switchBy(Switcher by)
{
    if (by == Switcher::User)
        m_services.recognitionWindow.clickIt();
    else
        m_services.recognitionWindow.pauseOrResume();
}

bool SpeechForm::isListening() const
{
    return m_ui->BtnStop->isEnabled();
}

// Every switch, wherever it was made (the setup window's own button, the
// return of a lost microphone), settles a pending resume: the state now is
// the one chosen last. A pause's own switch-off comes before its resume is
// owed, so it is not undone here.
void SpeechForm::recognitionSwitchedOn()
{
    m_resume = Resume::None;
    m_tableCommands->lockTable(); // the table is locked while recognition runs
    switchButtons(*m_ui->BtnStop, *m_ui->BtnStart);
}

void SpeechForm::recognitionSwitchedOff()
{
    m_resume = Resume::None;
    switchButtons(*m_ui->BtnStart, *m_ui->BtnStop);
}

void SpeechForm::recoIt()
{
    if (m_recoIt)
        m_recoIt();
}

void SpeechForm::setStatusText(const QString &text)
{
    m_ui->LblStatus->setText(text);
}

void SpeechForm::enableStopButton()
{
    // An enabled Stop means "listening" to everyone who asks (the voice before
    // it speaks, the printout): offered while recognition is off, as after a
    // command emulated then, it would make the end of the next speech switch
    // recognition on behind the user's back.
    if (m_services.recognitionWindow.recognitionCaption() == kStopCaption)
        m_ui->BtnStop->setEnabled(true);
}

void SpeechForm::quitProgram()
{
    endProgram();
}

void SpeechForm::showCurrentRow(int row)
{
    if (row < 1)
        return;
    const QModelIndex index = m_services.tableModel.index(row - 1, 0);
    if (index.isValid())
        m_ui->DBGrid1->setCurrentIndex(index);
}

void SpeechForm::clearStartups()
{
    m_services.slots.clearStartups();
    m_services.messageBoxes.inform(programTitle(), QStringLiteral("Startups Cleared"));
}

void SpeechForm::showAbout()
{
    m_services.messageBoxes.inform(
        programTitle(), QStringLiteral("%1 - KESTREL contributors").arg(QLatin1String(kVersionText)));
}

void SpeechForm::openHelp(const QString &fileName)
{
    // The working directory first, as for every file of the program; then the
    // copy installed beside the executable.
    QString path = QDir::current().absoluteFilePath(fileName);
    if (!QFileInfo::exists(path) && !m_helpFolder.isEmpty())
        path = QDir(m_helpFolder).absoluteFilePath(fileName);
    // The viewer's own errors are its business; the program does not wait for it.
    try {
        m_services.desktop.openDocument(path, QString());
    } catch (const Failure &) {
    }
}

void SpeechForm::shutDown()
{
    // Each step runs once. The settings come first: writing the open edit may
    // show a box, which a logout that asks once (and then takes the display
    // away) never answers. An end asked for while that box is open (QUIT said
    // again, a second signal) ends the program from inside it; that nested
    // call must still do the steps after it, and not just skip to the end.
    if (!std::exchange(m_shutDownSteps.ttsUnloaded, true)) {
        try {
            m_services.ttsWindow.unload();
        } catch (const std::exception &) {
        }
    }
    if (!std::exchange(m_shutDownSteps.editWritten, true))
        commitOpenEdit();
    if (!std::exchange(m_shutDownSteps.recognitionUnloaded, true)) {
        try {
            m_services.recognitionWindow.unload();
        } catch (const std::exception &) {
        }
    }
}

void SpeechForm::endProgram()
{
    shutDown();
    hide();
    if (m_endProgram)
        m_endProgram();
}

// An edit still open in the grid is the user's latest change. The QUIT button
// takes the focus and so writes it, but the Exit menu and a spoken QUIT do not.
void SpeechForm::commitOpenEdit()
{
    QTableView *grid = m_ui->DBGrid1;
    const QModelIndex current = grid->currentIndex();
    QWidget *editor = grid->indexWidget(current);
    if (!editor)
        return;
    // The same signals the editor sends on Enter: the grid writes the cell and
    // closes the editor, so that nothing writes it a second time on the way out.
    QAbstractItemDelegate *delegate = grid->itemDelegateForIndex(current);
    Q_EMIT delegate->commitData(editor);
    Q_EMIT delegate->closeEditor(editor, QAbstractItemDelegate::NoHint);
}

void SpeechForm::closeEvent(QCloseEvent *event)
{
    // The close box ends the program like QUIT. Left to the closing of the last
    // window, the end would come only once the event loop is back at the top:
    // a command waiting in a nested loop (a launch, a pause) would spin there,
    // since every nested loop returns at once after a quit, and then go on typing.
    event->accept();
    endProgram();
}

} // namespace kestrel
