// Programs started detached, and the guard that keeps a second KESTREL from running.
#include "desktop/x11/ProgramStarts.h"
#include "desktop/x11/SingleInstance.h"
#include "support/RecordingDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <optional>
#include <unistd.h>

namespace kestrel::x11 {
namespace {

void writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size())
        << path.toStdString();
    file.setPermissions(file.permissions() | (executable ? QFile::ExeOwner : QFile::Permissions()));
}

/// Waits (bounded) for a file that a detached child writes, and returns its content.
QByteArray awaitFile(const QString &path)
{
    QByteArray content;
    for (QDeadlineTimer deadline(10000); !content.endsWith('\n') && !deadline.hasExpired();
         QThread::msleep(20)) {
        QFile file(path);
        content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return content;
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

TEST_F(ProgramStarts, FilesAndDirectoriesAreFound)
{
    using M = std::pair<QString, bool>;
    const QString dir = m_dir.path() + '/';
    const M files[] = {M{dir + "doc.txt", true}, M{dir + "*.txt", true}, M{dir + "d?c.txt", true},
                       M{dir + "d??c.txt", false}, M{dir + "*.pdf", false}, M{dir + "DOC.TXT", false},
                       M{dir + "D*.txt", false}, M{dir + "my file [1]*", true},
                       M{dir + "my file [1].txt", true}, M{dir + "sub", true}, M{dir + "s*", true},
                       M{dir + "missing/*.txt", false},
                       // A bare name is looked for on the PATH.
                       M{"sh", true}, M{"no-such-program-kestrel", false}, M{QString(), false}};
    for (const auto &[pattern, matches] : files)
        EXPECT_EQ(fileMatches(pattern), matches) << pattern.toStdString();
    const M directories[] = {M{m_dir.path(), true}, M{path("sub"), true}, M{path("doc.txt"), false},
                             M{path("missing"), false}, M{QString(), false}};
    for (const auto &[name, isDir] : directories)
        EXPECT_EQ(isDirectory(name), isDir) << name.toStdString();
}

TEST_F(ProgramStarts, FailuresAreBelowThirtyThreeWithADescription)
{
    using F = std::tuple<QString, QString, std::int64_t>; // program, working directory, result
    const F cases[] = {F{"no-such-program-kestrel", QString(), kFileNotFound},
                       F{path("missing.sh"), QString(), kFileNotFound},
                       F{QString(), QString(), kFileNotFound}, F{path("doc.txt"), QString(), kAccessDenied},
                       F{path("sub"), QString(), kAccessDenied},
                       // A relative program is found in the working directory.
                       F{"sh", path("missing"), kPathNotFound}, F{"./doc.txt", m_dir.path(), kAccessDenied}};
    for (const auto &[program, workingDirectory, expected] : cases) {
        const auto result = startDetached(program, {}, workingDirectory);
        EXPECT_EQ(result.value, expected) << program.toStdString();
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.description.isEmpty()) << program.toStdString();
    }
    EXPECT_EQ(openDetached(path("missing.txt"), QString(), path("record.sh")).value, kFileNotFound);
    EXPECT_EQ(openDetached(QString(), QString(), path("record.sh")).value, kFileNotFound);
    EXPECT_EQ(openDetached("doc.txt", path("missing"), path("record.sh")).value, kPathNotFound);
    EXPECT_EQ(openDetached(path("doc.txt"), QString(), "no-such-opener-kestrel").value, kStartFailed);
}

TEST_F(ProgramStarts, StartsWithArgumentsAndNoShell)
{
    const auto result = startDetached("./record.sh", {"a b", "$HOME;echo x", "*"}, m_dir.path());
    ASSERT_TRUE(result.ok()) << result.description.toStdString();
    EXPECT_EQ(result.value, kStarted);
    EXPECT_GT(result.processId, 0);
    EXPECT_EQ(awaitFile(path("out.txt")), QByteArray("a b\n$HOME;echo x\n*\n"));
}

TEST_F(ProgramStarts, OpenerReceivesTheResolvedTarget)
{
    using O = std::tuple<QString, QString, QString>; // target, working directory, what the opener gets
    const O cases[] = {O{"doc.txt", m_dir.path(), path("doc.txt")},
                       O{path("my file [1].txt"), QString(), path("my file [1].txt")},
                       // Web and mail addresses go as they are; "www." gets its scheme.
                       O{"https://example.org/a?b=c", QString(), "https://example.org/a?b=c"},
                       O{"www.example.org", QString(), "http://www.example.org"},
                       O{"mailto:someone@example.org", QString(), "mailto:someone@example.org"}};
    for (const auto &[target, workingDirectory, expected] : cases) {
        QFile::remove(path("out.txt"));
        const auto result = openDetached(target, workingDirectory, path("record.sh"));
        ASSERT_TRUE(result.ok()) << target.toStdString() << ": " << result.description.toStdString();
        EXPECT_EQ(awaitFile(path("out.txt")), expected.toUtf8() + '\n') << target.toStdString();
    }
}

QString uniqueName(const char *suffix)
{
    return "kestrel-test-" + QString::number(QCoreApplication::applicationPid()) + '-' + suffix;
}

TEST(SingleInstance, SecondGuardOnTheSameNameIsRefusedUntilTheFirstEnds)
{
    EXPECT_EQ(SingleInstance::defaultName(), QStringLiteral("kestrel-%1").arg(getuid())) << "one per user";
    const QString name = uniqueName("guard");
    std::optional<SingleInstance> first(name);
    ASSERT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire()) << "taking a held guard again is harmless";
    // No file is left that another listener could take over.
    EXPECT_FALSE(QFile::exists(QDir::temp().filePath(name)));
    EXPECT_FALSE(QFile::exists(name));

    SingleInstance second(name);
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isHeld());

    SingleInstance other(uniqueName("other"));
    EXPECT_TRUE(other.acquire()) << "another name is another guard";

    first.reset();
    SingleInstance third(name);
    EXPECT_TRUE(third.acquire()) << "the name is free again once its holder is gone";
}

TEST(BringExistingInstanceForward, ActivatesOnlyTheWindowTitledExactlyKestrel)
{
    test::RecordingDesktop desktop;
    for (WindowId window : {7, 42, 43})
        desktop.addWindow(window);
    desktop.setWindowTitle(7, "KESTREL - other");
    desktop.setWindowTitle(43, "kestrel");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
    EXPECT_TRUE(desktop.actions().isEmpty());

    desktop.setWindowTitle(42, "KESTREL");
    EXPECT_TRUE(bringExistingInstanceForward(desktop));
    EXPECT_EQ(desktop.actions(), QStringList{"activate 0x2a"});

    // A window that goes while it is brought forward is no instance to defer to.
    desktop.failOn("activate", "gone");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
}

} // namespace
} // namespace kestrel::x11
