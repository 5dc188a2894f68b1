#include "speech_platform/espeak/TextPositionMap.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QList>

using namespace kestrel;

namespace {

struct WordRow
{
    const char *label;
    QString text;
    bool xml;
    int espeakPosition; // 1-based, as eSpeak reports it
    int espeakLength;
    QString expected; // the text the span selects; null: no span
};

void PrintTo(const WordRow &row, std::ostream *os)
{
    *os << row.label;
}

class WordSpanTest : public ::testing::TestWithParam<WordRow>
{
};

TEST_P(WordSpanTest, SelectsTheSpokenWord)
{
    const WordRow &row = GetParam();
    const TextPositionMap map(row.text, row.xml);
    const auto span = map.wordSpan(row.espeakPosition, row.espeakLength);
    if (row.expected.isNull()) {
        EXPECT_FALSE(span.has_value());
        return;
    }
    ASSERT_TRUE(span.has_value());
    EXPECT_EQ(row.text.mid(span->start, span->length), row.expected);
}

const QString kMarked =
    QStringLiteral("<speak>Hello <mark name=\"m1\"/>world. <mark name=\"m2\"/>Again &amp; caf\u00e9."
                   "</speak>");
const QString kEmoji = QStringLiteral("I \U0001F600 like 123 apples");

// Positions and lengths are what eSpeak NG 1.51 reported for these texts.
INSTANTIATE_TEST_SUITE_P(
    EspeakReports, WordSpanTest,
    ::testing::Values(
        WordRow{"plain first word", QStringLiteral("Hello world. This is a test."), false, 1, 5, "Hello"},
        WordRow{"plain one letter", QStringLiteral("Hello world. This is a test."), false, 22, 1, "a"},
        WordRow{"markup counted", kMarked, true, 8, 5, "Hello"},
        WordRow{"full stop taken along", kMarked, true, 31, 6, "world"},
        WordRow{"late after a dropped mark", kMarked, true, 56, 4, "Again"},
        WordRow{"entity reported at its end", kMarked, true, 65, 1, "&amp;"},
        WordRow{"accented word in markup", kMarked, true, 67, 4, QStringLiteral("caf\u00e9")},
        WordRow{"accented letters", QStringLiteral("H\u00e9llo na\u00efve caf\u00e9, done."), false, 7, 5,
                QStringLiteral("na\u00efve")},
        WordRow{"length zero", QStringLiteral("H\u00e9llo na\u00efve caf\u00e9, done."), false, 18, 0,
                QString()},
        WordRow{"position and length zero", QStringLiteral("Hello"), false, 0, 0, QString()},
        WordRow{"surrogate pair", kEmoji, false, 3, 1, QStringLiteral("\U0001F600")},
        WordRow{"after a surrogate pair", kEmoji, false, 5, 4, "like"},
        WordRow{"number", kEmoji, false, 10, 3, "123"},
        WordRow{"inside a number", kEmoji, false, 11, 3, "123"},
        WordRow{"last word", kEmoji, false, 14, 6, "apples"},
        WordRow{"money", QStringLiteral("Mr. Smith paid $45.50 on 3/4/2020"), false, 18, 5, "45.50"},
        WordRow{"abbreviation", QStringLiteral("Mr. Smith paid $45.50 on 3/4/2020"), false, 1, 2, "Mr"},
        WordRow{"on the space before", QStringLiteral("one, two. three"), false, 10, 1, "three"},
        WordRow{"apostrophe", QStringLiteral("don't stop"), false, 1, 3, "don't"},
        WordRow{"after CR LF", QStringLiteral("Line one\r\nline two"), false, 11, 4, "line"},
        WordRow{"before a mark", QStringLiteral("Hi. <mark name=\"lost\"/>there you go"), true, 4, 1,
                "there"},
        WordRow{"combining accent", QStringLiteral("cafe\u0301 ok"), false, 1, 4,
                QStringLiteral("cafe\u0301")},
        WordRow{"beyond the end", QStringLiteral("Hello"), false, 40, 3, QString()},
        WordRow{"no entities in plain text", QStringLiteral("a &amp; b"), false, 3, 5, "&amp"}));

TEST(TextPositionMapTest, PositionsCountCharactersNotUtf16Units)
{
    const TextPositionMap map(QStringLiteral("a\U0001F600b"), false);
    EXPECT_EQ(map.toTextIndex(1), 0);
    EXPECT_EQ(map.toTextIndex(2), 1);
    EXPECT_EQ(map.toTextIndex(3), 3);
    EXPECT_EQ(map.toTextIndex(4), 4);
    EXPECT_EQ(map.toTextIndex(0), 0);
    EXPECT_EQ(map.toTextIndex(99), 4);
}

TEST(TextPositionMapTest, SentencesEndAtTheirFullStop)
{
    struct Row
    {
        QString text;
        bool xml;
        int position;
        QString expected;
    };
    const QList<Row> rows{
        {QStringLiteral("Hello world. This is a test."), false, 1, QStringLiteral("Hello world.")},
        {QStringLiteral("Hello world. This is a test."), false, 13, QStringLiteral("This is a test.")},
        {QStringLiteral("No end here  "), false, 1, QStringLiteral("No end here")},
        {QStringLiteral("<speak>Hi there.</speak>"), true, 8, QStringLiteral("Hi there.")},
        {QStringLiteral("Version 1.5 is out! Next"), false, 1, QStringLiteral("Version 1.5 is out!")},
    };
    for (const Row &row : rows) {
        const TextPositionMap map(row.text, row.xml);
        const TextSpan span = map.sentenceSpan(row.position);
        EXPECT_EQ(row.text.mid(span.start, span.length), row.expected) << row.text.toStdString();
    }
}

} // namespace
