#pragma once

#include <QString>

namespace kestrel {

class Desktop;
class DesktopPrimitives;
class EventWait;
class MainWindowControl;

/// Carries out a FUNCTION action: key text in the desktop's key notation mixed
/// with the brace tokens {LEFT CLICK}, {RIGHT CLICK}, {CURSOR x,y},
/// {CURSOR UP|DOWN|LEFT|RIGHT}, {PAUSE seconds}, {POSITION x,y} and {QUIT}
/// (any letter case). Key text between tokens is sent as one chunk, and the
/// scanner goes on only once the receiving application has processed it.
///
/// A token whose closing brace is missing drops the rest of the action. A numeric
/// overflow in a token argument throws Failure; keys sent before it stay sent.
class ActionScanner
{
public:
    enum class Outcome { Completed, Quit };

    ActionScanner(Desktop &desktop, EventWait &wait, MainWindowControl &mainWindow,
                  DesktopPrimitives &primitives);

    /// Scans `action`. Returns Quit after asking the main window to end the
    /// program at {QUIT}; key text collected before the token is not sent.
    Outcome run(const QString &action);

    /// Pause tokens outside (0, 30) seconds do nothing.
    static constexpr double MaxPauseSeconds = 30.0;

private:
    class Scan;

    Desktop &m_desktop;
    EventWait &m_wait;
    MainWindowControl &m_mainWindow;
    DesktopPrimitives &m_primitives;
};

} // namespace kestrel
