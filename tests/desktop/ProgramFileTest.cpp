// Which files a command starts as programs, and which it hands to the opener.

#include "desktop/ProgramFile.h"
#include "support/ScopedWorkingDirectory.h"

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

// A bare name is a program on the PATH, or one in the working directory, where
// the program's own files are: the check that it exists looks there too, and a
// program found there must not go to the opener (which shows a script in an
// editor) for want of a path to start it by.
TEST(ProgramFile, ABareNameIsStartedFromThePathOrTheWorkingDirectory)
{
    const test::ScopedWorkingDirectory dir(false);
    const auto write = [&dir](const char *name, const QByteArray &content, bool executable) {
        QFile file(dir.path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        if (executable) {
            ASSERT_TRUE(file.setPermissions(file.permissions() | QFile::ExeOwner));
        }
    };
    write("backup.sh", "#!/bin/sh\n", true);
    write("plain.sh", "#!/bin/sh\n", false);
    write("letter.txt", "Dear all,\n", true);
    write("sh", "#!/bin/sh\n", true); // the PATH's goes first
    const std::pair<const char *, QString> cases[] = {
        {"sh", QStringLiteral("sh")},
        {"backup.sh", dir.path("backup.sh")},
        {"plain.sh", QString()},
        {"letter.txt", QString()},
        {"no-such-program-kestrel", QString()},
        {"./backup.sh", QStringLiteral("./backup.sh")},
        {"./letter.txt", QString()},
        {"", QString()},
    };
    for (const auto &[program, started] : cases) {
        SCOPED_TRACE(program);
        EXPECT_EQ(startableProgram(QString::fromLatin1(program)), started);
    }
}

} // namespace
} // namespace kestrel
