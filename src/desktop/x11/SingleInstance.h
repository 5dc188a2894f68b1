#pragma once

#include <QLocalServer>
#include <QString>

namespace kestrel {

class Desktop;

/// Keeps a second copy of the program from running beside the first, per user.
///
/// The guard is a listening local socket in Linux's abstract namespace, named after
/// the user id. The kernel frees such a name when its process ends, however it
/// ends, and refuses a second listener on it; a socket file in /tmp would outlive
/// a crash and can be removed and taken over by a second listener.
///
/// Threading: the user-interface thread. Ownership: the program keeps it alive as
/// long as it runs.
class SingleInstance
{
public:
    /// `name` empty: the program's own per-user name.
    explicit SingleInstance(const QString &name = {});

    /// The program's per-user guard name ("kestrel-" followed by the user id).
    static QString defaultName();

    /// Takes the guard. False when another process (or another guard of this
    /// process) already holds it.
    bool acquire();
    bool isHeld() const { return m_server.isListening(); }
    QString name() const { return m_name; }

private:
    QString m_name;
    QLocalServer m_server;
};

/// What a second instance does before it ends: bring the first one's window,
/// titled `title`, forward. Returns true when such a window was found and
/// activated; failures (the window vanished meanwhile) count as not found.
bool bringExistingInstanceForward(Desktop &desktop, const QString &title = QStringLiteral("KESTREL"));

enum class StartClaim {
    First,               ///< the guard is ours: start
    OtherBroughtForward, ///< another instance runs; its window is in front now
    OtherRunning,        ///< another instance runs, but its window was not found
};

/// Decides whether this process may start. The guard decides, not the title: a
/// file manager showing a folder named KESTREL must not keep the program from
/// starting. Only when the guard is taken is the other instance's window
/// brought forward.
StartClaim claimStart(SingleInstance &guard, Desktop &desktop,
                      const QString &title = QStringLiteral("KESTREL"));

} // namespace kestrel
