#include "common/RegularFile.h"

#include "common/Failure.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {

namespace {

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString sizeText(qint64 bytes)
{
    if (bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(bytes);
}

} // namespace

QByteArray readRegularFile(const QString &path, qint64 maxBytes)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0)
        throw Failure(systemReason(errno));
    QFile file;
    // The QFile closes the descriptor from here on, whatever happens.
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        throw Failure(file.errorString());
    }
    struct stat status = {};
    if (::fstat(descriptor, &status) != 0)
        throw Failure(systemReason(errno));
    if (!S_ISREG(status.st_mode))
        throw Failure(QStringLiteral("it is not a regular file"));
    if (status.st_size > maxBytes)
        throw Failure(QStringLiteral("it is larger than %1").arg(sizeText(maxBytes)));
    // One byte more than allowed: a file that grows meanwhile cannot slip past.
    const QByteArray bytes = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw Failure(file.errorString());
    if (bytes.size() > maxBytes)
        throw Failure(QStringLiteral("it is larger than %1").arg(sizeText(maxBytes)));
    return bytes;
}

} // namespace kestrel
