#pragma once

#include <QString>

#include <memory>

namespace kestrel {

/// Builds the program from its parts (real desktop, voice, recogniser, windows),
/// wires the windows to each other and runs start-up. One instance, owned by
/// main(); nothing global.
class Application
{
public:
    Application();
    ~Application();

    /// Run before the QApplication exists. The desktop layer speaks X11, and the
    /// program's own windows must be among the windows it sees (the single
    /// instance finds the first one by its title): in a Wayland session they go
    /// to XWayland as well, unless QT_QPA_PLATFORM says otherwise. Returns why
    /// the program cannot start (no X display), or nothing: Qt would abort with
    /// a message about reinstalling instead.
    static QString prepareDisplay();
    /// Prints a start-up problem where the user who started the program sees it.
    static void complain(const QString &text);

    /// Returns the process exit code: 0 after a normal end, or when another
    /// instance is already running; 1 when the program cannot start at all (no X
    /// display, a command table that cannot be opened).
    int run();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace kestrel
