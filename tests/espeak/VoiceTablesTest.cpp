// The voice's tables and conversions: audio formats, sample conversion, rate and
// volume, phoneme visemes and the text positions of eSpeak's events.

#include "common/Failure.h"
#include "speech_platform/AudioFormats.h"
#include "speech_platform/espeak/PhonemeVisemes.h"
#include "speech_platform/espeak/SampleConverter.h"
#include "speech_platform/espeak/TextPositionMap.h"
#include "speech_platform/espeak/VoiceParameters.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

using namespace kestrel;

namespace {

TEST(AudioFormatsTest, EveryPositionHoldsItsFormatAndOnlyItsLookupsFindIt)
{
    // Nine rates, each as 8-bit mono, 8-bit stereo, 16-bit mono, 16-bit stereo;
    // the codes count on from 4 in the same order.
    const int rates[] = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
    const QList<AudioFormatInfo> all = AudioFormats::all();
    ASSERT_EQ(all.size(), 36);
    for (int position = 0; position < all.size(); ++position) {
        const AudioFormatInfo *f = AudioFormats::atPosition(position);
        ASSERT_NE(f, nullptr) << position;
        const int rate = rates[position / 4];
        const int bits = position % 4 < 2 ? 8 : 16;
        const int channels = position % 2 + 1;
        const QString name = QStringLiteral("SAFT%1kHz%2Bit%3")
                                 .arg(rate / 1000)
                                 .arg(bits)
                                 .arg(QLatin1String(channels == 2 ? "Stereo" : "Mono"));
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(QString::fromLatin1(f->name), name);
        EXPECT_EQ(f->code, position + 4);
        EXPECT_EQ(f->sampleRate, rate);
        EXPECT_EQ(f->bitsPerSample, bits);
        EXPECT_EQ(f->channels, channels);
        EXPECT_EQ(all[position].code, f->code);
        EXPECT_EQ(AudioFormats::byCode(f->code), f);
        EXPECT_EQ(AudioFormats::positionOf(f->code), position);
    }
    // eSpeak's own output needs no conversion, so it is the default.
    EXPECT_STREQ(AudioFormats::byCode(AudioFormats::DefaultCode)->name, "SAFT22kHz16BitMono");
    for (const int code : {-1, 0, 3, 40, 1000}) {
        EXPECT_EQ(AudioFormats::byCode(code), nullptr) << code;
        EXPECT_EQ(AudioFormats::positionOf(code), -1) << code;
    }
    for (const int position : {-1, 36, 100})
        EXPECT_EQ(AudioFormats::atPosition(position), nullptr) << position;
}

constexpr int kSource = 22050;

std::vector<std::int16_t> sine(double hertz, int frames)
{
    std::vector<std::int16_t> samples(static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<std::size_t>(i)] =
            static_cast<std::int16_t>(12000 * std::sin(2 * std::numbers::pi * hertz * i / kSource));
    return samples;
}

// Feeds the samples in uneven pieces, as eSpeak hands them over.
QByteArray convertInPieces(SampleConverter &converter, const std::vector<std::int16_t> &samples)
{
    QByteArray out;
    const std::size_t pieces[] = {1, 17, 1000, 1323, 4096, 77};
    std::size_t offset = 0;
    for (int i = 0; offset < samples.size(); ++i) {
        const std::size_t count = std::min(pieces[i % 6], samples.size() - offset);
        out += converter.convert(samples.data() + offset, count);
        offset += count;
    }
    return out + converter.finish();
}

// One channel of converted audio, 8-bit samples scaled to the 16-bit range.
std::vector<int> channel(const QByteArray &bytes, const AudioFormatInfo &format, int which)
{
    std::vector<int> samples;
    const int width = format.bitsPerSample / 8;
    for (qsizetype i = which * width; i + width <= bytes.size(); i += format.bytesPerFrame()) {
        std::int16_t s = static_cast<std::int16_t>((static_cast<unsigned char>(bytes[i]) - 128) * 256);
        if (width == 2)
            std::memcpy(&s, bytes.constData() + i, 2);
        samples.push_back(s);
    }
    return samples;
}

int risingZeroCrossings(const std::vector<int> &samples)
{
    int crossings = 0;
    for (std::size_t i = 1; i < samples.size(); ++i)
        crossings += samples[i - 1] < 0 && samples[i] >= 0;
    return crossings;
}

TEST(SampleConverterTest, UnsignedEightBitRoundsAroundTheMiddle)
{
    const std::pair<std::int16_t, int> rows[] = {{-32768, 0}, {-32640, 1}, {-129, 127}, {0, 128},
                                                 {127, 128},  {128, 129},  {32767, 255}};
    for (const auto &[sample, expected] : rows)
        EXPECT_EQ(SampleConverter::toUnsigned8(sample), expected) << sample;
}

TEST(SampleConverterTest, EveryFormatGetsOneSecondOfWholeFramesAtThePitchAndOnBothChannels)
{
    const std::vector<std::int16_t> second = sine(500, kSource);
    for (const AudioFormatInfo &format : AudioFormats::all()) {
        SCOPED_TRACE(format.name);
        SampleConverter converter(kSource, format);
        const QByteArray bytes = convertInPieces(converter, second);
        EXPECT_EQ(bytes.size() % format.bytesPerFrame(), 0);
        EXPECT_EQ(bytes.size() / format.bytesPerFrame(), converter.framesOut());
        EXPECT_NEAR(static_cast<double>(converter.framesOut()), format.sampleRate,
                    format.sampleRate * 0.002 + 2);
        const std::vector<int> left = channel(bytes, format, 0);
        EXPECT_NEAR(risingZeroCrossings(left), 500, 2);
        if (format.channels == 2) {
            EXPECT_EQ(channel(bytes, format, 1), left);
        }
    }
}

TEST(SampleConverterTest, NativeRatePassesSamplesThroughUnchanged)
{
    const std::vector<std::int16_t> samples{0, 1, -2, 32767, -32768, 1000};
    const AudioFormatInfo &sixteen = *AudioFormats::byCode(22);
    SampleConverter mono(kSource, sixteen);
    const QByteArray bytes = mono.convert(samples.data(), samples.size()) + mono.finish();
    ASSERT_EQ(bytes.size(), 12);
    EXPECT_EQ(bytes.mid(4, 2), QByteArray("\xFE\xFF", 2)) << "-2, little endian";
    EXPECT_EQ(channel(bytes, sixteen, 0), std::vector<int>(samples.begin(), samples.end()));

    SampleConverter stereo(kSource, *AudioFormats::byCode(21)); // 22 kHz 8-bit stereo
    const QByteArray eight = stereo.convert(samples.data(), samples.size());
    ASSERT_EQ(eight.size(), 12);
    for (std::size_t i = 0; i < samples.size(); ++i)
        EXPECT_EQ(static_cast<unsigned char>(eight[static_cast<qsizetype>(2 * i)]),
                  SampleConverter::toUnsigned8(samples[i]))
            << i;
}

TEST(SampleConverterTest, RejectsFormatsItCannotProduce)
{
    AudioFormatInfo threeChannels = *AudioFormats::byCode(22);
    threeChannels.channels = 3;
    EXPECT_THROW(SampleConverter(kSource, threeChannels), Failure);
    AudioFormatInfo twentyFourBit = *AudioFormats::byCode(22);
    twentyFourBit.bitsPerSample = 24;
    EXPECT_THROW(SampleConverter(kSource, twentyFourBit), Failure);
}

TEST(VoiceParametersTest, RateCurveMeetsEspeaksRangeByEvenStepsAndVolumeIsClamped)
{
    // Geometric on each side of normal (each step about 1.08 times slower below it,
    // 1.1 times faster above it): the rows between the ends pin that shape.
    const std::pair<int, int> rows[] = {{-10, 80}, {-5, 118}, {-1, 162}, {0, 175},  {1, 192},  {5, 281},
                                        {9, 409},  {10, 450}, {-11, 80}, {11, 450}, {-100, 80}};
    for (const auto &[rate, wpm] : rows)
        EXPECT_EQ(VoiceParameters::wordsPerMinute(rate), wpm) << rate;
    // Volume is linear up to eSpeak's normal level.
    const std::pair<int, int> volumes[] = {{0, 0}, {1, 1}, {50, 50}, {100, 100}, {101, 100}, {-1, 0}};
    for (const auto &[volume, espeak] : volumes)
        EXPECT_EQ(VoiceParameters::espeakVolume(volume), espeak) << volume;
}

TEST(PhonemeVisemesTest, StandardPhonesFallInTheirVisemeClassAndIdOrder)
{
    const std::vector<std::pair<int, std::vector<std::string>>> classes{
        {0, {"_"}},
        {1, {"ae", "ax", "ah"}},
        {2, {"aa"}},
        {3, {"ao"}},
        {4, {"ey", "eh", "uh"}},
        {5, {"er"}},
        {6, {"y", "iy", "ih", "ix"}},
        {7, {"w", "uw"}},
        {8, {"ow"}},
        {9, {"aw"}},
        {10, {"oy"}},
        {11, {"ay"}},
        {12, {"h"}},
        {13, {"r"}},
        {14, {"l"}},
        {15, {"s", "z"}},
        {16, {"sh", "ch", "jh", "zh"}},
        {17, {"th", "dh"}},
        {18, {"f", "v"}},
        {19, {"d", "t", "n"}},
        {20, {"k", "g", "ng"}},
        {21, {"p", "b", "m"}},
    };
    for (const auto &[viseme, phones] : classes) {
        for (const std::string &phone : phones)
            EXPECT_EQ(visemeOfPhone(phone), viseme) << phone;
    }
    EXPECT_EQ(visemeOfPhone("xx"), -1);
    EXPECT_EQ(visemeOfPhone(""), -1);

    const std::pair<const char *, int> ids[] = {{"_", 7}, {"A:", 10}, {"a", 11}, {"tS", 18}, {"Z", 49}};
    for (const auto &[mnemonic, id] : ids)
        EXPECT_EQ(standardPhoneForEspeak(mnemonic)->phoneId, id) << mnemonic;
}

TEST(PhonemeVisemesTest, EspeakMnemonicsMapToTheirStandardPhone)
{
    // Every phoneme the en-us voice produced for several pages of English text, a few
    // from other languages (which fall back on their base letter), and the modifiers
    // and unknown symbols that carry no mouth shape (nullptr). The viseme follows from
    // the phone, which the class table above checks.
    const std::pair<const char *, const char *> rows[] = {
        {"_:", "_"},    {"_", "_"},     {"_!", "_"},   {"@", "ax"},   {"a#", "ax"},   {"@2", "ax"},
        {"@-", "ax"},   {"a", "ae"},    {"aa", "ae"},  {"V", "ah"},   {"A:", "aa"},   {"0", "aa"},
        {"A@", "aa"},   {"O:", "ao"},   {"O@", "ao"},  {"o@", "ao"},  {"O2", "ao"},   {"eI", "ey"},
        {"E", "eh"},    {"e@", "eh"},   {"U", "uh"},   {"U@", "uh"},  {"3:", "er"},   {"3", "er"},
        {"i:", "iy"},   {"i", "iy"},    {"i@", "iy"},  {"i@3", "iy"}, {"I", "ih"},    {"I#", "ih"},
        {"I2", "ih"},   {"j", "y"},     {"w", "w"},    {"u:", "uw"},  {"oU", "ow"},   {"aU", "aw"},
        {"OI", "oy"},   {"aI", "ay"},   {"aI@", "ay"}, {"aI3", "ay"}, {"h", "h"},     {"r", "r"},
        {"r-", "r"},    {"l", "l"},     {"@L", "l"},   {"s", "s"},    {"z", "z"},     {"S", "sh"},
        {"tS", "ch"},   {"dZ", "jh"},   {"Z", "zh"},   {"T", "th"},   {"D", "dh"},    {"f", "f"},
        {"v", "v"},     {"t", "t"},     {"t#", "t"},   {"t2", "t"},   {"?", "t"},     {"d", "d"},
        {"n", "n"},     {"n-", "n"},    {"k", "k"},    {"g", "g"},    {"N", "ng"},    {"p", "p"},
        {"b", "b"},     {"m", "m"},     {"y", "y"},    {"e:", "eh"},  {"o:", "ow"},   {"x", "k"},
        {"R", "r"},     {"ts", "s"},    {"c", "k"},    {"", nullptr}, {";", nullptr}, {"#", nullptr},
        {"'", nullptr}, {"%", nullptr},
    };
    for (const auto &[mnemonic, name] : rows) {
        const StandardPhone *phone = standardPhoneForEspeak(mnemonic);
        if (!name) {
            EXPECT_EQ(phone, nullptr) << mnemonic;
            continue;
        }
        ASSERT_NE(phone, nullptr) << mnemonic;
        EXPECT_EQ(phone->name, name) << mnemonic;
    }
}

TEST(TextPositionMapTest, WordEventsSelectTheSpokenWord)
{
    const QString marked = QStringLiteral(
        "<speak>Hello <mark name=\"m1\"/>world. <mark name=\"m2\"/>Again &amp; caf\u00e9.</speak>");
    const QString accents = QStringLiteral("H\u00e9llo na\u00efve caf\u00e9, done.");
    const QString emoji = QStringLiteral("I \U0001F600 like 123 apples");
    const QString plain = QStringLiteral("Hello world. This is a test.");
    const QString money = QStringLiteral("Mr. Smith paid $45.50 on 3/4/2020");
    const QString comparison = QStringLiteral("3 < 4 and 5 > 2 ok");
    const struct
    {
        const char *label;
        QString text;
        bool xml;
        int espeakPosition; // 1-based, as eSpeak reports it
        int espeakLength;
        QString expected; // the text the span selects; null: no span
    } rows[] = {
        // Positions and lengths are what eSpeak NG 1.51 reported for these texts.
        {"plain first word", plain, false, 1, 5, "Hello"},
        {"plain one letter", plain, false, 22, 1, "a"},
        {"markup counted", marked, true, 8, 5, "Hello"},
        {"full stop taken along", marked, true, 31, 6, "world"},
        {"late after a dropped mark", marked, true, 56, 4, "Again"},
        {"entity reported at its end", marked, true, 65, 1, "&amp;"},
        {"accented word in markup", marked, true, 67, 4, QStringLiteral("caf\u00e9")},
        {"accented letters", accents, false, 7, 5, QStringLiteral("na\u00efve")},
        {"length zero", accents, false, 18, 0, QString()},
        {"surrogate pair", emoji, false, 3, 1, QStringLiteral("\U0001F600")},
        {"after a surrogate pair", emoji, false, 5, 4, "like"},
        {"number", emoji, false, 10, 3, "123"},
        {"inside a number", emoji, false, 11, 3, "123"},
        {"last word", emoji, false, 14, 6, "apples"},
        {"money", money, false, 18, 5, "45.50"},
        {"abbreviation", money, false, 1, 2, "Mr"},
        {"on the space before", QStringLiteral("one, two. three"), false, 10, 1, "three"},
        {"apostrophe", QStringLiteral("don't stop"), false, 1, 3, "don't"},
        {"after CR LF", QStringLiteral("Line one\r\nline two"), false, 11, 4, "line"},
        {"before a mark", QStringLiteral("Hi. <mark name=\"lost\"/>there you go"), true, 4, 1, "there"},
        {"combining accent", QStringLiteral("cafe\u0301 ok"), false, 1, 4, QStringLiteral("cafe\u0301")},
        {"beyond the end", QStringLiteral("Hello"), false, 40, 3, QString()},
        {"no entities in plain text", QStringLiteral("a &amp; b"), false, 3, 5, "&amp"},
        // eSpeak takes "<" for markup only before a letter, "/", "!" or "?";
        // otherwise it speaks it, and the words up to a later ">" with it.
        {"less-than spoken", comparison, true, 5, 1, "4"},
        {"word after a spoken less-than", comparison, true, 7, 3, "and"},
        {"word before a spoken greater-than", comparison, true, 11, 1, "5"},
        {"entity after a spoken less-than", QStringLiteral("a < b &amp; c"), true, 11, 1, "&amp;"},
        {"tag after a spoken less-than", QStringLiteral("1 < 2 <mark name=\"m\"/>three"), true, 23, 5, "three"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const auto span = TextPositionMap(row.text, row.xml).wordSpan(row.espeakPosition, row.espeakLength);
        if (row.expected.isNull()) {
            EXPECT_FALSE(span.has_value());
            continue;
        }
        ASSERT_TRUE(span.has_value());
        EXPECT_EQ(row.text.mid(span->start, span->length), row.expected);
    }
}

TEST(TextPositionMapTest, OnlyWholeTagsAndEntitiesMakeTheTextMarkup)
{
    const std::pair<const char *, bool> texts[] = {
        {"plain words", false},
        {"if a<b then c", false},
        {"x < y > z", false},
        {"mail <ann@x.org> today", false},
        {"AT&T and R&D", false},
        {"<speak>Hi</speak>", true},
        {"Hello <break time=\"10ms\"/> there", true},
        {"a <voice name='en'>b</voice>", true},
        {"tag <b> alone", true},
        {"x &lt; y", true},
        {"caf&#233;", true},
        {"<!-- note --> text", true},
        {"<break time=\"1s\"", false},
        // eSpeak ends a tag at its first ">", a comment too.
        {"<!-- a > b -->", false},
        {"<!DOCTYPE speak> words", true},
        {"a <_x/> b", false},
        {"<voice gender=female>hi</voice>", true},
        {"<br / > line", true},
        {"if a<b then c > d", false},
        {"a<!b then c > d", false},
        {"a<?b then c > d", false},
        {"<?xml version=\"1.0\"?><speak>x</speak>", true},
        {"<!doctype html> x", true},
        // eSpeak would drop the words of CDATA.
        {"x <![CDATA[one two]]> y", false},
    };
    for (const auto &[text, markup] : texts)
        EXPECT_EQ(holdsMarkup(QString::fromUtf8(text)), markup) << text;
}

// A text with real markup goes to eSpeak as markup, where a "<" that opens no
// whole tag would swallow the words after it, and an "&" that starts no entity
// garbles the letters after it. They go as "&lt;" and "&amp;", and eSpeak's
// positions in what it was handed still select the words of the text.
TEST(TextPositionMapTest, StrayLessThanAndAmpersandInMarkupGoEscapedAndPositionsMapBack)
{
    const struct
    {
        const char *label;
        QString text;
        bool xml;
        QString handed; // what eSpeak is given
        QString word;   // a word after the "<", looked up by its place in `handed`
    } rows[] = {
        {"comparison beside a tag", QStringLiteral("Hi <break time=\"1s\"/> if a<b then c"), true,
         QStringLiteral("Hi <break time=\"1s\"/> if a&lt;b then c"), "then"},
        {"mail address beside an entity", QStringLiteral("Tom &amp; Ann <ann@x.org> wrote"), true,
         QStringLiteral("Tom &amp; Ann &lt;ann@x.org> wrote"), "wrote"},
        {"two in a row", QStringLiteral("<s>x<<y</s> end"), true, QStringLiteral("<s>x&lt;&lt;y</s> end"),
         "end"},
        {"before a slash or a bang", QStringLiteral("a </ b <! c <p/> end"), true,
         QStringLiteral("a &lt;/ b &lt;! c <p/> end"), "end"},
        {"after a wide character", QStringLiteral("\U0001F600<x <p/> end"), true,
         QStringLiteral("\U0001F600&lt;x <p/> end"), "end"},
        {"spoken less-than left as it is", QStringLiteral("3 < 4 <p/> ok"), true,
         QStringLiteral("3 < 4 <p/> ok"), "ok"},
        {"inside a comment", QStringLiteral("<!-- a<b --> end"), true, QStringLiteral("<!-- a<b --> end"),
         "end"},
        // eSpeak ends a comment at its first ">", not at "-->".
        {"a comment with a \">\"", QStringLiteral("<!-- a > if x<y then z --> end"), true,
         QStringLiteral("&lt;!-- a > if x&lt;y then z --> end"), "then"},
        {"declaration", QStringLiteral("<!DOCTYPE speak><speak>Hi there</speak>"), true,
         QStringLiteral("<!DOCTYPE speak><speak>Hi there</speak>"), "there"},
        {"hand-written tags", QStringLiteral("<voice gender=female>a<b then</voice>"), true,
         QStringLiteral("<voice gender=female>a&lt;b then</voice>"), "then"},
        {"CDATA", QStringLiteral("x <![CDATA[one two]]> <p/> y"), true,
         QStringLiteral("x &lt;![CDATA[one two]]> <p/> y"), "two"},
        // eSpeak takes the letters after "&" for an entity's name.
        {"ampersand before letters", QStringLiteral("<p/>Q&a \u00fcber R&D"), true,
         QStringLiteral("<p/>Q&amp;a \u00fcber R&amp;D"), QStringLiteral("\u00fcber")},
        {"ampersand before an entity", QStringLiteral("Tom &&amp; Jerry <p/>"), true,
         QStringLiteral("Tom &amp;&amp; Jerry <p/>"), "Jerry"},
        {"no entity by its name", QStringLiteral("<p/>caf&\u00e9; &#x1F600; ok"), true,
         QStringLiteral("<p/>caf&amp;\u00e9; &#x1F600; ok"), "ok"},
        // eSpeak's letters are not only those of one UTF-16 unit.
        {"before a wide letter", QStringLiteral("x<\U0001D400 then y <p/>"), true,
         QStringLiteral("x&lt;\U0001D400 then y <p/>"), "then"},
        {"before a vowel sign", QStringLiteral("x<\u093F then y <p/>"), true,
         QStringLiteral("x&lt;\u093F then y <p/>"), "then"},
        {"plain text as it is", QStringLiteral("if a<b then c"), false, QStringLiteral("if a<b then c"),
         "then"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        const TextPositionMap map(row.text, row.xml);
        EXPECT_EQ(map.handedText(), row.handed);
        // eSpeak counts characters from 1, a surrogate pair as one.
        const int at =
            static_cast<int>(row.handed.left(row.handed.lastIndexOf(row.word)).toUcs4().size()) + 1;
        const auto span = map.wordSpan(at, static_cast<int>(row.word.size()));
        ASSERT_TRUE(span.has_value());
        EXPECT_EQ(span->start, row.text.lastIndexOf(row.word));
        EXPECT_EQ(row.text.mid(span->start, span->length), row.word);
    }
}

TEST(TextPositionMapTest, PositionsCountCharactersNotUtf16Units)
{
    const TextPositionMap map(QStringLiteral("a\U0001F600b"), false);
    const std::pair<int, int> rows[] = {{1, 0}, {2, 1}, {3, 3}, {4, 4}, {0, 0}, {99, 4}};
    for (const auto &[position, index] : rows)
        EXPECT_EQ(map.toTextIndex(position), index) << position;
}

TEST(TextPositionMapTest, SentencesEndAtTheirFullStop)
{
    const struct
    {
        QString text;
        bool xml;
        int position;
        QString expected;
    } rows[] = {
        {"Hello world. This is a test.", false, 1, "Hello world."},
        {"Hello world. This is a test.", false, 13, "This is a test."},
        {"No end here  ", false, 1, "No end here"},
        {"<speak>Hi there.</speak>", true, 8, "Hi there."},
        {"Version 1.5 is out! Next", false, 1, "Version 1.5 is out!"},
    };
    for (const auto &row : rows) {
        const TextSpan span = TextPositionMap(row.text, row.xml).sentenceSpan(row.position);
        EXPECT_EQ(row.text.mid(span.start, span.length), row.expected) << row.text.toStdString();
    }
}

} // namespace
