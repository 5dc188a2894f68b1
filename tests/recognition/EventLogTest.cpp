#include "recognition/EventLogLines.h"
#include "recognition/RecognitionEventLog.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

// The lines of every event are pinned through the window's event list; these
// cover what the window cannot reach.
namespace kestrel {
namespace {

TEST(EventLogLines, VariantTextWritesNumbersBooleansAndStrings)
{
    const std::pair<QVariant, QString> cases[] = {
        {QVariant(), QString()},
        {QVariant(-17), "-17"},
        {QVariant(qint64(12345678901LL)), "12345678901"},
        {QVariant(quint64(18446744073709551615ULL)), "18446744073709551615"},
        {QVariant(0.1), "0.1"},
        {QVariant(1048576.0), "1048576"},
        {QVariant(true), "True"},
        {QVariant(false), "False"},
        {QVariant(QStringLiteral("mark 7")), "mark 7"},
    };
    for (const auto &[value, expected] : cases)
        EXPECT_EQ(variantText(value), expected) << value.typeName();
}

TEST(EventLogLines, NegativeIndentAndMissingPosition)
{
    EXPECT_EQ(eventLine(-1, "PhraseStart", "", ""), "PhraseStart");
    EXPECT_EQ(eventLine(1, "SoundEnd", streamInfoText(1, QVariant()), ""),
              "    SoundEnd (StreamNum=1 StreamPos=)");
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

TEST(RecognitionEventLog, ShownMidUtteranceTheRestIsIndentedAndStreamInfoIsReadPerLine)
{
    FakeLogHost host;
    host.visible = false;
    host.streamInfo = true;
    RecognitionEventLog log(host);
    log.startStream(2, 0);
    log.soundStart(2, 10);
    host.visible = true;
    log.phraseStart(2, 20);
    host.streamInfo = false;
    log.soundEnd(2, 30);
    EXPECT_EQ(host.lines, (QStringList{"        PhraseStart (StreamNum=2 StreamPos=20)", "    SoundEnd"}));
}

} // namespace
} // namespace kestrel
