#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kestrel {

/// Runs a test in a fresh temporary working directory, optionally holding a
/// command grammar file, and restores the old directory afterwards.
class ScopedWorkingDirectory
{
public:
    explicit ScopedWorkingDirectory(bool withGrammarFile) : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(m_dir.path());
        QFile file(m_dir.filePath(QStringLiteral("sol.xml")));
        if (withGrammarFile && file.open(QIODevice::WriteOnly))
            file.write("<grammar xmlns=\"http://www.w3.org/2001/06/grammar\" version=\"1.0\" root=\"r\">"
                       "<rule id=\"r\"><item>hello</item></rule></grammar>\n");
    }
    ~ScopedWorkingDirectory() { QDir::setCurrent(m_previous); }
    ScopedWorkingDirectory(const ScopedWorkingDirectory &) = delete;
    ScopedWorkingDirectory &operator=(const ScopedWorkingDirectory &) = delete;

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

} // namespace kestrel
