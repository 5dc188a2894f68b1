// A day of listening, compressed: one stream kept open as the capture keeps it,
// commands and other speech with pauses between them, and the command table
// changing now and then while the stream is open.
//
//   kestrel_sphinx_soak [--minutes N] [--change-every K]
//
// N minutes of audio (20 by default); the table changes after every K clips
// (40 by default, a clip being about six seconds).
//
// Prints resident memory and the recognitions counted after every tenth of the
// audio, so growth over the run shows as a rising column, and the decoding cost.

#include "EvalSet.h"
#include "ProcessFigures.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"
#include "sphinx/SpeechClips.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

using namespace kestrel;
using namespace kestrel::testing;

using bench::cpuSeconds;
using bench::residentKiB;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype minutesAt = args.indexOf(QStringLiteral("--minutes"));
    const double minutes = minutesAt > 0 ? args.value(minutesAt + 1).toDouble() : 20.0;
    if (minutes <= 0.0 || (minutesAt > 0 && minutesAt + 1 >= args.size())) {
        std::fprintf(stderr, "usage: kestrel_sphinx_soak [--minutes N] [--change-every K]\n");
        return 2;
    }
    const QString cacheDir = QStringLiteral("/tmp/kestrel-sphinx-eval-cache");
    const qsizetype everyAt = args.indexOf(QStringLiteral("--change-every"));
    const size_t changeEvery = everyAt > 0 ? std::max(1, args.value(everyAt + 1).toInt()) : 40;

    // The clips: every in-table phrase and every other sentence, in two voices,
    // each with two seconds of room noise either side.
    QStringList texts;
    for (const bench::InTableCase &c : bench::evalInTable())
        texts << c.spoken;
    texts << bench::evalOutOfTable();
    std::vector<Samples> clips;
    for (const QString &voice : {QStringLiteral("en-us"), QStringLiteral("en-us+f3")}) {
        for (const QString &text : std::as_const(texts))
            clips.push_back(
                padded(synthesise(text, voice, 175, cacheDir), 2.0, 2.0, 30.0, unsigned(clips.size() + 1)));
    }

    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    QStringList table = bench::evalCommandPhrases();
    decoder.setCommandPhrases(table);
    UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation);
    stream.start();

    const qint64 totalSamples = qint64(minutes * 60.0 * UtteranceStream::kSampleRate);
    const long startKiB = residentKiB();
    std::printf("%8s %10s %12s %14s %10s\n", "audio", "RSS KiB", "growth KiB", "recognitions", "changes");
    std::printf("%7.1fm %10ld %12d %14d %10d\n", 0.0, startKiB, 0, 0, 0);
    qint64 fed = 0;
    int recognitions = 0;
    int changes = 0;
    int nextReport = 1;
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    for (size_t i = 0; fed < totalSamples; ++i) {
        const Samples &clip = clips[i % clips.size()];
        if (i % changeEvery == changeEvery - 1) {
            // Someone edits the table while the recogniser listens; a number is a
            // word the dictionary lacks, so each edit also adds a word.
            table << QStringLiteral("OPEN PROJECT %1").arg(++changes);
            decoder.setCommandPhrases(table);
        }
        for (size_t at = 0; at < clip.size(); at += 1600) {
            for (const StreamEvent &e :
                 stream.feed(std::span(clip).subspan(at, std::min<size_t>(1600, clip.size() - at)))) {
                if (e.kind == StreamEvent::Kind::Recognition)
                    ++recognitions;
            }
        }
        fed += qint64(clip.size());
        if (fed >= nextReport * totalSamples / 10) {
            const long kib = residentKiB();
            std::printf("%7.1fm %10ld %12ld %14d %10d\n", double(fed) / UtteranceStream::kSampleRate / 60.0,
                        kib, kib - startKiB, recognitions, changes);
            std::fflush(stdout);
            ++nextReport;
        }
    }
    stream.finish(false);
    const double audioSeconds = double(fed) / UtteranceStream::kSampleRate;
    std::printf("decoding cost: %.1f s CPU for %.1f min of audio (%.1f%% of a core), %.1f s wall\n",
                cpuSeconds() - cpuBefore, audioSeconds / 60.0,
                100.0 * (cpuSeconds() - cpuBefore) / audioSeconds, double(wall.elapsed()) / 1000.0);
    return 0;
}
