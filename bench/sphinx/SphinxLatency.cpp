// Speed of the recogniser's stream decoder on synthetic commands.
//
//   kestrel_sphinx_latency [--clips N]
//
// Prints start-up time, memory, the cost of one table edit, the time from end of speech (the moment voice
// activity drops) to the Recognition event (p50/p95), and CPU time per second of
// audio while idle (noise floor only) and while speaking. With
// pocketsphinx_continuous installed, it also times that program on the same audio.

#include "EvalSet.h"
#include "ProcessFigures.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"
#include "sphinx/SpeechClips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace kestrel;
using namespace kestrel::testing;
using kestrel::bench::cpuSeconds;
using kestrel::bench::residentKiB;

namespace {

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[qsizetype(std::min<double>(values.size() - 1, p * double(values.size())))];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype clipsAt = args.indexOf(QStringLiteral("--clips"));
    const int clipCount = clipsAt > 0 ? args.value(clipsAt + 1).toInt() : 12;
    const QString cacheDir = QStringLiteral("/tmp/kestrel-sphinx-eval-cache");

    QElapsedTimer startup;
    startup.start();
    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    decoder.setCommandPhrases(bench::evalCommandPhrases());
    std::printf("start-up (models + command grammar): %lld ms, resident memory %ld kB\n", startup.elapsed(),
                residentKiB());
    {
        // What one edit of the table costs: the grammar and its language model are
        // built again, here with a word the dictionary lacks.
        QStringList edited = bench::evalCommandPhrases();
        edited << QStringLiteral("OPEN ZORBLAX");
        QElapsedTimer edit;
        edit.start();
        decoder.setCommandPhrases(edited);
        std::printf("table edit (grammar and command model rebuilt): %lld ms\n", edit.elapsed());
        decoder.setCommandPhrases(bench::evalCommandPhrases());
    }

    UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation);
    QList<double> latencies;
    double speakingCpu = 0.0;
    double speakingAudio = 0.0;
    Samples all;
    const QList<bench::InTableCase> cases = bench::evalInTable();
    for (int i = 0; i < clipCount; ++i) {
        const Samples clip =
            padded(synthesise(cases[i % cases.size()].spoken, QStringLiteral("en-us"), 175, cacheDir), 1.0,
                   1.0, 30.0, unsigned(i + 1));
        all.insert(all.end(), clip.begin(), clip.end());
        stream.start();
        const double cpuBefore = cpuSeconds();
        for (size_t at = 0; at < clip.size(); at += 1600) {
            QElapsedTimer timer;
            timer.start();
            const QList<StreamEvent> events =
                stream.feed(std::span(clip).subspan(at, std::min<size_t>(1600, clip.size() - at)));
            const double ms = double(timer.nsecsElapsed()) / 1e6;
            for (const StreamEvent &e : events) {
                if (e.kind == StreamEvent::Kind::Recognition || e.kind == StreamEvent::Kind::FalseRecognition)
                    latencies << ms;
            }
        }
        stream.finish(false);
        speakingCpu += cpuSeconds() - cpuBefore;
        speakingAudio += double(clip.size()) / UtteranceStream::kSampleRate;
    }
    std::printf("end of speech -> Recognition: p50 %.1f ms, p95 %.1f ms (%lld utterances)\n",
                percentile(latencies, 0.5), percentile(latencies, 0.95), qlonglong(latencies.size()));
    std::printf("CPU while speaking: %.1f%% of a core (%.2f s CPU for %.1f s audio)\n",
                100.0 * speakingCpu / speakingAudio, speakingCpu, speakingAudio);

    const Samples quiet = padded({}, 30.0, 0.0, 30.0, 99);
    stream.start();
    const double idleBefore = cpuSeconds();
    for (size_t at = 0; at < quiet.size(); at += 1600)
        stream.feed(std::span(quiet).subspan(at, std::min<size_t>(1600, quiet.size() - at)));
    stream.finish(false);
    std::printf("CPU while idle (noise floor): %.2f%% of a core\n",
                100.0 * (cpuSeconds() - idleBefore) / 30.0);

    const QString continuous = QStandardPaths::findExecutable(QStringLiteral("pocketsphinx_continuous"));
    if (continuous.isEmpty()) {
        std::printf("pocketsphinx_continuous: not installed, no comparison\n");
        return 0;
    }
    QTemporaryDir dir;
    QFile raw(dir.filePath(QStringLiteral("all.raw")));
    if (!raw.open(QIODevice::WriteOnly))
        return 1;
    raw.write(reinterpret_cast<const char *>(all.data()), qint64(all.size() * 2));
    raw.close();
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(continuous,
                  {QStringLiteral("-infile"), raw.fileName(), QStringLiteral("-logfn"),
                   QStringLiteral("/dev/null"), QStringLiteral("-input_endian"), QStringLiteral("little")});
    process.waitForFinished(600000);
    std::printf("pocketsphinx_continuous (dictation, same %.1f s of audio): %lld ms wall\n", speakingAudio,
                timer.elapsed());
    return 0;
}
