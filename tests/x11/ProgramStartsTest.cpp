#include "desktop/x11/ProgramStarts.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace kestrel::x11 {
namespace {

void writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
    file.close();
    if (executable)
        file.setPermissions(file.permissions() | QFile::ExeOwner);
}

/// Waits (bounded) for a file that a detached child writes, and returns its content.
QByteArray awaitFile(const QString &path)
{
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray content = file.readAll();
            if (content.endsWith('\n'))
                return content;
        }
        QThread::msleep(20);
    }
    return "<never written>";
}

class ProgramStarts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        writeFile(path("doc.txt"), "x");
        writeFile(path("my file [1].txt"), "x");
        QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
        // Prints each argument on a line of its own, so blanks and shell characters
        // in arguments show whether a shell took part.
        writeFile(path("record.sh"),
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT\"\n", true);
        qputenv("OUT", path("out.txt").toLocal8Bit());
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_dir;
};

TEST_F(ProgramStarts, FileMatchesPatterns)
{
    struct Case
    {
        QString pattern;
        bool expected;
    };
    const QString dir = m_dir.path() + QLatin1Char('/');
    const Case cases[] = {
        {dir + QStringLiteral("doc.txt"), true},
        {dir + QStringLiteral("*.txt"), true},
        {dir + QStringLiteral("d?c.txt"), true},
        {dir + QStringLiteral("d??c.txt"), false},
        {dir + QStringLiteral("*.pdf"), false},
        {dir + QStringLiteral("DOC.TXT"), false},
        {dir + QStringLiteral("D*.txt"), false},
        {dir + QStringLiteral("my file [1]*"), true},
        {dir + QStringLiteral("my file [1].txt"), true},
        {dir + QStringLiteral("sub"), true},
        {dir + QStringLiteral("s*"), true},
        {dir + QStringLiteral("missing/*.txt"), false},
        {QStringLiteral("sh"), true},
        {QStringLiteral("no-such-program-kestrel"), false},
        {QString(), false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(fileMatches(c.pattern), c.expected) << c.pattern.toStdString();
}

TEST_F(ProgramStarts, DirectoryExists)
{
    EXPECT_TRUE(isDirectory(m_dir.path()));
    EXPECT_TRUE(isDirectory(path("sub")));
    EXPECT_FALSE(isDirectory(path("doc.txt")));
    EXPECT_FALSE(isDirectory(path("missing")));
    EXPECT_FALSE(isDirectory(QString()));
}

TEST_F(ProgramStarts, FailuresAreBelowThirtyThreeWithADescription)
{
    struct Case
    {
        QString program;
        QString workingDirectory;
        std::int64_t expected;
    };
    const Case cases[] = {
        {QStringLiteral("no-such-program-kestrel"), QString(), kFileNotFound},
        {path("missing.sh"), QString(), kFileNotFound},
        {QString(), QString(), kFileNotFound},
        {path("doc.txt"), QString(), kAccessDenied},
        {path("sub"), QString(), kAccessDenied},
        {QStringLiteral("sh"), path("missing"), kPathNotFound},
        {QStringLiteral("./doc.txt"), m_dir.path(), kAccessDenied},
    };
    for (const Case &c : cases) {
        const auto result = startDetached(c.program, {}, c.workingDirectory);
        EXPECT_EQ(result.value, c.expected) << c.program.toStdString();
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.description.isEmpty()) << c.program.toStdString();
    }
}

TEST_F(ProgramStarts, StartsWithArgumentsAndNoShell)
{
    const auto result = startDetached(
        QStringLiteral("./record.sh"),
        {QStringLiteral("a b"), QStringLiteral("$HOME;echo x"), QStringLiteral("*")}, m_dir.path());
    ASSERT_TRUE(result.ok()) << result.description.toStdString();
    EXPECT_EQ(result.value, kStarted);
    EXPECT_GT(result.processId, 0);
    EXPECT_EQ(awaitFile(path("out.txt")), QByteArray("a b\n$HOME;echo x\n*\n"));
}

TEST_F(ProgramStarts, OpenerReceivesTheResolvedTarget)
{
    struct Case
    {
        QString target;
        QString workingDirectory;
        QString expected;
    };
    const Case cases[] = {
        {QStringLiteral("doc.txt"), m_dir.path(), path("doc.txt")},
        {path("my file [1].txt"), QString(), path("my file [1].txt")},
        {QStringLiteral("https://example.org/a?b=c"), QString(), QStringLiteral("https://example.org/a?b=c")},
        {QStringLiteral("www.example.org"), QString(), QStringLiteral("http://www.example.org")},
        {QStringLiteral("mailto:someone@example.org"), QString(),
         QStringLiteral("mailto:someone@example.org")},
    };
    for (const Case &c : cases) {
        QFile::remove(path("out.txt"));
        const auto result = openDetached(c.target, c.workingDirectory, path("record.sh"));
        ASSERT_TRUE(result.ok()) << c.target.toStdString() << ": " << result.description.toStdString();
        EXPECT_EQ(awaitFile(path("out.txt")), c.expected.toUtf8() + '\n') << c.target.toStdString();
    }
}

TEST_F(ProgramStarts, OpenRefusesWhatCannotBeOpened)
{
    EXPECT_EQ(openDetached(path("missing.txt"), QString(), path("record.sh")).value, kFileNotFound);
    EXPECT_EQ(openDetached(QString(), QString(), path("record.sh")).value, kFileNotFound);
    EXPECT_EQ(openDetached(QStringLiteral("doc.txt"), path("missing"), path("record.sh")).value,
              kPathNotFound);
    EXPECT_EQ(openDetached(path("doc.txt"), QString(), QStringLiteral("no-such-opener-kestrel")).value,
              kStartFailed);
}

} // namespace
} // namespace kestrel::x11
