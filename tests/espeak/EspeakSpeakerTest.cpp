#include "VoiceRecorder.h"

#include "speech_platform/espeak/EspeakSynthesizer.h"
#include "speech_platform/espeak/EspeakVoice.h"

#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QMediaDevices>
#include <QProcess>
#include <QRegularExpression>

#include <cmath>
#include <cstring>
#include <thread>

using namespace kestrel;

namespace {

// The sample format PulseAudio reports for this process's playback stream,
// e.g. "u8 2ch 11025Hz"; empty when there is none.
QString ourSinkInputFormat()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(10000))
        return {};
    const QString pid = QString::number(QCoreApplication::applicationPid());
    const QStringList blocks =
        QString::fromUtf8(pactl.readAllStandardOutput()).split(QStringLiteral("Sink Input #"));
    // pactl's own heading for the format line.
    const QRegularExpression sampleFormat(QStringLiteral("Sample Sp[e]cification: (\\S+ \\S+ \\S+)"));
    for (const QString &block : blocks) {
        if (block.contains(QStringLiteral("application.process.id = \"%1\"").arg(pid)))
            return sampleFormat.match(block).captured(1);
    }
    return {};
}

TEST(EspeakSpeakerTest, EveryFormatPlaysOnTheSpeakerInThatFormat)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    EspeakVoice voice;
    VoiceRecorder recorder(voice);
    QString seen;
    recorder.onEvent = [&](const VoiceEvent &e) {
        if (e.kind == "word")
            seen = ourSinkInputFormat();
    };
    for (const AudioFormatInfo &format : AudioFormats::all()) {
        SCOPED_TRACE(format.name);
        seen.clear();
        voice.setOutputFormat(format.code);
        const int stream = voice.speak(QStringLiteral("Hi."), kSpeakFlags);
        ASSERT_TRUE(recorder.waitForEnd(stream));
        const QString expected = QStringLiteral("%1 %2ch %3Hz")
                                     .arg(format.bitsPerSample == 8 ? "u8" : "s16le")
                                     .arg(format.channels)
                                     .arg(format.sampleRate);
        EXPECT_EQ(seen, expected);
        const qint64 bytes = recorder.eventsOf(stream).last().position;
        EXPECT_EQ(bytes % format.bytesPerFrame(), 0);
        // "Hi." lasts about half a second at any rate.
        const double seconds = static_cast<double>(bytes) / format.bytesPerFrame() / format.sampleRate;
        EXPECT_GT(seconds, 0.2);
        EXPECT_LT(seconds, 1.5);
    }
}

TEST(EspeakSpeakerTest, SinkThatFailsToOpenFallsBackToTheClock)
{
    if (!haveSpeaker())
        GTEST_SKIP() << "no PulseAudio speaker";
    // PulseAudio refuses a 10 MHz stream: a real failure to open.
    auto impossible = [](const QAudioDevice &device, const AudioFormatInfo &format) {
        AudioFormatInfo tooFast = format;
        tooFast.sampleRate = 10000000;
        return std::unique_ptr<StreamOutput>(std::make_unique<SinkOutput>(device, tooFast));
    };
    ASSERT_TRUE(impossible(QMediaDevices::defaultAudioOutput(), *AudioFormats::byCode(22))->failed());

    EspeakVoice voice(AudioOutputs{&QMediaDevices::audioOutputs, impossible});
    VoiceRecorder recorder(voice);
    const QString text = QStringLiteral("Still heard.");
    const int stream = voice.speak(text, kSpeakFlags);
    ASSERT_TRUE(recorder.waitForEnd(stream));
    EXPECT_EQ(recorder.wordsOf(stream, text), QStringList({"Still", "heard"}));
    EXPECT_GT(recorder.eventsOf(stream).last().position, 0);
}

// Root mean square of one stream's audio at a given volume, straight from the
// synthesiser.
double loudness(EspeakSynthesizer &synthesizer, int stream, int volume)
{
    SynthesisRequest request;
    request.stream = stream;
    request.text = QStringLiteral("Testing the volume.");
    request.voiceId = synthesizer.voices().first().id;
    request.volume = volume;
    request.format = *AudioFormats::byCode(22);
    synthesizer.submit(request);
    double sum = 0;
    qint64 samples = 0;
    for (int idle = 0; idle < 20000;) {
        std::optional<SynthesisChunk> chunk = synthesizer.take(stream);
        if (!chunk) {
            ++idle;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        for (qsizetype i = 0; i + 1 < chunk->audio.size(); i += 2) {
            std::int16_t s;
            std::memcpy(&s, chunk->audio.constData() + i, 2);
            sum += static_cast<double>(s) * s;
            ++samples;
        }
        if (chunk->last)
            return samples ? std::sqrt(sum / samples) : 0;
    }
    ADD_FAILURE() << "stream " << stream << " never finished";
    return 0;
}

TEST(EspeakSynthesizerTest, VolumeScalesTheSamples)
{
    EspeakSynthesizer synthesizer([] {});
    const double full = loudness(synthesizer, 1, 100);
    const double quarter = loudness(synthesizer, 2, 25);
    const double silent = loudness(synthesizer, 3, 0);
    ASSERT_GT(full, 500);
    EXPECT_NEAR(full / quarter, 4.0, 1.0);
    EXPECT_LT(silent, full / 50);
}

TEST(EspeakSynthesizerTest, CancelledStreamsAreNeverHandedOut)
{
    EspeakSynthesizer synthesizer([] {});
    SynthesisRequest request;
    request.text = QStringLiteral("A sentence that would take a while to say out loud.");
    request.voiceId = synthesizer.voices().first().id;
    request.format = *AudioFormats::byCode(22);
    for (int stream = 1; stream <= 3; ++stream) {
        request.stream = stream;
        synthesizer.submit(request);
    }
    synthesizer.cancelThrough(2);
    EXPECT_FALSE(synthesizer.take(1).has_value());
    EXPECT_FALSE(synthesizer.take(2).has_value());
    EXPECT_GT(loudness(synthesizer, 4, 100), 0) << "the worker still serves later streams";
}

} // namespace
