#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kestrel::test {

/// Runs a test in a fresh temporary working directory, where the program keeps
/// its files, and restores the old directory when it goes out of scope. Declare
/// it before anything that still uses those files while it is destroyed.
class ScopedWorkingDirectory
{
public:
    /// `withGrammarFile`: place a copy of the shipped command grammar "sol.xml" there.
    explicit ScopedWorkingDirectory(bool withGrammarFile) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        if (withGrammarFile)
            QFile::copy(QStringLiteral(KESTREL_SOURCE_DIR "/resources/sol.xml"), path("sol.xml"));
    }
    ~ScopedWorkingDirectory() { QDir::setCurrent(m_previous); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
    ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

    QString path(const char *name) const { return m_dir.filePath(QLatin1String(name)); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

} // namespace kestrel::test
