#include "recognition/EventLogLines.h"
#include "recognition/RecognitionEventLog.h"

#include "TestPrinters.h"

#include <gtest/gtest.h>

#include <functional>

namespace kestrel {
namespace {

TEST(EventLogLines, VariantTextWritesNumbersBooleansAndStrings)
{
    const struct
    {
        QVariant value;
        QString expected;
    } cases[] = {
        {QVariant(), QString()},
        {QVariant(0), QStringLiteral("0")},
        {QVariant(-17), QStringLiteral("-17")},
        {QVariant(qint64(12345678901LL)), QStringLiteral("12345678901")},
        {QVariant(quint64(18446744073709551615ULL)), QStringLiteral("18446744073709551615")},
        {QVariant(1.5), QStringLiteral("1.5")},
        {QVariant(0.1), QStringLiteral("0.1")},
        {QVariant(1048576.0), QStringLiteral("1048576")},
        {QVariant(true), QStringLiteral("True")},
        {QVariant(false), QStringLiteral("False")},
        {QVariant(QStringLiteral("mark 7")), QStringLiteral("mark 7")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(variantText(c.value), c.expected) << c.value.typeName();
}

TEST(EventLogLines, LineIsIndentNameStreamDetails)
{
    const struct
    {
        int indent;
        QString name;
        QString stream;
        QString details;
        QString expected;
    } cases[] = {
        {0, "StartStream", "", "", "StartStream"},
        {1, "SoundStart", "", "", "    SoundStart"},
        {2, "Hypothesis", "", " [Text=a b]", "        Hypothesis [Text=a b]"},
        {0, "EndStream", streamInfoText(3, qint64(6400)), " [Stream Released=True]",
         "EndStream (StreamNum=3 StreamPos=6400) [Stream Released=True]"},
        {1, "SoundEnd", streamInfoText(1, QVariant()), "", "    SoundEnd (StreamNum=1 StreamPos=)"},
        {-1, "PhraseStart", "", "", "PhraseStart"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(eventLine(c.indent, c.name, c.stream, c.details), c.expected);
}

class FakeLogHost : public EventLogHost
{
public:
    bool visible = true;
    bool streamInfo = false;
    QStringList lines;
    bool eventLogVisible() const override { return visible; }
    bool showStreamInfo() const override { return streamInfo; }
    void appendEventLine(const QString &line) override { lines.append(line); }
};

RecognitionResult resultWithText(const QString &text, const QString &replaced)
{
    RecognitionResult result;
    result.phrase.text = text;
    result.phrase.textWithReplacements = replaced;
    return result;
}

TEST(RecognitionEventLog, HiddenWindowWritesNothingButIndentFollows)
{
    FakeLogHost host;
    host.visible = false;
    RecognitionEventLog log(host);
    const struct
    {
        std::function<void()> event;
        int indentAfter;
    } steps[] = {
        {[&] { log.startStream(1, 0); }, 1},      {[&] { log.soundStart(1, 1); }, 2},
        {[&] { log.phraseStart(1, 2); }, 2},      {[&] { log.soundEnd(1, 3); }, 1},
        {[&] { log.endStream(1, 4, false); }, 0},
    };
    for (const auto &step : steps) {
        step.event();
        EXPECT_EQ(log.eventIndent(), step.indentAfter);
    }
    EXPECT_TRUE(host.lines.isEmpty());

    // Shown in the middle of an utterance: the lines pick up the right indent.
    log.startStream(2, 0);
    log.soundStart(2, 1);
    host.visible = true;
    log.phraseStart(2, 2);
    EXPECT_EQ(host.lines, QStringList{"        PhraseStart"});
}

TEST(RecognitionEventLog, StreamInfoSwitchAffectsLaterLinesOnly)
{
    FakeLogHost host;
    host.streamInfo = true;
    RecognitionEventLog log(host);
    log.startStream(5, 10);
    host.streamInfo = false;
    log.phraseStart(5, 20);
    EXPECT_EQ(host.lines, (QStringList{"StartStream (StreamNum=5 StreamPos=10)", "    PhraseStart"}));
}

// The utterance events' own lines are pinned through the window's event list.
TEST(RecognitionEventLog, NamesAndDetailsOfTheOtherEvents)
{
    FakeLogHost host;
    RecognitionEventLog log(host);
    const RecognitionResult noise = resultWithText("uh", "uh");
    const struct
    {
        std::function<void()> event;
        QString line;
    } cases[] = {
        {[&] { log.endStream(1, 0, false); }, "EndStream [Stream Released=False]"},
        {[&] { log.recognition(1, 0, 2, "open notepad"); }, "Recognition [Text=open notepad, RecoType=2]"},
        {[&] { log.bookmark(1, 0, QVariant(QStringLiteral("here")), 0); }, "Bookmark [Data=here Option=0]"},
        {[&] { log.falseRecognition(1, 0, noise); }, "FalseRecognition [Text=uh]"},
        {[&] { log.bookmark(1, 0, QVariant(9), 2); }, "Bookmark [Data=9 Option=2]"},
        {[&] { log.propertyNumberChange(1, 0, "Gain", 3); }, "PropertyNumberChange [Name=Gain Value=3]"},
        {[&] { log.propertyStringChange(1, 0, "Mode", "x"); }, "PropertyStringChange [Name=Mode Value=x]"},
        {[&] { log.interference(1, 0, 2); }, "Interference [Value=2]"},
        {[&] { log.requestUI(1, 0, "MicTraining"); }, "RequestUI [Type=MicTraining]"},
        {[&] { log.recognizerStateChange(1, 0, 1); }, "RecognitionStateChange [NewState=1]"},
        {[&] { log.adaptation(1, 0); }, "Adaptation"},
        {[&] { log.recognitionForOtherContext(1, 0); }, "RecognitionForOtherContext"},
        {[&] { log.audioLevel(1, 0, 55); }, "AudioLevel [Level=55]"},
        {[&] { log.enginePrivate(1, 0); }, "EnginePrivate"},
    };
    for (const auto &c : cases) {
        host.lines.clear();
        c.event();
        ASSERT_EQ(host.lines.size(), 1);
        EXPECT_EQ(host.lines.first(), c.line);
    }
    EXPECT_EQ(log.eventIndent(), 0) << "only stream and sound events move the indent";
}

} // namespace
} // namespace kestrel
