#pragma once

#include <QProcessEnvironment>
#include <QString>

#include <optional>

namespace kestrel {

/// `text` as the window's multi-line text box gives it back after holding it:
/// every line break ("\r\n", "\r", paragraph and line separators) becomes "\n" and
/// a no-break space a plain space. The clipboard monitor compares in this form;
/// comparing raw text would see a Windows-style clipboard text as "changed" at
/// every tick and speak it again and again.
QString textBoxForm(const QString &text);

/// The clipboard monitor's rule for one tick: speak when the monitor is ticked
/// (state 1) and the clipboard differs from the box or speaking was requested.
bool clipboardWantsSpeaking(int monitorState, const QString &clipboard, const QString &boxText,
                            bool clipboardSpeakNow);

/// A file-dialog filter in Qt's syntax, built from the classic
/// "label|patterns|label|patterns" form.
struct DialogFilter
{
    QString filters;  ///< entries joined by ";;"
    QString selected; ///< the preselected entry
};

/// Converts `classic` (pairs separated by "|", patterns separated by ";") to Qt's
/// form: each entry becomes "label (pattern pattern)". "*.*" becomes "*", which is
/// what "all files" means where names need not have a dot. `selectedIndex` is
/// 1-based; out of range selects nothing.
DialogFilter toQtFileFilter(const QString &classic, int selectedIndex);

/// The filter of "&Open Text File".
inline const char *const kOpenTextFileFilter =
    "All Files (*.*)|*.*|Text, XML Files (*.txt;*.xml)|*.txt;*.xml";

/// The folder the open dialog starts in: KESTREL_SAMPLES_DIR from `environment`
/// when it names an existing folder, otherwise empty (the dialog's own default).
QString GetDirectory(const QProcessEnvironment &environment);

/// Largest text file the window loads (the text box has to lay it all out).
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

/// Reads the whole file and decodes it: by its byte order mark, else from the
/// system's encoding, else line by line, each line not valid there from
/// Windows-1252.
/// Nothing when it cannot be opened or read, or is larger than `maxBytes`.
std::optional<QString> readTextFile(const QString &path, qint64 maxBytes = kMaxTextFileBytes);

} // namespace kestrel
