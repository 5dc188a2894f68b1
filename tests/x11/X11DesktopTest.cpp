// The X11 backend against a live X server with a window manager (Xvfb + openbox):
// windows, the pointer and keys, seen by the key-log target in a process of its own.
#include "TargetProcess.h"
#include "support/PrivateXServer.h"
#include "support/QtPrinters.h"

#include "common/Failure.h"
#include "common/QtEventWait.h"
#include "desktop/x11/SingleInstance.h"
#include "desktop/x11/X11Desktop.h"
#include "desktop/x11/X11Keyboard.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <functional>
#include <mutex>
#include <thread>

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <sys/wait.h>
#include <unistd.h>

namespace kestrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

/// Bounded polling for things that happen in other processes; never a timing check.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 10000)
{
    for (QDeadlineTimer deadline(timeoutMs); !condition(); QThread::msleep(10)) {
        if (deadline.hasExpired())
            return false;
    }
    return true;
}

/// The X window a desktop's window id names.
unsigned long xid(WindowId window)
{
    return X11Desktop::xWindow(window);
}

/// A window title no other test run uses.
QString uniqueTitle(const char *what)
{
    return "kestrel " + QString::fromUtf8(what) + ' ' + QString::number(QCoreApplication::applicationPid());
}

/// An xterm whose shell writes the first line it reads to a file. xterm
/// answers no ping.
struct LineReader
{
    QTemporaryDir dir;
    QProcess xterm;
    WindowId window = 0;

    QString out() const { return dir.filePath(QStringLiteral("line.txt")); }
    /// The line, once the shell has written it and ended.
    QString line()
    {
        QFile file(out());
        if (!xterm.waitForFinished(10000) || !file.open(QIODevice::ReadOnly))
            return QStringLiteral("(no line)");
        return QString::fromUtf8(file.readAll());
    }
};

/// A live X11 backend on the test display; skips when there is none.
class X11Windows : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            GTEST_SKIP() << "needs the Xvfb + openbox display that scripts/test.sh starts";
        m_desktop = std::make_unique<X11Desktop>(m_wait);
        m_connection = std::make_unique<x11::X11Connection>();
    }

    /// Starts a target window and makes it the active one; the window manager lists
    /// the window a moment after it appears.
    std::unique_ptr<TargetProcess> startTarget(const QString &title)
    {
        auto target = std::make_unique<TargetProcess>(title);
        const auto listed = [&] {
            return xid(m_desktop->windowOfProcess(target->pid())) == target->window();
        };
        // Which step never came says whether the target, the desktop backend or
        // the window manager was late.
        if (!target->waitReady())
            ADD_FAILURE() << "the target window never reported itself ready";
        else if (!waitUntil(listed))
            ADD_FAILURE() << "the target's window was never found as its process's window";
        else if (!waitUntil([&] { return isShown(target->window()); }, 20000))
            ADD_FAILURE() << "the window manager never showed the target's window";
        else if (!showAndActivate(target->window()))
            ADD_FAILURE() << "the target's window never became the active one";
        else
            return target;
        return nullptr;
    }

    /// Frames and shows (WM_STATE Normal) come a moment after the window is listed.
    /// The window titled `title` once shown, 0 when none comes. Taken once shown:
    /// a window's process id, part of its identity, comes a moment after it.
    WindowId shownWindow(const QString &title)
    {
        if (!waitUntil([&] {
                const WindowId window = m_desktop->findTopLevelWindow(title);
                return window != 0 && isShown(xid(window));
            }))
            return 0;
        return m_desktop->findTopLevelWindow(title);
    }

    bool showAndActivate(WindowId window)
    {
        if (!waitUntil([&] { return isShown(xid(window)); }, 20000))
            return false;
        m_desktop->activateWindow(window);
        return waitUntil([&] { return xid(m_desktop->foregroundWindow()) == xid(window); });
    }

    /// Starts the reader's xterm and makes its window shown and active; false
    /// when it did not come up.
    bool startLineReader(LineReader &reader, const char *what)
    {
        const QString title = uniqueTitle(what);
        reader.xterm.start("env", {"LC_ALL=C.UTF-8", "xterm", "-T", title, "-e", "/bin/sh", "-c",
                                   "IFS= read -r line; printf '%s' \"$line\" > \"$0\"", reader.out()});
        if (!reader.dir.isValid() || !reader.xterm.waitForStarted())
            return false;
        reader.window = shownWindow(title);
        return reader.window != 0 && showAndActivate(reader.window);
    }

    /// EWMH requests a pager makes: the window manager moves and switches.
    void sendToWorkspace(WindowId window, long workspace)
    {
        clientMessage(window, "_NET_WM_DESKTOP", workspace);
    }
    void showWorkspace(long workspace)
    {
        clientMessage(m_connection->root(), "_NET_CURRENT_DESKTOP", workspace);
    }
    void clientMessage(WindowId window, const char *type, long value)
    {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = m_connection->atom(type);
        event.xclient.format = 32;
        event.xclient.data.l[0] = value;
        event.xclient.data.l[1] = 2;
        XSendEvent(m_connection->display(), m_connection->root(), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
        m_connection->sync();
    }

    bool isShown(WindowId window) // WM_STATE NormalState
    {
        return m_connection->firstItem(window, "WM_STATE", m_connection->atom("WM_STATE")) == 1u;
    }

    QtEventWait m_wait;
    std::unique_ptr<X11Desktop> m_desktop;
    std::unique_ptr<x11::X11Connection> m_connection; ///< for checks the backend has no call for
};

TEST(X11Connection, NoServerIsAFailureNamingTheDisplay)
{
    QtEventWait wait;
    EXPECT_THAT([&] { X11Desktop desktop(wait, ":4711"); },
                ThrowsMessage<Failure>(HasSubstr("cannot open display :4711")));
}

TEST_F(X11Windows, CursorGoesWhereItIsSent)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    using P = std::pair<QPoint, QPoint>;
    // The server keeps the pointer on the screen, however far off it is sent: past
    // the protocol's 16-bit range too, where it must not wrap round to the far side.
    for (const auto &[target, expected] :
         {P{QPoint(100, 200), QPoint(100, 200)},
          P{QPoint(screen.width() + 500, -40), QPoint(screen.right(), 0)},
          P{QPoint(40000, 65536 + 200), QPoint(screen.right(), screen.bottom())},
          P{QPoint(-65536 + 100, -40000), QPoint(0, 0)}}) {
        m_desktop->setCursorPosition(target);
        EXPECT_EQ(m_desktop->cursorPosition(), expected) << target.x() << "," << target.y();
    }
}

TEST_F(X11Windows, AWindowIsFoundByItsExactTitleMovedClickedAndGone)
{
    const QString title = uniqueTitle("Fenêtre ünïcode ✓");
    auto target = startTarget(title);
    ASSERT_TRUE(target);
    const WindowId window = target->window();
    EXPECT_EQ(xid(m_desktop->findTopLevelWindow(title)), window);
    for (const QString &other : {title + ' ', title.toUpper(), QStringLiteral("no window has this title")})
        EXPECT_EQ(m_desktop->findTopLevelWindow(other), 0u) << other.toStdString();

    // The frame's corner goes where it is sent; the size stays.
    const QSize size = m_desktop->frameGeometry(window).size();
    for (const QPoint corner : {QPoint(100, 150), QPoint(0, 0), QPoint(333, 222)}) {
        m_desktop->moveWindow(window, corner.x(), corner.y());
        EXPECT_EQ(m_desktop->frameGeometry(window), QRect(corner, size));
    }

    // Buttons click where the pointer is.
    const QPoint centre = m_desktop->frameGeometry(window).center();
    m_desktop->setCursorPosition(centre);
    for (auto [button, letter] : {std::pair{Desktop::Button::Left, 'L'}, {Desktop::Button::Right, 'R'}}) {
        target->forget();
        m_desktop->mouseButton(button, true);
        m_desktop->mouseButton(button, false);
        const QString at = QStringLiteral(" %1 %2 %3").arg(letter).arg(centre.x()).arg(centre.y());
        EXPECT_TRUE(target->waitForLine([&](const QString &line) { return line == "RELEASE" + at; }));
        EXPECT_TRUE(target->lines().contains("CLICK" + at)) << target->lines().join('|').toStdString();
    }

    // Gone, its process has no window any more, and using it (or one that never
    // was) is a failure.
    const qint64 pid = target->pid();
    target->quit();
    EXPECT_TRUE(waitUntil([&] { return m_desktop->windowOfProcess(pid) == 0; }));
    EXPECT_EQ(m_desktop->windowOfProcess(0), 0u);
    for (const WindowId gone : {window, WindowId{0x3ffffff}}) {
        EXPECT_FALSE(m_desktop->windowExists(gone));
        EXPECT_THAT([&] { m_desktop->activateWindow(gone); },
                    ThrowsMessage<Failure>(HasSubstr("does not exist")));
        EXPECT_THROW(m_desktop->moveWindow(gone, 10, 10), Failure);
        EXPECT_THROW(m_desktop->frameGeometry(gone), Failure);
    }
}

// With click to focus the window manager holds a click until it has dealt with
// it; keys sent meanwhile overtook the click, into the window in front, or in
// the window clicked ahead of the click that was to place the caret
// ({CURSOR x,y}{LEFT CLICK}text).
TEST_F(X11Windows, KeysAfterAClickArriveAfterItInTheWindowClicked)
{
    auto away = startTarget(uniqueTitle("clicked away from"));
    auto here = startTarget(uniqueTitle("clicked into"));
    ASSERT_TRUE(away && here);
    m_desktop->moveWindow(away->window(), 0, 0);
    m_desktop->moveWindow(here->window(), 600, 0);
    const QPoint inside = m_desktop->frameGeometry(here->window()).center();
    const struct
    {
        const char *name;
        bool clickedWindowInFront;
        Desktop::Button button;
    } cases[] = {
        {"another window in front, left", false, Desktop::Button::Left},
        {"another window in front, right", false, Desktop::Button::Right},
        {"the clicked window in front, left", true, Desktop::Button::Left},
    };
    for (const auto &c : cases) {
        for (int round = 0; round < 8; ++round) {
            SCOPED_TRACE(std::string(c.name) + ", round " + std::to_string(round));
            ASSERT_TRUE(showAndActivate(c.clickedWindowInFront ? here->window() : away->window()));
            away->clearText();
            here->clearText();
            away->forget();
            here->forget();
            m_desktop->setCursorPosition(inside);
            m_desktop->mouseButton(c.button, true);
            m_desktop->mouseButton(c.button, false);
            m_desktop->sendKeys(QStringLiteral("x"), true);
            EXPECT_EQ(away->text(), QString());
            EXPECT_EQ(here->text(), QStringLiteral("x"));
            const QStringList seen = here->lines();
            const auto first = [&](const char *prefix) {
                const auto at = std::find_if(seen.begin(), seen.end(),
                                             [&](const QString &line) { return line.startsWith(prefix); });
                return at - seen.begin();
            };
            EXPECT_LT(first("RELEASE "), first("KEY X")) << seen.join('|').toStdString();
        }
    }
}

// The window manager announces the focus a click gave a moment after giving
// it, and a busy one long after. Keys sent meanwhile go to the window that has
// the focus, and it is that window's handling of them that is waited for.
TEST_F(X11Windows, KeysAreWaitedForInTheWindowWithTheFocusBeforeItIsAnnounced)
{
    const auto windowManager = static_cast<pid_t>(qEnvironmentVariableIntValue("KESTREL_WM_PID"));
    if (windowManager <= 0)
        GTEST_SKIP() << "needs the window manager's process (KESTREL_WM_PID)";
    auto announced = startTarget(uniqueTitle("announced active"));
    auto focused = startTarget(uniqueTitle("focused"));
    ASSERT_TRUE(announced && focused);
    ASSERT_TRUE(showAndActivate(announced->window()));

    ASSERT_EQ(::kill(windowManager, SIGSTOP), 0);
    auto resume = qScopeGuard([&] { ::kill(windowManager, SIGCONT); });
    XSetInputFocus(m_connection->display(), focused->window(), RevertToParent, CurrentTime);
    m_connection->sync();
    ASSERT_EQ(xid(m_desktop->foregroundWindow()), announced->window());
    // Handles the key only after a while: nothing is seen of it unless waited for.
    ASSERT_TRUE(focused->makeBusy(300));
    m_desktop->sendKeys(QStringLiteral("x"), true);
    EXPECT_TRUE(focused->waitForLine([](const QString &line) { return line.startsWith("KEY X"); }, 0))
        << focused->lines().join('|').toStdString();

    ::kill(windowManager, SIGCONT);
    resume.dismiss();
    EXPECT_EQ(focused->text(), QStringLiteral("x"));
    EXPECT_EQ(announced->text(), QString());
}

// The server gives a freed window number to the next client, and a program of
// the same toolkit often gets the very number of a window closed by hand. A
// remembered window must then count as gone (the OPEN phrase starts its program
// anew), not be the other program's window, which would get its keys. Another
// program at the same number is played here by changing what the window says
// of its program.
TEST_F(X11Windows, AWindowNumberTakenOverByAnotherProgramIsNoLongerTheWindowRemembered)
{
    const auto setClass = [](Display *d, Window w) {
        XClassHint hint{const_cast<char *>("other"), const_cast<char *>("Other")};
        XSetClassHint(d, w, &hint);
    };
    const auto dropPid = [](Display *d, Window w) { XDeleteProperty(d, w, XInternAtom(d, "_NET_WM_PID", False)); };
    const auto keep = [](Display *, Window) {};
    const struct
    {
        const char *name;
        std::function<void(Display *, Window)> before; ///< before the window is remembered
        std::function<void(Display *, Window)> change;
        bool sameProgram;
    } cases[] = {
        {"nothing changed", keep, keep, true},
        {"a new title", keep, [](Display *d, Window w) { XStoreName(d, w, "another title"); }, true},
        // LibreOffice's start centre becomes its writer window, in the same process.
        {"the program renames its class", keep, setClass, true},
        {"another process",
         keep,
         [](Display *d, Window w) {
             const long pid = 999999;
             XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                             reinterpret_cast<const unsigned char *>(&pid), 1);
         },
         false},
        // Without a process id, the class is all there is to tell programs apart by.
        {"no process id, another class", dropPid, setClass, false},
        {"no process id, a new title", dropPid, [](Display *d, Window w) { XStoreName(d, w, "retitled"); },
         true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto target = startTarget(uniqueTitle("remembered"));
        ASSERT_TRUE(target);
        ASSERT_EQ(xid(m_desktop->windowOfProcess(target->pid())), target->window());
        c.before(m_connection->display(), target->window());
        m_connection->sync();
        const WindowId remembered = m_desktop->foregroundWindow();
        ASSERT_EQ(xid(remembered), target->window());
        c.change(m_connection->display(), target->window());
        m_connection->sync();
        EXPECT_EQ(m_desktop->windowExists(remembered), c.sameProgram);
        if (c.sameProgram) {
            EXPECT_NO_THROW(m_desktop->activateWindow(remembered));
            EXPECT_NO_THROW(m_desktop->moveWindow(remembered, 20, 30));
            EXPECT_EQ(m_desktop->frameGeometry(remembered).topLeft(), QPoint(20, 30));
            continue;
        }
        EXPECT_THAT([&] { m_desktop->activateWindow(remembered); },
                    ThrowsMessage<Failure>(HasSubstr("does not exist any more")));
        EXPECT_THROW(m_desktop->moveWindow(remembered, 20, 30), Failure);
        EXPECT_THROW(m_desktop->frameGeometry(remembered), Failure);
        // The window as it is now has an id of its own, which works.
        const WindowId now = m_desktop->foregroundWindow();
        EXPECT_EQ(xid(now), target->window());
        EXPECT_NE(now, remembered);
        EXPECT_NO_THROW(m_desktop->activateWindow(now));
    }
}

// A splash screen (GIMP's, say) comes up first with the program's process id
// and closes seconds later: taken for the program's window, every command for
// the program would then find its window gone.
TEST_F(X11Windows, AProgramsWindowIsNotItsSplashScreen)
{
    Display *d = m_connection->display();
    const long pid = QCoreApplication::applicationPid();
    const auto makeWindow = [&](const char *type) {
        const Window w = XCreateSimpleWindow(d, DefaultRootWindow(d), 10, 10, 200, 100, 0, 0, 0);
        XChangeProperty(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&pid), 1);
        if (type) {
            const Atom kind = XInternAtom(d, type, False);
            XChangeProperty(d, w, XInternAtom(d, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(&kind), 1);
        }
        XMapWindow(d, w);
        m_connection->sync();
        return w;
    };
    const auto shown = [&](Window w) {
        XWindowAttributes attributes{};
        return XGetWindowAttributes(d, w, &attributes) && attributes.map_state == IsViewable;
    };
    const Window splash = makeWindow("_NET_WM_WINDOW_TYPE_SPLASH");
    const Window toolbox = makeWindow("_NET_WM_WINDOW_TYPE_UTILITY");
    ASSERT_TRUE(waitUntil([&] { return shown(splash) && shown(toolbox); }));
    EXPECT_EQ(m_desktop->windowOfProcess(pid), 0u);
    const Window main = makeWindow("_NET_WM_WINDOW_TYPE_NORMAL");
    EXPECT_TRUE(waitUntil([&] { return xid(m_desktop->windowOfProcess(pid)) == main; }));
    for (Window w : {splash, toolbox, main})
        XDestroyWindow(d, w);
    m_connection->sync();
}

TEST_F(X11Windows, ActivationChoosesWhichWindowGetsTheKeys)
{
    const QString title = uniqueTitle("KESTREL");
    auto first = startTarget(title);
    auto second = startTarget(uniqueTitle("second"));
    ASSERT_TRUE(first && second);

    // A second instance brings the first forward by its title.
    EXPECT_TRUE(bringExistingInstanceForward(*m_desktop, title));
    EXPECT_EQ(xid(m_desktop->foregroundWindow()), first->window());
    EXPECT_FALSE(bringExistingInstanceForward(*m_desktop, uniqueTitle("nobody")));
    m_desktop->typeText("one");
    m_desktop->activateWindow(second->window());
    EXPECT_EQ(xid(m_desktop->foregroundWindow()), second->window());
    m_desktop->typeText("two");
    EXPECT_EQ(first->text(), "one");
    EXPECT_EQ(second->text(), "two");

    // When the focused window goes, the focus falls back to the root window and
    // keys follow the pointer; activation must take the focus back for real.
    second->quit();
    auto target = startTarget(uniqueTitle("after close"));
    ASSERT_TRUE(target);
    const QRect frame = m_desktop->frameGeometry(target->window());
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    m_desktop->setCursorPosition(frame.right() < screen.right() - 10 ? screen.bottomRight()
                                                                     : screen.topLeft());
    m_desktop->typeText("focused");
    EXPECT_EQ(target->text(), "focused");
}

// A program hidden to the tray keeps its window, unmapped: no window manager
// brings it forward, and keys meant for it would go to the window in front. A
// minimised window, or one on another workspace, is another matter: activation
// shows it again.
TEST_F(X11Windows, AHiddenWindowCannotBeBroughtForwardAMinimisedOrFarAwayOneCan)
{
    Display *display = m_connection->display();
    const std::tuple<const char *, std::function<void(WindowId)>, bool> cases[] = {
        {"unmapped", [display](WindowId w) { XUnmapWindow(display, w); }, false},
        {"withdrawn", [display](WindowId w) { XWithdrawWindow(display, w, DefaultScreen(display)); }, false},
        {"minimised", [display](WindowId w) { XIconifyWindow(display, w, DefaultScreen(display)); }, true},
        // On another workspace: brought forward, the workspace with it.
        {"on another workspace", [this](WindowId w) { sendToWorkspace(w, 1); }, true},
    };
    const auto workspaceBack = qScopeGuard([this] { showWorkspace(0); });
    for (const auto &[name, hide, comesBack] : cases) {
        SCOPED_TRACE(name);
        auto hidden = startTarget(uniqueTitle("hidden"));
        auto front = startTarget(uniqueTitle("front"));
        ASSERT_TRUE(hidden && front);
        hide(hidden->window());
        m_connection->sync();
        ASSERT_TRUE(waitUntil([&] { return !isShown(hidden->window()); }));
        EXPECT_TRUE(m_desktop->windowExists(hidden->window())) << "hidden is not gone";
        if (comesBack) {
            EXPECT_NO_THROW(m_desktop->activateWindow(hidden->window()));
            EXPECT_EQ(xid(m_desktop->foregroundWindow()), hidden->window());
        } else {
            EXPECT_THAT([&] { m_desktop->activateWindow(hidden->window()); },
                        ThrowsMessage<Failure>(HasSubstr("hidden")));
            EXPECT_EQ(xid(m_desktop->foregroundWindow()), front->window());
        }
    }
}

/// A key-log target in front, past its first key: a fresh Qt window sets up its
/// input handling on its first key and may answer pings before that key reaches
/// the text box, and the checks here are about the steady state.
class X11Keys : public X11Windows
{
protected:
    void SetUp() override
    {
        X11Windows::SetUp();
        if (IsSkipped())
            return;
        m_target = startTarget(uniqueTitle("keys"));
        ASSERT_TRUE(m_target) << "the key-log target did not come up";
        m_desktop->typeText("w");
        ASSERT_TRUE(m_target->waitForLine([](const QString &line) { return line == "LEN 1"; }));
        m_target->clearText();
    }

    /// The non-modifier keys the target saw, as "name modifiers"; keys Qt has no
    /// name for by their X keysym.
    QStringList keysSeen() const
    {
        static const QStringList modifierKeys{"Shift", "Control", "Ctrl", "Alt", "Meta", "AltGr"};
        QStringList keys;
        for (const QString &line : m_target->linesStartingWith("KEY ")) {
            const QStringList fields = line.split(' '); // KEY name modifiers keysym
            if (!modifierKeys.contains(fields[1]))
                keys << (fields[1] == "0x0" ? "sym:" + fields[3] : fields[1]) + ' ' + fields[2];
        }
        return keys;
    }

    std::unique_ptr<TargetProcess> m_target;
};

TEST_F(X11Keys, NamedKeysArriveWithTheirModifiers)
{
    // Every named key but {PRTSC}, which openbox grabs for its screenshot binding; other
    // spellings of a name are the parser's. Lock keys go twice, so that the lock ends as it was.
    using P = std::pair<const char *, const char *>;
    const P cases[] = {
        P{"{ENTER}{TAB}{ESC}{BACKSPACE}{DELETE}{INSERT}{HOME}{END}{PGUP}{PGDN}",
          "Return -, Tab -, Esc -, Backspace -, Del -, Ins -, Home -, End -, PgUp -, PgDown -"},
        P{"{UP}{DOWN}{LEFT}{RIGHT}{HELP}{BREAK}", "Up -, Down -, Left -, Right -, Help -, sym:ff6b -"},
        P{"{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}", "F1 -, F2 -, F3 -, F4 -, F5 -, F6 -, F7 -, F8 -"},
        P{"{F9}{F10}{F11}{F12}{F13}{F14}{F15}{F16}", "F9 -, F10 -, F11 -, F12 -, F13 -, F14 -, F15 -, F16 -"},
        P{"{CAPSLOCK}{CAPSLOCK}{NUMLOCK}{NUMLOCK}{SCROLLLOCK}{SCROLLLOCK}",
          "CapsLock -, CapsLock -, NumLock -, NumLock -, ScrollLock -, ScrollLock -"},
        P{"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}", "+ M, - M, * M, / M"},
        P{"+{LEFT 2}^+{END}^{HOME}%x+%^{F5}", "Left S, Left S, End CS, Home C, X A, F5 CAS"},
        P{"+(ab)c^(a%(b))+{F13}", "A S, B S, C -, A C, B CA, F13 S"}};
    for (const auto &[notation, keys] : cases) {
        m_target->clearText();
        m_desktop->sendKeys(QString::fromUtf8(notation), true);
        m_target->text(); // answered after the reports of every key before it
        EXPECT_EQ(keysSeen(), QString::fromUtf8(keys).split(", "))
            << m_target->lines().join('\n').toStdString();
    }
}

TEST_F(X11Keys, TextArrivesWholeAndTheSpareKeysAreEmptiedAtTheEnd)
{
    // More distinct characters than spare keycodes, twice over, so that the second
    // batch reuses nothing the first one left behind; and a long text.
    ASSERT_FALSE(m_desktop->spareKeycodes().empty());
    QString many, longText;
    for (char32_t c = 0x4e00; c < 0x4e00 + m_desktop->spareKeycodes().size() + 4; ++c)
        many += QString::fromUcs4(&c, 1);
    for (int i = 0; longText.size() < 3000; ++i)
        longText += QStringLiteral("The quick brown fox %1 jumps; ").arg(i);
    // Typed text arrives as it was (a CR LF as one line end); key notation as it says,
    // a shifted character on a spare keycode too.
    using T = std::tuple<bool, QString, QString>; // notation, sent, arrived
    for (const auto &[notation, sent, arrived] :
         {T{false, "Hello, World! `~!@#$%^&*()_+-=[]{}\\|;:'\",.<>/? 0123456789", {}},
          T{false, "café Ünïcödé ß €", {}}, T{false, "Ελληνικά кириллица 中文 😀 ½", {}},
          T{false, "line one\nline\ttwo\r\nthree", "line one\nline\ttwo\nthree"}, T{false, many + many, {}},
          T{false, longText, {}}, T{true, "{é 2}{€}ñ+(ä)", "éé€ñÄ"},
          T{true, "ab{BACKSPACE}c{LEFT}X", "aXc"}}) {
        m_target->clearText();
        notation ? m_desktop->sendKeys(sent, true) : m_desktop->typeText(sent);
        EXPECT_EQ(m_target->text(), arrived.isNull() ? sent : arrived);
    }

    // Malformed notation sends nothing at all.
    m_target->clearText();
    EXPECT_THROW(m_desktop->sendKeys("abc{NOSUCHKEY}", true), Failure);
    EXPECT_THROW(m_desktop->sendKeys("abc+", true), Failure);
    m_desktop->sendKeys("z", true);
    EXPECT_EQ(m_target->text(), "z");

    // What the spares still carry is listed on the root window, for the next
    // start should this one crash; the program's end empties them.
    const std::vector<unsigned long> record =
        m_connection->property32(m_connection->root(), "_KESTREL_REMAPPED_KEYS");
    ASSERT_FALSE(record.empty());
    const x11::KeyboardMap held = x11::X11Keyboard(*m_connection).currentMap();
    for (std::size_t i = 0; i + 1 < record.size(); i += 2)
        EXPECT_EQ(held.row(static_cast<int>(record[i])).at(0), static_cast<x11::KeySymbol>(record[i + 1]));
    m_desktop->releaseSpareKeys();
    const x11::KeyboardMap map = x11::X11Keyboard(*m_connection).currentMap();
    for (int keycode : m_desktop->spareKeycodes())
        EXPECT_TRUE(map.isEmpty(keycode)) << keycode;
    EXPECT_TRUE(m_connection->property32(m_connection->root(), "_KESTREL_REMAPPED_KEYS").empty());
}

TEST_F(X11Keys, ACharacterTypedAgainKeepsItsSpareKeyLongest)
{
    // A terminal that reads its keys late finds a spare key's character only while
    // the key still carries it. The character the user typed a moment ago must not
    // be the first one given away because it was first put on a key long before.
    const std::vector<int> spares = m_desktop->spareKeycodes();
    ASSERT_GE(spares.size(), 2u);
    m_desktop->releaseSpareKeys();
    const auto character = [](std::size_t n) {
        const char32_t c = 0x4e00 + static_cast<char32_t>(n);
        return QString::fromUcs4(&c, 1);
    };
    const auto onASpareKey = [&](std::size_t n) {
        const x11::KeyboardMap map = x11::X11Keyboard(*m_connection).currentMap();
        const x11::KeySymbol keysym = x11::keysymForCharacter(0x4e00 + static_cast<char32_t>(n));
        return std::any_of(spares.begin(), spares.end(), [&](int keycode) {
            const std::vector<x11::KeySymbol> row = map.row(keycode);
            return !row.empty() && row[0] == keysym;
        });
    };
    QString everySpare;
    for (std::size_t n = 0; n < spares.size(); ++n)
        everySpare += character(n);
    const QString fresh = character(spares.size() + 10);
    for (const QString &typed : {everySpare, character(0), fresh}) {
        m_target->clearText();
        m_desktop->typeText(typed);
        EXPECT_EQ(m_target->text(), typed);
    }
    EXPECT_TRUE(onASpareKey(0)) << "typed again a moment ago";
    EXPECT_FALSE(onASpareKey(1)) << "typed once, before the others";
    EXPECT_TRUE(onASpareKey(spares.size() + 10));
}

// A logout takes the server away and sends the signal that ends the program at
// the same moment. Emptying the spare keys at the end then met a dead
// connection, and Xlib's own handler ended the program with status 1 and a
// fatal error on the terminal.
TEST(X11ServerGone, TheSpareKeysMeetAServerGoneAndTheProgramEndsQuietly)
{
    PrivateXServer server;
    ASSERT_TRUE(server.start());
    int ready[2];
    int go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // Only this thread lives on in the child: Xlib on a connection of its own.
        ::close(ready[0]);
        ::close(go[1]);
        char byte = 0;
        try {
            x11::X11Connection connection(server.display().toLocal8Bit());
            x11::X11Keyboard keyboard(connection);
            keyboard.play(
                literalKeyStrokes(QStringLiteral("\u4e00")), [] {}, false);
            if (::write(ready[1], "r", 1) != 1 || ::read(go[0], &byte, 1) != 1)
                ::_exit(5);
            keyboard.releaseSparesAtProgramEnd();
        } catch (...) {
            ::_exit(4);
        }
        ::_exit(3); // the server was gone: releasing must not have returned
    }
    ::close(ready[1]);
    ::close(go[0]);
    const auto closePipes = qScopeGuard([&] {
        ::close(ready[0]);
        ::close(go[1]);
    });
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the child typed on a spare key";
    ASSERT_TRUE(server.stop());
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(X11Keys, TextArrivesAsWrittenWhicheverLayoutIsSelected)
{
    // A user with a second layout (here Russian beside US English) who has the
    // second one selected: the letters must not come out in its alphabet, and the
    // selection is the user's own, so it stays as it was.
    if (QProcess::execute("setxkbmap", {"-layout", "us,ru"}) != 0)
        GTEST_SKIP() << "needs setxkbmap";
    struct LayoutBack
    {
        ~LayoutBack() { QProcess::execute("setxkbmap", {"-layout", "us"}); }
    } layoutBack;
    Display *display = m_connection->display();
    using T = std::tuple<bool, QString, QString>; // notation, sent, arrived
    for (const auto &[notation, sent, arrived] :
         {T{false, "abc Hello, world; [x] ~`", {}}, T{false, "кириллица é €", {}},
          T{true, "+(xy)z{é}", "XYzé"}}) {
        XkbLockGroup(display, XkbUseCoreKbd, 1);
        m_connection->sync();
        m_target->clearText();
        notation ? m_desktop->sendKeys(sent, true) : m_desktop->typeText(sent);
        EXPECT_EQ(m_target->text(), arrived.isNull() ? sent : arrived);
        XkbStateRec state{};
        ASSERT_EQ(XkbGetState(display, XkbUseCoreKbd, &state), Success);
        EXPECT_EQ(state.group, 1) << sent.toStdString() << ": the selected layout changed";
    }
    XkbLockGroup(display, XkbUseCoreKbd, 0);
    m_connection->sync();
}

TEST_F(X11Keys, AltGrCharactersOfALaterLayoutAreNotTakenForTheFirstOnes)
{
    // With a layout that has no AltGr levels first (US English) and one that
    // has them second (German), the core map fills the first layout's empty
    // AltGr columns with the second's: "€" seemed to sit on AltGr+E and came
    // out as "e" once the first layout was selected to type it.
    struct LayoutBack
    {
        ~LayoutBack() { QProcess::execute("setxkbmap", {"-layout", "us"}); }
    } layoutBack;
    Display *display = m_connection->display();
    const QString sent = QStringLiteral("5 \u20ac \u00b5m x\u00b2 \u00a9 \u00bd");
    for (const char *layouts : {"de", "de,us", "us,de", "us,fr"}) {
        SCOPED_TRACE(layouts);
        if (QProcess::execute("setxkbmap", {"-layout", QString::fromLatin1(layouts)}) != 0)
            GTEST_SKIP() << "needs setxkbmap";
        XkbLockGroup(display, XkbUseCoreKbd, 0);
        m_connection->sync();
        m_target->clearText();
        m_desktop->typeText(sent);
        EXPECT_EQ(m_target->text(), sent);
        m_desktop->releaseSpareKeys();
        const x11::KeyboardMap map = x11::X11Keyboard(*m_connection).currentMap();
        for (int keycode : m_desktop->spareKeycodes())
            EXPECT_TRUE(map.isEmpty(keycode)) << keycode;
    }
}

TEST_F(X11Keys, CapsLockLeftOnDoesNotTurnTheCaseOfWhatIsTyped)
{
    // Caps Lock on (an on-screen keyboard, an earlier {CAPSLOCK}) would swap the
    // case of every letter typed: dictation must arrive as it was said. Caps Lock
    // typed on purpose is the user's own to switch.
    Display *display = m_connection->display();
    const auto capsLocked = [display] {
        XkbStateRec state{};
        XkbGetState(display, XkbUseCoreKbd, &state);
        return (state.locked_mods & LockMask) != 0;
    };
    struct LockBack
    {
        Display *display;
        ~LockBack()
        {
            XkbLockModifiers(display, XkbUseCoreKbd, LockMask, 0);
            XSync(display, False);
        }
    } lockBack{display};
    const struct
    {
        bool notation;
        const char *sent;
        const char *arrived;
        bool lockedAfter;
    } cases[] = {
        {false, "Hello World, café ÉTÉ", "Hello World, café ÉTÉ", true},
        {true, "+a{é}b+(cd)", "AébCD", true},
        {true, "{CAPSLOCK}ab", "ab", false}, // switched off on purpose, typed as it now is
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.sent);
        XkbLockModifiers(display, XkbUseCoreKbd, LockMask, LockMask);
        m_connection->sync();
        ASSERT_TRUE(capsLocked());
        m_target->clearText();
        const QString sent = QString::fromUtf8(c.sent);
        c.notation ? m_desktop->sendKeys(sent, true) : m_desktop->typeText(sent);
        EXPECT_EQ(m_target->text(), QString::fromUtf8(c.arrived));
        EXPECT_EQ(capsLocked(), c.lockedAfter);
    }
}

TEST_F(X11Keys, SendKeysWaitsForAnApplicationThatIsBusy)
{
    ASSERT_TRUE(m_desktop->answersPing(m_target->window())) << "Qt windows answer _NET_WM_PING";
    // While the target sleeps, the keys sit in its queue; returning before it woke
    // and handled them would leave the report below empty.
    ASSERT_TRUE(m_target->makeBusy(400));
    m_desktop->sendKeys("abcé{F13}", true);
    m_target->readAvailable(); // no waiting: the lines must already be there
    EXPECT_EQ(keysSeen(), QString("A -|B -|C -|É -|F13 -").split('|'));
}

TEST_F(X11Windows, TypesIntoAWindowOfThisVeryProcess)
{
    // Our own window answers pings only from our own event loop, so the backend
    // must let it run while it waits; a blocking wait would time out and restore
    // the spare keys before the text box read them.
    QLineEdit edit;
    const QString title = uniqueTitle("own window");
    edit.setWindowTitle(title);
    edit.show();
    const WindowId window = edit.winId();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return xid(m_desktop->findTopLevelWindow(title)) == window && isShown(window);
    }));
    m_desktop->activateWindow(window);
    m_desktop->typeText("own €ŵ");
    EXPECT_EQ(edit.text(), "own €ŵ");
}

// A command's click on one of the program's own buttons is handled before the
// click returns, inside the command that sent it. Handled later, the click on
// Emulate ran the command again after it had ended, and again, without end.
TEST_F(X11Windows, AClickOnAWindowOfThisVeryProcessIsHandledBeforeTheClickReturns)
{
    QPushButton button(QStringLiteral("Press me"));
    const QString title = uniqueTitle("own button");
    button.setWindowTitle(title);
    button.resize(200, 80);
    button.show();
    int clicks = 0;
    QObject::connect(&button, &QPushButton::clicked, [&clicks] { ++clicks; });
    const WindowId window = button.winId();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return xid(m_desktop->findTopLevelWindow(title)) == window && isShown(window);
    }));
    // In front, and off the middle of the screen, where the window manager
    // shows its workspace name for a moment after a switch.
    m_desktop->activateWindow(window);
    m_desktop->moveWindow(window, 40, 60);
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return xid(m_desktop->foregroundWindow()) == window && button.isActiveWindow() &&
               button.mapToGlobal(QPoint(0, 0)).x() < 200;
    }));
    m_desktop->setCursorPosition(button.mapToGlobal(button.rect().center()));
    m_desktop->mouseButton(Desktop::Button::Left, true);
    m_desktop->mouseButton(Desktop::Button::Left, false);
    EXPECT_EQ(clicks, 1) << "not handled by the time the click returned";
    QTest::qWait(100);
    EXPECT_EQ(clicks, 1);
}

// A clipboard owner as Tk programs are: it takes the clipboard once and then
// changes the text it offers without taking it again, so no news of a change
// ever comes. Answers on a connection and a thread of its own.
class UnclaimedClipboardOwner
{
public:
    explicit UnclaimedClipboardOwner(const QByteArray &text) : m_text(text), m_display(XOpenDisplay(nullptr))
    {
        if (!m_display)
            return;
        m_window = XCreateSimpleWindow(m_display, DefaultRootWindow(m_display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(m_display, atom("CLIPBOARD"), m_window, CurrentTime);
        XSync(m_display, False);
        m_thread = std::thread([this] { answer(); });
    }
    ~UnclaimedClipboardOwner()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool owns() const { return m_display != nullptr; }
    void offer(const QByteArray &text)
    {
        const std::lock_guard lock(m_mutex);
        m_text = text;
    }

private:
    Atom atom(const char *name) { return XInternAtom(m_display, name, False); }
    void answer()
    {
        const Atom targets = atom("TARGETS"), utf8 = atom("UTF8_STRING");
        while (!m_stop) {
            while (XPending(m_display) > 0) {
                XEvent event;
                XNextEvent(m_display, &event);
                if (event.type != SelectionRequest)
                    continue;
                const XSelectionRequestEvent &request = event.xselectionrequest;
                XEvent reply{};
                reply.xselection.type = SelectionNotify;
                reply.xselection.requestor = request.requestor;
                reply.xselection.selection = request.selection;
                reply.xselection.target = request.target;
                reply.xselection.time = request.time;
                reply.xselection.property = request.property;
                if (request.target == targets) {
                    const Atom offered[] = {targets, utf8, XA_STRING};
                    XChangeProperty(m_display, request.requestor, request.property, XA_ATOM, 32,
                                    PropModeReplace, reinterpret_cast<const unsigned char *>(offered), 3);
                } else if (request.target == utf8 || request.target == XA_STRING) {
                    const std::lock_guard lock(m_mutex);
                    XChangeProperty(m_display, request.requestor, request.property, request.target, 8,
                                    PropModeReplace,
                                    reinterpret_cast<const unsigned char *>(m_text.constData()),
                                    static_cast<int>(m_text.size()));
                } else {
                    reply.xselection.property = None;
                }
                XSendEvent(m_display, request.requestor, False, NoEventMask, &reply);
                XFlush(m_display);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }

    std::mutex m_mutex;
    QByteArray m_text;
    Display *m_display;
    Window m_window = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Tk programs change what they offer without taking the clipboard again: Play
// Clipboard read out the text copied before, while every other program pasted
// the new one.
TEST_F(X11Windows, AReadAskedForGetsTheTextAnOwnerChangedWithoutTakingTheClipboardAgain)
{
    UnclaimedClipboardOwner owner("first copy");
    ASSERT_TRUE(owner.owns());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return m_desktop->clipboardText() == QStringLiteral("first copy"); }, 10000));
    owner.offer("second copy");
    EXPECT_EQ(m_desktop->currentClipboardText(), QStringLiteral("second copy"));
}

// On X11 the clipboard's text stays with the program it was copied in, and
// every read asks that program again. The voice window looks once a second:
// a busy owner (a spreadsheet recalculating, a program stopped in a
// debugger) froze KESTREL for seconds at every look.
TEST_F(X11Windows, TheClipboardIsAskedForAgainOnlyWhenItChanges)
{
    auto target = startTarget(uniqueTitle("clipboard"));
    ASSERT_TRUE(target);
    const auto readsSoon = [this](const QString &expected, int deadlineMs = 10000) {
        return QTest::qWaitFor([&] { return m_desktop->clipboardText() == expected; }, deadlineMs);
    };
    ASSERT_TRUE(target->copy(QStringLiteral("first copy")));
    ASSERT_TRUE(readsSoon(QStringLiteral("first copy")));

    ASSERT_TRUE(target->makeBusy(6000));
    EXPECT_EQ(m_desktop->clipboardText(), QStringLiteral("first copy")) << "asked the busy owner again";
    // Copied once the owner is back: the news of it brings the new text.
    ASSERT_TRUE(target->copy(QStringLiteral("second copy")));
    EXPECT_TRUE(readsSoon(QStringLiteral("second copy")));

    m_desktop->setClipboardText(QStringLiteral("own text"));
    EXPECT_EQ(m_desktop->clipboardText(), QStringLiteral("own text"));
    ASSERT_TRUE(target->copy(QStringLiteral("third copy")));
    EXPECT_TRUE(readsSoon(QStringLiteral("third copy")));

    // Busy from the moment it copied, longer than Qt waits (it asks twice, five
    // seconds each): the read that gets no answer is not kept as the
    // clipboard's text, and the text is read once the owner is back.
    ASSERT_TRUE(target->copyThenBusy(QStringLiteral("late copy"), 11000));
    EXPECT_TRUE(readsSoon(QStringLiteral("late copy"), 25000));
}

TEST_F(X11Windows, KeysLeftRemappedByACrashAreRestoredByTheNextFirstInstance)
{
    const std::vector<int> spares = m_desktop->spareKeycodes();
    ASSERT_GE(spares.size(), 2u);
    const int ours = spares.back(), changedSince = spares.front();
    x11::X11Connection &connection = *m_connection;
    Display *display = connection.display();
    // What a crash mid-typing leaves: a remapped key and its record; plus a listed
    // key that someone has since given another keysym, which must be left alone.
    KeySym euro[2] = {0x10020ac, 0x10020ac}, other[2] = {0x1000417, 0x1000417},
           none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, ours, 2, euro, 1);
    XChangeKeyboardMapping(display, changedSince, 2, other, 1);
    long record[4] = {ours, 0x10020ac, changedSince, 0x1000416};
    XChangeProperty(display, connection.root(), connection.atom("_KESTREL_REMAPPED_KEYS"), XA_INTEGER, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(record), 4);
    connection.sync();

    // A second instance, which ends at once, must not take the keys of a first
    // one that is typing with them: the record alone cannot tell the two apart.
    X11Desktop restarted(m_wait);
    EXPECT_FALSE(x11::X11Keyboard(connection).currentMap().isEmpty(ours));
    EXPECT_FALSE(connection.property32(connection.root(), "_KESTREL_REMAPPED_KEYS").empty());

    restarted.undoLeftoverKeyRemaps();
    const x11::KeyboardMap map = x11::X11Keyboard(connection).currentMap();
    EXPECT_TRUE(map.isEmpty(ours));
    const std::vector<int> sparesNow = restarted.spareKeycodes();
    EXPECT_NE(std::find(sparesNow.begin(), sparesNow.end(), ours), sparesNow.end()) << "usable again";
    EXPECT_EQ(map.row(changedSince).at(0), 0x1000417u);
    EXPECT_TRUE(connection.property32(connection.root(), "_KESTREL_REMAPPED_KEYS").empty());
    XChangeKeyboardMapping(display, changedSince, 2, none, 1);
    connection.sync();
}

TEST_F(X11Windows, AWaitThatThrowsLeavesNoKeyHeldAndEveryRemapListed)
{
    // The wait for the receiving client runs window events of this process, and
    // whatever they throw passes through the typing: no key may stay down, and
    // every spare that carries a character must be listed for the next start.
    std::vector<unsigned long> record;
    {
        x11::X11Keyboard keyboard(*m_connection);
        ASSERT_FALSE(keyboard.spares().empty());
        for (const char *text : {"é", "ж€ñ", "aé"}) {
            EXPECT_THROW(
                keyboard.play(
                    literalKeyStrokes(QString::fromUtf8(text)), [] { throw Failure("interrupted"); }, true),
                Failure)
                << text;
            char keys[32] = {};
            XQueryKeymap(m_connection->display(), keys);
            EXPECT_EQ(std::count(std::begin(keys), std::end(keys), 0), 32) << text << ": a key is still down";
            record = m_connection->property32(m_connection->root(), "_KESTREL_REMAPPED_KEYS");
            const x11::KeyboardMap map = keyboard.currentMap();
            for (int keycode : keyboard.spares()) {
                bool listed = false;
                for (std::size_t i = 0; i + 1 < record.size(); i += 2)
                    listed = listed || record[i] == static_cast<unsigned long>(keycode);
                EXPECT_EQ(map.isEmpty(keycode), !listed) << text << " " << keycode;
            }
        }
        EXPECT_FALSE(record.empty());
    }
    // The keyboard's end empties them.
    EXPECT_TRUE(m_connection->property32(m_connection->root(), "_KESTREL_REMAPPED_KEYS").empty());
    const x11::KeyboardMap map = x11::X11Keyboard(*m_connection).currentMap();
    for (std::size_t i = 0; i + 1 < record.size(); i += 2)
        EXPECT_TRUE(map.isEmpty(static_cast<int>(record[i]))) << record[i];
}

TEST_F(X11Windows, TerminalWithoutPingGetsTheTextAfterASettleDelay)
{
    LineReader reader;
    ASSERT_TRUE(startLineReader(reader, "xterm"));
    EXPECT_FALSE(m_desktop->answersPing(reader.window));

    m_desktop->typeText("héllo wörld € ~{x}+\n");
    EXPECT_EQ(reader.line(), "héllo wörld € ~{x}+");
}

// A terminal busy printing a build log reads its keys late, and has no way to
// say when it has: characters typed on spare keys came out missing ("caf ol 5"),
// or as the next string's.
TEST_F(X11Windows, ATerminalThatReadsItsKeysLateGetsEveryCharacter)
{
    LineReader reader;
    ASSERT_TRUE(startLineReader(reader, "busy xterm"));

    // Stopped while both strings are typed: it reads all the keys afterwards.
    const auto pid = static_cast<pid_t>(reader.xterm.processId());
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    m_desktop->typeText("café olé €5 ");
    m_desktop->typeText("ñü\n");
    ASSERT_EQ(::kill(pid, SIGCONT), 0);
    EXPECT_EQ(reader.line(), "café olé €5 ñü");
}

} // namespace
} // namespace kestrel::test
