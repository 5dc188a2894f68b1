#include "X11Fixture.h"

#include "common/Failure.h"
#include "desktop/x11/SingleInstance.h"

#include <QGuiApplication>
#include <QScreen>

#include <signal.h>

namespace kestrel::test {
namespace {

QString uniqueTitle(const char *what)
{
    return QStringLiteral("kestrel %1 %2")
        .arg(QString::fromUtf8(what))
        .arg(QCoreApplication::applicationPid());
}

using X11Windows = X11Fixture;

TEST(X11Connection, NoServerIsAFailureNamingTheDisplay)
{
    QtEventWait wait;
    try {
        X11Desktop desktop(wait, QByteArrayLiteral(":4711"));
        FAIL() << "a display without a server was opened";
    } catch (const Failure &failure) {
        EXPECT_TRUE(failure.description().contains("cannot open display :4711")) << failure.what();
    }
}

TEST_F(X11Windows, CursorGoesWhereItIsSent)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    // The server keeps the pointer on the screen.
    for (const auto &[target, expected] : {std::pair{QPoint(0, 0), QPoint(0, 0)},
                                           {QPoint(100, 200), QPoint(100, 200)},
                                           {screen.bottomRight(), screen.bottomRight()},
                                           {QPoint(screen.width() + 500, -40), QPoint(screen.right(), 0)}}) {
        m_desktop->setCursorPosition(target);
        EXPECT_EQ(m_desktop->cursorPosition(), expected) << target.x() << "," << target.y();
    }
}

TEST_F(X11Windows, ButtonsClickWhereThePointerIs)
{
    auto target = startTarget(uniqueTitle("click"));
    ASSERT_TRUE(target);
    const QPoint centre = m_desktop->frameGeometry(target->window()).center();
    for (auto [button, letter] :
         {std::pair{Desktop::Button::Left, "L"}, std::pair{Desktop::Button::Right, "R"}}) {
        target->forget();
        m_desktop->setCursorPosition(centre);
        m_desktop->mouseButton(button, true);
        m_desktop->mouseButton(button, false);
        const QString at =
            QStringLiteral(" %1 %2 %3").arg(QLatin1String(letter)).arg(centre.x()).arg(centre.y());
        EXPECT_TRUE(target->waitForLine([&](const QString &line) { return line == "RELEASE" + at; }));
        EXPECT_TRUE(target->lines().contains("CLICK" + at)) << target->lines().join('|').toStdString();
    }
}

TEST_F(X11Windows, FindsWindowsByExactTitleAndMovesTheirFrame)
{
    const QString title = uniqueTitle("Fenêtre ünïcode ✓");
    auto target = startTarget(title);
    ASSERT_TRUE(target);
    EXPECT_EQ(m_desktop->findTopLevelWindow(title), target->window());
    for (const QString &other : {title + ' ', title.toUpper(), QStringLiteral("no window has this title")})
        EXPECT_EQ(m_desktop->findTopLevelWindow(other), 0u) << other.toStdString();

    // The frame's corner goes where it is sent; the size stays.
    const QSize size = m_desktop->frameGeometry(target->window()).size();
    for (const QPoint corner : {QPoint(100, 150), QPoint(0, 0), QPoint(333, 222)}) {
        m_desktop->moveWindow(target->window(), corner.x(), corner.y());
        EXPECT_EQ(m_desktop->frameGeometry(target->window()), QRect(corner, size));
    }
}

TEST_F(X11Windows, ActivationChoosesWhichWindowGetsTheKeys)
{
    const QString title = uniqueTitle("KESTREL");
    auto first = startTarget(title);
    auto second = startTarget(uniqueTitle("second"));
    ASSERT_TRUE(first && second);

    // A second instance brings the first forward by its title.
    EXPECT_TRUE(bringExistingInstanceForward(*m_desktop, title));
    EXPECT_EQ(m_desktop->foregroundWindow(), first->window());
    EXPECT_FALSE(bringExistingInstanceForward(*m_desktop, uniqueTitle("nobody")));
    m_desktop->typeText("one");
    m_desktop->activateWindow(second->window());
    EXPECT_EQ(m_desktop->foregroundWindow(), second->window());
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

TEST_F(X11Windows, StartedProgramIsFoundByItsProcess)
{
    const QString title = uniqueTitle("started");
    const auto result = m_desktop->startProgram(TargetProcess::programPath(), {title}, QString());
    ASSERT_TRUE(result.ok()) << result.description.toStdString();
    ASSERT_GT(result.processId, 0);
    WindowId window = 0;
    EXPECT_TRUE(waitUntil([&] { return (window = m_desktop->windowOfProcess(result.processId)) != 0; }));
    EXPECT_EQ(m_desktop->findTopLevelWindow(title), window);
    ::kill(static_cast<pid_t>(result.processId), SIGTERM);
    EXPECT_TRUE(waitUntil([&] { return m_desktop->windowOfProcess(result.processId) == 0; }));
    EXPECT_EQ(m_desktop->windowOfProcess(0), 0u);
    EXPECT_EQ(m_desktop->windowOfProcess(0x3ffffff0), 0u);
}

TEST_F(X11Windows, ADestroyedWindowIsAFailure)
{
    auto target = startTarget(uniqueTitle("destroyed"));
    ASSERT_TRUE(target);
    const WindowId window = target->window();
    target->quit();
    ASSERT_TRUE(waitUntil([&] { return m_desktop->windowOfProcess(target->pid()) == 0; }));

    for (const WindowId gone : {window, WindowId{0x3ffffff}}) {
        try {
            m_desktop->activateWindow(gone);
            ADD_FAILURE() << "activating a window that does not exist succeeded";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains("does not exist")) << failure.what();
        }
        EXPECT_THROW(m_desktop->moveWindow(gone, 10, 10), Failure);
        EXPECT_THROW(m_desktop->frameGeometry(gone), Failure);
    }
}

} // namespace
} // namespace kestrel::test
