#include "desktop/ProgramFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

bool isProgramFile(const QString &path)
{
    if (!QFileInfo(path).isExecutable())
        return false;
    // Opened without waiting and checked on the descriptor: a FIFO named here
    // must not hold up the command.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat status {};
    char head[4] = {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    const ssize_t got = regular ? ::read(fd, head, sizeof head) : 0;
    ::close(fd);
    if (got >= 4 && head[0] == '\x7f' && head[1] == 'E' && head[2] == 'L' && head[3] == 'F')
        return true;
    return got >= 2 && head[0] == '#' && head[1] == '!';
}

QString startableProgram(const QString &program)
{
    if (program.contains(QLatin1Char('/')))
        return isProgramFile(program) ? program : QString();
    if (program.isEmpty())
        return QString();
    // The PATH first: a file dropped in the working directory must not stand in
    // for a system program of the same name.
    if (!QStandardPaths::findExecutable(program).isEmpty())
        return program;
    const QString here = QDir::current().absoluteFilePath(program);
    return isProgramFile(here) ? here : QString();
}

} // namespace kestrel
