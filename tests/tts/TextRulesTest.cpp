#include "tts/TextRules.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

TEST(TextBoxForm, LineBreaksAndSpacesAsTheBoxKeepsThem)
{
    const struct
    {
        QString in;
        QString out;
    } cases[] = {
        {"plain", "plain"},
        {"a\r\nb", "a\nb"},
        {"a\rb\r", "a\nb\n"},
        {"a\r\r\nb", "a\n\nb"},
        {QString("a") + QChar(0x2029) + "b" + QChar(0x2028) + "c", "a\nb\nc"},
        {QString("no") + QChar(0xa0) + "break", "no break"},
        {"tab\tstays", "tab\tstays"},
        {"", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(textBoxForm(c.in), c.out) << qPrintable(c.in);
}

TEST(ClipboardRule, SpeaksNewTextOrWhenAsked)
{
    const struct
    {
        int monitor;
        QString clipboard, box;
        bool speakNow, speaks;
    } cases[] = {
        {1, "hello", "hello", false, false}, // nothing new
        {1, "hello", "hello", true, true},   // asked to speak again
        {1, "new", "hello", false, true},
        {1, "", "hello", false, true},       // emptied: the box follows (and says nothing)
        {1, "a\r\nb", "a\nb", false, false}, // the box's own form of the same text
        {1, "Hello", "hello", false, true},  // case counts
        {0, "new", "hello", true, false},    // monitor off
        {2, "new", "hello", true, false},    // greyed is not ticked
    };
    for (const auto &c : cases)
        EXPECT_EQ(clipboardWantsSpeaking(c.monitor, c.clipboard, c.box, c.speakNow), c.speaks)
            << c.monitor << " " << qPrintable(c.clipboard) << " / " << qPrintable(c.box);
}

TEST(FileFilter, ClassicPairsBecomeQtFilters)
{
    const DialogFilter open = toQtFileFilter(QLatin1String(kOpenTextFileFilter), 2);
    EXPECT_EQ(open.filters, QStringLiteral("All Files (*);;Text, XML Files (*.txt *.xml)"));
    EXPECT_EQ(open.selected, QStringLiteral("Text, XML Files (*.txt *.xml)"));
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
    const struct
    {
        QString value;
        bool set;
        QString expected;
    } cases[] = {
        {QString(), false, QString()},
        {QString(), true, QString()},
        {samples.path(), true, QDir::cleanPath(samples.path())},
        {samples.path() + "/missing", true, QString()},
    };
    for (const auto &c : cases) {
        QProcessEnvironment environment;
        if (c.set)
            environment.insert(QStringLiteral("KESTREL_SAMPLES_DIR"), c.value);
        EXPECT_EQ(GetDirectory(environment), c.expected) << qPrintable(c.value);
    }
}

TEST(ReadTextFile, DecodesTheSystemEncodingAndRefusesWhatItCannotRead)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString text = QStringLiteral("Caf\u00e9 na\u00efve \u00fcber\r\nline two");
    QStringEncoder encode(QStringEncoder::System);
    const QByteArray bytes = encode(text);
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
