// The close box as a real window manager delivers it: WM_DELETE_WINDOW sent
// to the window under Xvfb. Run by the x11 test label.
#include "DebugFormFixture.h"

#include <QGuiApplication>
#include <QTest>

#include <X11/Xlib.h>

namespace kestrel::debugform_test {
namespace {

class CloseEventCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        count += event->type() == QEvent::Close;
        return false;
    }
};

void sendDeleteWindow(Window window)
{
    Display *display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
}

TEST_F(DebugFormTest, WindowManagerCloseRequestIsRefused)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        GTEST_SKIP() << "needs the X display of the x11 test run";
    form->showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    CloseEventCounter counter;
    form->installEventFilter(&counter);
    sendDeleteWindow(static_cast<Window>(form->winId()));

    // Waits for the request to arrive; nothing is measured.
    EXPECT_TRUE(QTest::qWaitFor([&] { return counter.count > 0; }, 10000)) << "close request never arrived";
    QCoreApplication::processEvents();
    EXPECT_TRUE(form->isVisible());

    form->unload();
    EXPECT_FALSE(form->isVisible());
}

} // namespace
} // namespace kestrel::debugform_test
