#include "settings/AtomicFile.h"

#include "common/Failure.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {
namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void failStep(const QString &step, const QString &file, int error)
{
    throw Failure(QStringLiteral("cannot %1 \"%2\": %3").arg(step, file, systemError(error)));
}

bool writeAll(int fd, const QByteArray &content)
{
    const char *data = content.constData();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// Makes the rename itself durable, not only the new file's data.
void syncDirectoryOf(const QString &file)
{
    const QByteArray directory = QFile::encodeName(QFileInfo(file).absolutePath());
    const int fd = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// A link is the user's way of keeping the file elsewhere: the file it leads to
// is the one replaced, and the link stays. The temporary goes beside that file,
// since a rename cannot cross file systems.
QString fileBehindLinks(const QString &target)
{
    QString file = target;
    // Followed one link at a time, so that a chain ending where nothing is yet
    // still ends at the name the file will have. The bound stops a loop of links.
    for (int step = 0; step < 40 && QFileInfo(file).isSymLink(); ++step)
        file = QFileInfo(file).symLinkTarget();
    return file;
}

} // namespace

void replaceFileAtomically(const QString &requestedTarget, const QString &requestedTemp,
                           const QByteArray &content)
{
    const QString target = fileBehindLinks(requestedTarget);
    const QString temp = target == requestedTarget
                             ? requestedTemp
                             : QFileInfo(target).dir().filePath(QFileInfo(requestedTemp).fileName());
    const QByteArray targetName = QFile::encodeName(target);
    const QByteArray tempName = QFile::encodeName(temp);

    struct stat old = {};
    const bool hadTarget = ::stat(targetName.constData(), &old) == 0;
    // Renaming over a write-protected file would succeed (the folder is what
    // counts) and undo the protection someone gave it on purpose.
    if (hadTarget && (old.st_mode & 0222) == 0)
        failStep(QStringLiteral("replace"), requestedTarget, EACCES);

    // The temporary must be a new file of our own. Opening an existing name would
    // write through a link left under it and overwrite the file it points to (the
    // rename then moves the link, not our content, into place), and a read-only
    // leftover of an interrupted save would refuse every later save.
    if (::unlink(tempName.constData()) != 0 && errno != ENOENT)
        failStep(QStringLiteral("create"), temp, errno);
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        failStep(QStringLiteral("create"), temp, errno);
    if (hadTarget)
        ::fchmod(fd, old.st_mode & 07777);

    bool written = writeAll(fd, content);
    int error = written ? 0 : errno;
    if (written && ::fsync(fd) != 0) {
        written = false;
        error = errno;
    }
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(tempName.constData());
        failStep(QStringLiteral("write"), temp, error);
    }
    if (std::rename(tempName.constData(), targetName.constData()) != 0) {
        error = errno;
        ::unlink(tempName.constData());
        failStep(QStringLiteral("replace"), target, error);
    }
    syncDirectoryOf(target);
}

} // namespace kestrel
