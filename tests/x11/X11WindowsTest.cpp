#include "X11Fixture.h"

#include "common/Failure.h"
#include "desktop/x11/SingleInstance.h"

#include <QGuiApplication>
#include <QScreen>

#include <gmock/gmock.h>

namespace kestrel::test {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;
using X11Windows = X11Fixture;

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
    // The server keeps the pointer on the screen.
    for (const auto &[target, expected] :
         {P{QPoint(0, 0), QPoint(0, 0)}, P{QPoint(100, 200), QPoint(100, 200)},
          P{screen.bottomRight(), screen.bottomRight()},
          P{QPoint(screen.width() + 500, -40), QPoint(screen.right(), 0)}}) {
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
    EXPECT_EQ(m_desktop->findTopLevelWindow(title), window);
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
        EXPECT_THAT([&] { m_desktop->activateWindow(gone); },
                    ThrowsMessage<Failure>(HasSubstr("does not exist")));
        EXPECT_THROW(m_desktop->moveWindow(gone, 10, 10), Failure);
        EXPECT_THROW(m_desktop->frameGeometry(gone), Failure);
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

} // namespace
} // namespace kestrel::test
