#pragma once

#include <QString>

namespace kestrel {

/// Every dialog box of the program goes through this service, so tests can answer
/// them and read what was shown. The title is passed explicitly ("KESTREL" for the
/// main window's messages; an empty title means the program's default title).
class MessageBoxes
{
public:
    enum class Icon { None, Information, Critical };
    enum class Answer { Ok, Yes, No };

    virtual ~MessageBoxes() = default;

    /// A message with an OK button.
    virtual void inform(const QString &title, const QString &text, Icon icon = Icon::None) = 0;

    /// A question with Yes and No buttons; returns Yes or No.
    virtual Answer ask(const QString &title, const QString &text) = 0;

    /// News that comes while the user works in another program (the microphone
    /// went away). It neither waits for an answer nor takes the keyboard from
    /// the window in front, where commands go on typing. One at a time: a newer
    /// notice replaces one still open.
    virtual void notify(const QString &title, const QString &text, Icon icon) = 0;
    /// Closes the notice still open, if any: its news no longer holds.
    virtual void withdrawNotice() = 0;
};

/// The program's name, used as the title of its message boxes.
inline const QString &programTitle()
{
    static const QString title = QStringLiteral("KESTREL");
    return title;
}

} // namespace kestrel
