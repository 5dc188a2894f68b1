#include "command_table/StarterTable.h"

#include <QStandardPaths>

namespace kestrel {

ProgramFinder installedProgramFinder()
{
    return [](const QString &program) { return QStandardPaths::findExecutable(program); };
}

QString firstInstalled(const QStringList &candidates, const ProgramFinder &finder)
{
    for (const QString &candidate : candidates) {
        if (!finder(candidate).isEmpty())
            return candidate;
    }
    return candidates.value(0);
}

QList<CommandRow> starterRows(const ProgramFinder &finder)
{
    // Debian's alternatives come first: they follow the user's own choice of
    // terminal and browser. Editors have no such alternative, so the common
    // graphical ones are tried in turn.
    const QString terminal = firstInstalled({QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm"),
                                             QStringLiteral("gnome-terminal"), QStringLiteral("konsole"),
                                             QStringLiteral("xfce4-terminal"), QStringLiteral("lxterminal")},
                                            finder);
    const QString editor = firstInstalled(
        {QStringLiteral("mousepad"), QStringLiteral("gedit"), QStringLiteral("gnome-text-editor"),
         QStringLiteral("kate"), QStringLiteral("kwrite"), QStringLiteral("pluma"), QStringLiteral("xed"),
         QStringLiteral("featherpad"), QStringLiteral("leafpad"), QStringLiteral("xedit")},
        finder);
    const QString browser = firstInstalled(
        {QStringLiteral("x-www-browser"), QStringLiteral("firefox"), QStringLiteral("firefox-esr"),
         QStringLiteral("chromium"), QStringLiteral("google-chrome"), QStringLiteral("sensible-browser")},
        finder);

    const QString terminalPhrase = QString::fromLatin1(StarterTerminalPhrase);
    const QString editorPhrase = QString::fromLatin1(StarterEditorPhrase);
    const QString browserPhrase = QString::fromLatin1(StarterBrowserPhrase);
    const QString open = QStringLiteral("OPEN");
    const QString close = QStringLiteral("CLOSE");
    const QString function = QStringLiteral("FUNCTION");
    const QString text = QStringLiteral("TEXT");

    return {
        {terminalPhrase, open, terminal, {}},
        {editorPhrase, open, editor, {}},
        {browserPhrase, open, browser, {}},
        {QStringLiteral("SAVE FILE"), function, QStringLiteral("^s"), editorPhrase},
        // Alt+F4 asks the window manager to close the front window; the CLOSE
        // type then frees the editor's slot so the next OPEN EDITOR starts anew.
        {QStringLiteral("CLOSE EDITOR"), close, QStringLiteral("%{F4}"), editorPhrase},
        {QStringLiteral("NEW TAB"), function, QStringLiteral("^t"), browserPhrase},
        {QStringLiteral("CLOSE BROWSER"), close, QStringLiteral("%{F4}"), browserPhrase},
        {QStringLiteral("COPY"), function, QStringLiteral("^c"), {}},
        {QStringLiteral("PASTE"), function, QStringLiteral("^v"), {}},
        {QStringLiteral("CUT"), function, QStringLiteral("^x"), {}},
        {QStringLiteral("UNDO"), function, QStringLiteral("^z"), {}},
        {QStringLiteral("MARK ALL"), function, QStringLiteral("^a"), {}},
        {QStringLiteral("NEW LINE"), function, QStringLiteral("~"), {}},
        {QStringLiteral("TYPE TEXT"), text, {}, {}},
        // The built-in pointer rows are only reached when their action is not
        // empty; the action itself is not sent, so it names what they do.
        {QStringLiteral("LEFT CLICK"), function, QStringLiteral("{LEFT CLICK}"), {}},
        {QStringLiteral("RIGHT CLICK"), function, QStringLiteral("{RIGHT CLICK}"), {}},
        {QStringLiteral("CURSOR"), function, QStringLiteral("{CURSOR}"), {}},
        {QStringLiteral("SELECT"), function, {}, {}},
        {QStringLiteral("CONFIRMATION"), function, {}, {}},
        {QStringLiteral("STOP RECOGNITION"), function, QStringLiteral("{STOP RECOGNITION}"), {}},
        // Two words, not "QUIT": someone who cannot reach the keyboard cannot start
        // the program again, and a lone "quit" was heard in everyday speech
        // ("what time is it" in a continuous stream). The phrase still contains
        // QUIT, which is what ends the program.
        {QStringLiteral("QUIT KESTREL"), function, QStringLiteral("{QUIT}"), {}},
    };
}

} // namespace kestrel
