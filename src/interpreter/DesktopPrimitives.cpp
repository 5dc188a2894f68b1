#include "interpreter/DesktopPrimitives.h"

#include "desktop/Desktop.h"
#include "interpreter/NumericValue.h"

namespace kestrel {

DesktopPrimitives::DesktopPrimitives(Desktop &desktop) : m_desktop(desktop) {}

void DesktopPrimitives::leftclick(const QString &action)
{
    Desktop::Button button;
    if (action == QLatin1String("L"))
        button = Desktop::Button::Left;
    else if (action == QLatin1String("R"))
        button = Desktop::Button::Right;
    else
        return;
    m_desktop.mouseButton(button, true);
    m_desktop.mouseButton(button, false);
}

void DesktopPrimitives::MoveCursor(double X, double Y)
{
    const int x = roundToInt32(X);
    const int y = roundToInt32(Y);
    m_desktop.setCursorPosition(QPoint(x, y));
}

void DesktopPrimitives::SetWindow(int X, int Y)
{
    const WindowId window = m_desktop.foregroundWindow();
    if (window != 0)
        m_desktop.moveWindow(window, X, Y);
}

void DesktopPrimitives::moveCursorBy(int dx, int dy)
{
    const QPoint position = m_desktop.cursorPosition();
    MoveCursor(static_cast<double>(position.x()) + dx, static_cast<double>(position.y()) + dy);
}

} // namespace kestrel
