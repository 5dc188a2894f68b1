#include "desktop/x11/ProgramStarts.h"

#include "desktop/ProgramFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <utility>

#include <unistd.h>

namespace kestrel::x11 {

namespace {

constexpr int kStartMs = 5000;

Desktop::StartResult failed(std::int64_t code, const QString &description)
{
    Desktop::StartResult result;
    result.value = code;
    result.description = description;
    return result;
}

bool hasUrlScheme(const QString &target)
{
    // Two letters at least, so that a single-letter prefix is never taken for one.
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]+:"));
    return scheme.match(target).hasMatch();
}

// The launch checks a relative path from this program's own working directory;
// the start takes the file found there, whatever folder the program is to work
// in (it would take another file, or none, once started in that folder).
QString foundFromHere(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

ProgramStarter::ProgramStarter(QString opener) : m_opener(std::move(opener)) {}

Desktop::StartResult ProgramStarter::startProgram(const QString &program, const QStringList &arguments,
                                                  const QString &workingDirectory)
{
    if (program.isEmpty())
        return failed(kFileNotFound, QStringLiteral("No program was named."));
    if (!workingDirectory.isEmpty() && !QFileInfo(workingDirectory).isDir())
        return failed(kPathNotFound,
                      QStringLiteral("The folder \"%1\" does not exist.").arg(workingDirectory));

    if (!program.contains(QLatin1Char('/'))) {
        // The launch finds a bare name in the working directory too.
        const QString startable = startableProgram(program);
        if (startable.isEmpty())
            return failed(kFileNotFound,
                          QStringLiteral("The program \"%1\" is not on the PATH.").arg(program));
        return launch(startable, arguments, workingDirectory, false);
    }
    const QFileInfo info(foundFromHere(program));
    if (!info.exists())
        return failed(kFileNotFound, QStringLiteral("The program \"%1\" does not exist.").arg(program));
    if (info.isDir() || !info.isExecutable())
        return failed(kAccessDenied, QStringLiteral("\"%1\" is not an executable program.").arg(program));
    return launch(info.absoluteFilePath(), arguments, workingDirectory, false);
}

Desktop::StartResult ProgramStarter::open(const QString &target, const QString &workingDirectory)
{
    if (target.isEmpty())
        return failed(kFileNotFound, QStringLiteral("Nothing was named to open."));
    if (!workingDirectory.isEmpty() && !QFileInfo(workingDirectory).isDir())
        return failed(kPathNotFound,
                      QStringLiteral("The folder \"%1\" does not exist.").arg(workingDirectory));
    if (QStandardPaths::findExecutable(m_opener).isEmpty() && !QFileInfo(m_opener).isExecutable())
        return failed(kStartFailed, QStringLiteral("The opener \"%1\" is not installed.").arg(m_opener));

    QString argument = target;
    if (target.startsWith(QLatin1String("www."), Qt::CaseInsensitive)) {
        argument = QLatin1String("http://") + target;
    } else if (!hasUrlScheme(target)) {
        const QString path = foundFromHere(target);
        if (!QFileInfo::exists(path))
            return failed(kFileNotFound, QStringLiteral("\"%1\" does not exist.").arg(target));
        argument = QFileInfo(path).absoluteFilePath();
    }

    return launch(m_opener, {argument}, workingDirectory, true);
}

Desktop::StartResult ProgramStarter::launch(const QString &program, const QStringList &arguments,
                                            const QString &workingDirectory, bool quietOutput)
{
    // Never given a parent, and deleted only once it has ended: destroying a
    // running QProcess would end the program the user started (or, for an
    // opener that waits, the program it opened).
    auto *process = new QProcess;
    process->setProgram(program);
    process->setArguments(arguments);
    if (!workingDirectory.isEmpty())
        process->setWorkingDirectory(workingDirectory);
    process->setStandardInputFile(QProcess::nullDevice());
    if (quietOutput) {
        process->setStandardOutputFile(QProcess::nullDevice());
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    } else {
        process->setProcessChannelMode(QProcess::ForwardedChannels);
    }
    // A session of its own, as a detached start has: the hang-up of the
    // terminal KESTREL was started from must not end the started program.
    process->setChildProcessModifier([] { ::setsid(); });
    process->start();
    if (!process->waitForStarted(kStartMs)) {
        const QString why = process->errorString();
        // A process that did not start has nothing left to end.
        delete process;
        return failed(kStartFailed, QStringLiteral("Could not start \"%1\": %2").arg(program, why));
    }
    const qint64 pid = process->processId();
    *m_latest = Latest{pid, false};
    QObject::connect(process, &QProcess::finished, process,
                     [process, pid, latest = m_latest](int exitCode, QProcess::ExitStatus status) {
                         if (latest->processId == pid && (status != QProcess::NormalExit || exitCode != 0))
                             latest->failed = true;
                         process->deleteLater();
                     });
    Desktop::StartResult result;
    result.value = kStarted;
    result.processId = pid;
    return result;
}

bool ProgramStarter::endedInFailure(qint64 processId) const
{
    return processId != 0 && m_latest->processId == processId && m_latest->failed;
}

bool fileMatches(const QString &pattern)
{
    if (pattern.isEmpty())
        return false;
    const int slash = pattern.lastIndexOf(QLatin1Char('/'));
    const QString name = pattern.mid(slash + 1);
    const bool wild = name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));

    if (!wild) {
        if (QFileInfo::exists(pattern))
            return true;
    } else {
        const QString directory = slash < 0 ? QStringLiteral(".") : pattern.left(slash + 1);
        // Name filters treat "[" as the start of a character class; here it is a
        // plain character, as in the file names users have.
        QString filter = name;
        filter.replace(QLatin1Char('['), QLatin1String("[[]"));
        // One filter as a list: a filter string would be split at blanks and ";".
        QDir dir(directory);
        dir.setNameFilters({filter});
        dir.setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System |
                      QDir::CaseSensitive);
        if (dir.exists() && !dir.entryList().isEmpty())
            return true;
    }
    return slash < 0 && !wild && !QStandardPaths::findExecutable(pattern).isEmpty();
}

bool isDirectory(const QString &path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace kestrel::x11
