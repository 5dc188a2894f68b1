#pragma once

#include <QString>

namespace kestrel {

class Desktop;
class DesktopPrimitives;
class MainWindowControl;

/// The spoken commands whose words carry arguments or whose meaning is built in:
/// LEFT CLICK and RIGHT CLICK (by the pending phrase), CURSOR followed by
/// UP/DOWN/LEFT/RIGHT or "x, y", and SELECT followed by a count (by the row's
/// phrase). The row's action text is not used by any of them.
class BuiltInPhrases
{
public:
    BuiltInPhrases(Desktop &desktop, DesktopPrimitives &primitives, MainWindowControl &mainWindow);

    /// Runs the built-in meaning of the phrase, if it has one, and returns whether
    /// it had one. `pendingUpper` is the spoken phrase and `wordUpper` the found
    /// row's WordPhrase, both upper-cased.
    bool run(const QString &pendingUpper, const QString &wordUpper);

private:
    void cursorPhrase(const QString &pendingUpper);
    void selectPhrase(const QString &pendingUpper);

    Desktop &m_desktop;
    DesktopPrimitives &m_primitives;
    MainWindowControl &m_mainWindow;
};

} // namespace kestrel
