#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

namespace kestrel::test {

/// Runs pactl against the test's sound server with `args` and returns what it
/// printed (a module number, say); empty when it failed.
inline QString pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    p.waitForFinished(10000);
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace kestrel::test
