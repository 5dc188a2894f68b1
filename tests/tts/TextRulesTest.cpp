#include "support/QtPrinters.h"

#include "tts/TextRules.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {
namespace {

TEST(FileFilter, ClassicPairsBecomeQtFilters)
{
    EXPECT_EQ(toQtFileFilter(QLatin1String(kOpenTextFileFilter), 1).selected,
              QStringLiteral("All Files (*)"));
    EXPECT_TRUE(toQtFileFilter(QLatin1String(kOpenTextFileFilter), 3).selected.isEmpty());
    EXPECT_EQ(toQtFileFilter(QStringLiteral("Pictures|*.png;*.bmp"), 1).filters,
              QStringLiteral("Pictures (*.png *.bmp)"));
}

TEST(GetDirectory, OnlyAnExistingConfiguredFolder)
{
    QTemporaryDir samples;
    ASSERT_TRUE(samples.isValid());
    // The variable's value, whether it is set at all, the folder expected.
    const std::tuple<QString, bool, QString> cases[] = {
        {QString(), false, QString()},
        {QString(), true, QString()},
        {samples.path(), true, QDir::cleanPath(samples.path())},
        {samples.path() + "/missing", true, QString()},
    };
    for (const auto &[value, set, expected] : cases) {
        QProcessEnvironment environment;
        if (set)
            environment.insert(QStringLiteral("KESTREL_SAMPLES_DIR"), value);
        EXPECT_EQ(GetDirectory(environment), expected) << qPrintable(value);
    }
}

TEST(ReadTextFile, DecodesTheSystemEncodingAndRefusesWhatItCannotRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = QStringLiteral("Caf\u00e9 na\u00efve \u00fcber\r\nline two");
    const QByteArray bytes = QStringEncoder(QStringEncoder::System)(text);
    const QString path = dir.filePath(QStringLiteral("note.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();

    EXPECT_EQ(readTextFile(path), std::optional<QString>(text));
    EXPECT_EQ(readTextFile(path, bytes.size()), std::optional<QString>(text));
    EXPECT_FALSE(readTextFile(path, bytes.size() - 1).has_value()); // too large
    EXPECT_FALSE(readTextFile(dir.filePath(QStringLiteral("missing.txt"))).has_value());
}

// Windows Notepad's "Unicode" files start with a byte order mark that names
// their encoding; read as 8-bit text they came out as letters and NULs.
TEST(ReadTextFile, AByteOrderMarkNamesTheEncoding)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = QStringLiteral("Caf\u00e9 \u20ac 5\r\nline two");
    const std::pair<const char *, QStringConverter::Encoding> cases[] = {
        {"UTF-16LE", QStringConverter::Utf16LE}, {"UTF-16BE", QStringConverter::Utf16BE},
        {"UTF-32LE", QStringConverter::Utf32LE}, {"UTF-8", QStringConverter::Utf8}};
    for (const auto &[name, encoding] : cases) {
        SCOPED_TRACE(name);
        QStringEncoder encode(encoding, QStringConverter::Flag::WriteBom);
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(encode(text));
        file.close();
        EXPECT_EQ(readTextFile(path), std::optional<QString>(text));
    }
}

// Without a byte order mark, a file that is not text in the system's own
// encoding was written on Windows in its 8-bit one: read as the former, its
// letters turned into substitution characters, and a character cut short at
// the end vanished without a trace.
TEST(ReadTextFile, EightBitTextFromWindowsKeepsItsLetters)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::pair<QByteArray, QString> cases[] = {
        {"Caf\xe9 na\xefve \xfc" "ber", QStringLiteral("Caf\u00e9 na\u00efve \u00fcber")},
        {"\x93Hi\x94 costs \x80 5", QStringLiteral("\u201cHi\u201d costs \u20ac 5")},
        {"Caf\xc3\xa9", QStringLiteral("Caf\u00e9")}, // the system's own, unchanged
        {"Caf\xc3", QStringLiteral("Caf\u00c3")},
        // Pasted together from two sources: each line as it was written.
        {"Caf\xc3\xa9\r\n\x93Hi\x94", QStringLiteral("Caf\u00e9\r\n\u201cHi\u201d")},
    };
    for (const auto &[bytes, text] : cases) {
        SCOPED_TRACE(bytes.toHex().toStdString());
        const QString path = dir.filePath(QStringLiteral("letter.txt"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        file.close();
        EXPECT_EQ(readTextFile(path), std::optional<QString>(text));
    }
}

// Picked in the file dialog: anything but a regular file blocked the whole
// program in its open (a FIFO until a writer came, a terminal until a line) or
// read without end (/dev/zero).
TEST(ReadTextFile, OnlyARegularFileIsRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    // A writer holds the other end with a line in it, so that an open that
    // waits for one returns and the test fails instead of hanging.
    const int writer = ::open(QFile::encodeName(fifo).constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "line\n", 5), 5);
    const QString zero = dir.filePath(QStringLiteral("zero.txt"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    for (const QString &path : {fifo, zero, dir.path(), QStringLiteral("/dev/null")}) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_FALSE(readTextFile(path, 1024).has_value());
    }
    ::close(writer);
}

} // namespace
} // namespace kestrel
