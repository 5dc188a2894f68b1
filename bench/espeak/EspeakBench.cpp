// Figures for the voice: how soon speech starts and what it costs, beside the
// espeak-ng command speaking the same text, and what preparing a long pasted
// text costs before it is spoken. Run under the test session's
// PulseAudio daemon for the device figures:
//   source scripts/desktop-session.sh; kestrel_start_pulse
//   <build>/bench/espeak/kestrel_espeak_bench
#include "speech_platform/espeak/EspeakSynthesizer.h"
#include "speech_platform/espeak/EspeakVoice.h"
#include "speech_platform/espeak/TextPositionMap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMediaDevices>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

using namespace kestrel;

namespace {

const char *kShort = "Executing open notepad";
const char *kLong =
    "The quick brown fox jumps over the lazy dog. Speech synthesis turns written text into sound, one "
    "phoneme at a time, and the listener hears words, sentences and the pauses between them. This "
    "paragraph is long enough to give a steady figure for the cost of every second of speech.";
constexpr int kRuns = 15;

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Summary
{
    double median;
    double p90;
    double worst;
};

Summary summarise(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2], values[values.size() * 9 / 10], values.back()};
}

void printLatency(const char *what, const std::vector<double> &ms)
{
    const Summary s = summarise(ms);
    std::printf("%-46s median %7.2f ms   p90 %7.2f ms   max %7.2f ms   (%zu runs)\n", what, s.median, s.p90,
                s.worst, ms.size());
}

// Runs the event loop (sleeping while idle) until `done` holds.
void runUntil(const std::function<bool()> &done)
{
    while (!done())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// speak() to startStream, which the voice emits right after it has handed the
// stream's first samples to the device (or to its clock).
std::vector<double> voiceStartLatency(EspeakVoice &voice, int formatCode)
{
    voice.setOutputFormat(formatCode);
    std::vector<double> ms;
    QElapsedTimer timer;
    int ended = 0;
    auto onStart = QObject::connect(&voice, &VoiceEngine::startStream,
                                    [&](int, qint64) { ms.push_back(timer.nsecsElapsed() / 1e6); });
    auto onEnd = QObject::connect(&voice, &VoiceEngine::endStream, [&](int, qint64) { ++ended; });
    for (int run = 0; run < kRuns; ++run) {
        timer.start();
        voice.speak(QString::fromLatin1(kShort), VoiceEngine::Async | VoiceEngine::IsXml);
        runUntil([&] { return ended > run; });
    }
    QObject::disconnect(onStart);
    QObject::disconnect(onEnd);
    return ms;
}

// CPU time while the voice speaks a paragraph, per second of the stream.
void voicePlaybackCost(EspeakVoice &voice, const char *what)
{
    voice.setOutputFormat(AudioFormats::DefaultCode);
    bool ended = false;
    qint64 bytes = 0;
    auto onEnd = QObject::connect(&voice, &VoiceEngine::endStream, [&](int, qint64 position) {
        ended = true;
        bytes = position;
    });
    const double cpuBefore = processCpuSeconds();
    voice.speak(QString::fromLatin1(kLong), VoiceEngine::Async | VoiceEngine::IsXml);
    runUntil([&] { return ended; });
    const double cpu = processCpuSeconds() - cpuBefore;
    const double seconds = static_cast<double>(bytes) / 2 / 22050;
    QObject::disconnect(onEnd);
    std::printf("%-46s %6.2f ms CPU per second of speech (%.1f s spoken)\n", what, cpu * 1000 / seconds,
                seconds);
}

// Synthesis and conversion alone, as fast as the worker goes.
void synthesisCost(EspeakSynthesizer &synthesizer, int formatCode, int stream)
{
    const AudioFormatInfo &format = *AudioFormats::byCode(formatCode);
    SynthesisRequest request;
    request.stream = stream;
    request.text = QString::fromLatin1(kLong);
    request.isXml = true;
    request.voiceId = synthesizer.voices().first().id;
    request.format = format;
    const double cpuBefore = processCpuSeconds();
    synthesizer.submit(request);
    qint64 frames = 0;
    for (;;) {
        std::optional<SynthesisChunk> chunk = synthesizer.take(stream);
        if (!chunk) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
            continue;
        }
        frames += chunk->outputFrames;
        if (chunk->last)
            break;
    }
    const double cpu = processCpuSeconds() - cpuBefore;
    const double seconds = static_cast<double>(frames) / format.sampleRate;
    std::printf("synthesis + conversion to %-20s %6.2f ms CPU per second of speech\n", format.name,
                cpu * 1000 / seconds);
}

// The command line program: start to first byte of audio on stdout, and its CPU
// per second of the audio it wrote.
void commandLine(const char *text, const char *what)
{
    std::vector<double> ms;
    double cpu = 0;
    double seconds = 0;
    for (int run = 0; run < kRuns; ++run) {
        const std::string command = std::string("espeak-ng -v en-us --stdout '") + text + "'";
        const double cpuBefore = childCpuSeconds();
        QElapsedTimer timer;
        timer.start();
        FILE *pipe = popen(command.c_str(), "r");
        if (!pipe)
            return;
        char buffer[65536];
        std::size_t total = std::fread(buffer, 1, 1, pipe);
        ms.push_back(timer.nsecsElapsed() / 1e6);
        while (const std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            total += n;
        pclose(pipe);
        cpu += childCpuSeconds() - cpuBefore;
        seconds += static_cast<double>(total - 44) / 2 / 22050; // 16-bit mono WAV after its header
    }
    printLatency(what, ms);
    std::printf("%-46s %6.2f ms CPU per second of speech (incl. process start)\n", "  espeak-ng --stdout",
                cpu * 1000 / seconds);
}

// Before a text is spoken it is searched for markup and, as markup, mapped:
// pasted text of a megabyte or more, full of "<" that close nothing, must not
// hold the voice up.
void markupCost()
{
    constexpr int kCharacters = 1 << 20;
    const struct
    {
        const char *what;
        QString piece;
    } texts[] = {
        {"plain sentences", QStringLiteral("Hello world, this is text. ")},
        {"tags and words", QStringLiteral("<break time=\"1ms\"/> word ")},
        {"unclosed comments", QStringLiteral("<!--x ")},
        {"stray \"<\" before letters", QStringLiteral("a<b ")},
        {"unclosed attributes", QStringLiteral("<a b=\"c ")},
        {"stray \"&\" before letters", QStringLiteral("Q&a ")},
    };
    for (const auto &text : texts) {
        // One real tag, last, so the whole text is searched and then mapped.
        const QString whole = text.piece.repeated(kCharacters / text.piece.size()) + QStringLiteral("<p/>");
        QElapsedTimer timer;
        timer.start();
        const bool markup = holdsMarkup(whole);
        const TextPositionMap map(whole, markup);
        const qsizetype handed = map.handedText().size();
        std::printf("markup check and map of 1 MiB of %-24s %7.1f ms (%lld characters handed)\n", text.what,
                    timer.nsecsElapsed() / 1e6, static_cast<long long>(handed));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool speaker =
        qEnvironmentVariableIsSet("PULSE_SERVER") && !QMediaDevices::audioOutputs().isEmpty();
    std::printf("text: \"%s\"\n", kShort);
    {
        EspeakVoice clockVoice(AudioOutputs{[] { return QList<QAudioDevice>{}; }});
        printLatency("speak() -> first samples (clock, 22 kHz)", voiceStartLatency(clockVoice, 22));
        printLatency("speak() -> first samples (clock, 48 kHz st.)", voiceStartLatency(clockVoice, 39));
        voicePlaybackCost(clockVoice, "voice on the clock, 22 kHz 16-bit mono");
    }
    if (speaker) {
        EspeakVoice voice;
        printLatency("speak() -> first samples to device (22 kHz)", voiceStartLatency(voice, 22));
        printLatency("speak() -> first samples to device (48 kHz st.)", voiceStartLatency(voice, 39));
        voicePlaybackCost(voice, "voice on the device, 22 kHz 16-bit mono");
    } else {
        std::printf("(no PulseAudio speaker: device figures skipped)\n");
    }
    {
        EspeakSynthesizer synthesizer([] {});
        int stream = 0;
        for (const int code : {22, 4, 26, 38, 39})
            synthesisCost(synthesizer, code, ++stream);
    }
    commandLine(kShort, "espeak-ng --stdout start -> first byte");
    commandLine(kLong, "espeak-ng --stdout (paragraph) -> first byte");
    markupCost();
    return 0;
}
