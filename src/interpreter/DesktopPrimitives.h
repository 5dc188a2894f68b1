#pragma once

#include <QString>

namespace kestrel {

class Desktop;

/// The main window's three pointer and window procedures, on the desktop
/// interface. They keep no state.
class DesktopPrimitives
{
public:
    explicit DesktopPrimitives(Desktop &desktop);

    /// "L" clicks the left button, "R" the right one, wherever the pointer is;
    /// anything else does nothing.
    void leftclick(const QString &action);

    /// Moves the pointer to (X, Y) after converting both to 32-bit integers.
    void MoveCursor(double X, double Y);

    /// Moves the foreground window so that its top-left corner is at (X, Y),
    /// keeping its size. With no foreground window there is nothing to move.
    void SetWindow(int X, int Y);

    /// Moves the pointer by (dx, dy) from where it is now.
    void moveCursorBy(int dx, int dy);

private:
    Desktop &m_desktop;
};

} // namespace kestrel
