// Which files a command starts as programs, and which it hands to the opener.

#include "desktop/ProgramFile.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/types.h>

namespace kestrel {
namespace {

TEST(ProgramFile, OnlyAnExecutableThatBeginsAsAProgramIsOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr QFile::Permissions kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    constexpr QFile::Permissions kPlain = QFile::ReadOwner | QFile::WriteOwner;
    const struct
    {
        const char *name;
        QByteArray content;
        QFile::Permissions permissions;
        bool program;
    } cases[] = {
        {"compiled", QByteArray("\x7f" "ELF\x02\x01\x01", 7), kExecutable, true},
        {"script", "#!/bin/sh\nexit 0\n", kExecutable, true},
        // Every file on an exFAT stick or an NTFS partition carries the permission.
        {"text", "Dear all,\n", kExecutable, false},
        {"office document", QByteArray("PK\x03\x04\x14\x00", 6), kExecutable, false},
        {"empty", "", kExecutable, false},
        {"one byte", "#", kExecutable, false},
        {"script without the permission", "#!/bin/sh\n", kPlain, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
        file.close();
        ASSERT_TRUE(file.setPermissions(c.permissions));
        EXPECT_EQ(isProgramFile(path), c.program);
    }
    EXPECT_FALSE(isProgramFile(dir.path())) << "a folder";
    EXPECT_FALSE(isProgramFile(dir.filePath(QStringLiteral("missing"))));
    // A FIFO with the permission: no writer ever comes, and nothing waits for one.
    const QString fifo = dir.filePath(QStringLiteral("fifo"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0700), 0);
    EXPECT_FALSE(isProgramFile(fifo));
}

} // namespace
} // namespace kestrel
