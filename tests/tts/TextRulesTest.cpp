#include "support/QtPrinters.h"

#include "tts/TextRules.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

} // namespace
} // namespace kestrel
