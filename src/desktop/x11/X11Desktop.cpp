#include "desktop/x11/X11Desktop.h"

#include "common/Failure.h"
#include "desktop/KeySequence.h"
#include "desktop/x11/ProgramStarts.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"
#include "desktop/x11/X11Windows.h"

#include <QClipboard>
#include <QGuiApplication>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace kestrel {

namespace {

// How long an empty clipboard read is kept before the owner is asked again.
constexpr int kClipboardAskAgainMs = 5000;

QClipboard &clipboard()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("The clipboard needs a running graphical application."));
    return *QGuiApplication::clipboard();
}

} // namespace

X11Desktop::X11Desktop(EventWait &wait, const QByteArray &displayName)
    : m_connection(std::make_unique<x11::X11Connection>(displayName))
{
    Display *display = m_connection->display();
    int event = 0;
    int error = 0;
    int major = 0;
    int minor = 0;
    if (!XTestQueryExtension(display, &event, &error, &major, &minor))
        throw Failure(QStringLiteral("The X server on %1 lacks the XTEST extension needed to send keys and "
                                     "clicks.")
                          .arg(m_connection->displayName()));
    m_windows = std::make_unique<x11::X11Windows>(*m_connection, wait);
    m_keyboard = std::make_unique<x11::X11Keyboard>(*m_connection);
}

void X11Desktop::undoLeftoverKeyRemaps()
{
    m_keyboard->restoreLeftovers();
}

void X11Desktop::releaseSpareKeys()
{
    m_keyboard->releaseSparesAtProgramEnd();
}

X11Desktop::~X11Desktop() = default;

WindowId X11Desktop::foregroundWindow()
{
    return idOf(m_windows->activeWindow());
}

bool X11Desktop::windowExists(WindowId window)
{
    try {
        return m_connection->windowExists(windowOf(window));
    } catch (const Failure &) {
        return false; // its number is another program's now
    }
}

void X11Desktop::activateWindow(WindowId window)
{
    m_windows->activate(windowOf(window));
}

void X11Desktop::moveWindow(WindowId window, int x, int y)
{
    m_windows->move(windowOf(window), x, y);
}

WindowId X11Desktop::findTopLevelWindow(const QString &title)
{
    return idOf(m_windows->findByTitle(title));
}

QPoint X11Desktop::cursorPosition()
{
    return m_connection->pointer().position;
}

void X11Desktop::setCursorPosition(QPoint position)
{
    XWarpPointer(m_connection->display(), None, m_connection->root(), 0, 0, 0, 0,
                 x11::protocolCoordinate(position.x()), x11::protocolCoordinate(position.y()));
    m_connection->sync();
}

void X11Desktop::mouseButton(Button button, bool press)
{
    const unsigned int number = button == Button::Left ? 1 : 3;
    XTestFakeButtonEvent(m_connection->display(), number, press ? True : False, CurrentTime);
    m_connection->sync();
    // Whatever comes next (keys, mostly) must find the click done.
    if (press)
        return;
    m_windows->waitUntilButtonsUp();
    // A click on one of the program's own windows is handled now, inside the
    // command that sent it, which those windows can tell from the user's own.
    // Handled after the command, a click on Emulate ran it again, without end.
    if (const x11::XWindow own = m_windows->ownWindowUnderPointer())
        m_windows->waitUntilProcessed(own);
}

void X11Desktop::play(const std::vector<KeyStroke> &strokes, bool waitAtEnd)
{
    if (strokes.empty())
        return;
    // The keys reach whichever window has the focus now; that is the client whose
    // progress the barrier measures.
    const x11::XWindow target = m_windows->keyboardWindow();
    m_keyboard->play(
        strokes, [this, target] { m_windows->waitUntilProcessed(target); }, waitAtEnd);
}

void X11Desktop::sendKeys(const QString &notation, bool waitUntilProcessed)
{
    play(parseKeySequence(notation), waitUntilProcessed);
}

void X11Desktop::typeText(const QString &text)
{
    play(literalKeyStrokes(text), true);
}

Desktop::StartResult X11Desktop::startProgram(const QString &program, const QStringList &arguments,
                                              const QString &workingDirectory)
{
    return m_starter.startProgram(program, arguments, workingDirectory);
}

Desktop::StartResult X11Desktop::openDocument(const QString &target, const QString &workingDirectory)
{
    return m_starter.open(target, workingDirectory);
}

bool X11Desktop::startFailed(qint64 processId)
{
    return m_starter.endedInFailure(processId);
}

WindowId X11Desktop::windowOfProcess(qint64 processId)
{
    return idOf(m_windows->findByPid(static_cast<long>(processId)));
}

bool X11Desktop::fileExists(const QString &pattern)
{
    return x11::fileMatches(pattern);
}

bool X11Desktop::directoryExists(const QString &path)
{
    return x11::isDirectory(path);
}

// The text of a clipboard another program owns stays with that program, and
// every read asks it again: a round trip to another process, and up to twice
// five seconds when that program is too busy to answer. The voice window looks
// once a second, so the text is kept until Qt reports a new owner (it watches
// the selection through XFixes) or this program sets it.
QString X11Desktop::clipboardText()
{
    QClipboard &board = clipboard();
    if (!m_clipboardNews) {
        m_clipboardNews = std::make_unique<QObject>();
        QObject::connect(&board, &QClipboard::changed, m_clipboardNews.get(), [this](QClipboard::Mode mode) {
            if (mode == QClipboard::Clipboard)
                m_clipboardText.reset();
        });
    }
    if (!m_clipboardText || (m_clipboardText->isEmpty() && m_clipboardAskAgain.hasExpired())) {
        m_clipboardText = board.text();
        // No text may mean an owner that did not answer in time: asked again
        // a little later, or a text copied in a busy program would never be
        // read. (An image copied has no text either; it costs a look now and then.)
        m_clipboardAskAgain.setRemainingTime(kClipboardAskAgainMs);
    }
    return *m_clipboardText;
}

QString X11Desktop::currentClipboardText()
{
    m_clipboardText.reset();
    return clipboardText();
}

void X11Desktop::setClipboardText(const QString &text)
{
    clipboard().setText(text);
    m_clipboardText.reset();
}

QRect X11Desktop::frameGeometry(WindowId window)
{
    return m_windows->frameGeometry(windowOf(window));
}

bool X11Desktop::answersPing(WindowId window)
{
    return m_windows->answersPing(windowOf(window));
}

std::uint32_t X11Desktop::programTag(unsigned long window)
{
    // The process is the program: a window keeps it for its whole life, while
    // its class may change (LibreOffice's start centre becomes its writer
    // window). Only a window without a process id is told apart by its class.
    const long pid = m_connection->windowPid(window);
    const QByteArray identity =
        pid != 0 ? "pid:" + QByteArray::number(qint64(pid)) : "class:" + m_connection->windowClass(window);
    if (identity == "class:")
        return 0; // nothing to tell one program from another by
    const auto tag = static_cast<std::uint32_t>(qHash(identity, 0));
    return tag == 0 ? 1 : tag;
}

WindowId X11Desktop::idOf(unsigned long window)
{
    if (window == 0)
        return 0;
    return WindowId{programTag(window)} << 32 | window;
}

unsigned long X11Desktop::windowOf(WindowId window)
{
    const unsigned long number = xWindow(window);
    const auto tag = static_cast<std::uint32_t>(window >> 32);
    if (tag != 0 && programTag(number) != tag)
        throw Failure(QStringLiteral("The window 0x%1 does not exist any more.").arg(number, 0, 16));
    return number;
}

std::vector<int> X11Desktop::spareKeycodes() const
{
    return m_keyboard->spares();
}

} // namespace kestrel
