// Accuracy of the command engine's rejection on synthetic speech.
//
//   kestrel_sphinx_eval [--quick] [--voice V[,V...]] [--speed WPM] [--weight W] [--threshold T]
//                       [--csv FILE] [--cache DIR] [--engine-options "-name value ..."] [--ceiling]
//   kestrel_sphinx_eval --try "words" [VOICE]   (what each search hears)
//
// --ceiling decodes each in-table clip whole with the command grammar alone and
// counts the right phrases by voice: what recognition allows before any
// rejection, in under a minute. --engine-options passes PocketSphinx options to
// the decoder, for tuning runs.
//
// Every in-table phrase, out-of-table sentence and noise clip is spoken by several
// espeak-ng voices at several speeds, laid on a noise floor and fed through the
// same stream decoder the recogniser uses. Prints the share of in-table phrases
// recognised as exactly the right command and the share of out-of-table speech and
// noise that produced no command.

#include "EvalSet.h"
#include "common/Failure.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"
#include "sphinx/SpeechClips.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QTextStream>

#include <cstdio>
#include <memory>

using namespace kestrel;
using namespace kestrel::testing;

namespace {

struct Tally
{
    int inTotal = 0, inRight = 0, outTotal = 0, outRejected = 0, noiseTotal = 0, noiseRejected = 0;
};

struct ClipOutcome
{
    QStringList commands; ///< texts (with replacements) recognised as commands
    QList<UtteranceVerdict> verdicts;
};

ClipOutcome run(UtteranceStream &stream, const Samples &audio)
{
    ClipOutcome outcome;
    stream.setVerdictObserver([&](const UtteranceVerdict &v) { outcome.verdicts << v; });
    QList<StreamEvent> events = stream.start();
    constexpr size_t kChunk = 1600;
    for (size_t i = 0; i < audio.size(); i += kChunk)
        events << stream.feed(std::span(audio).subspan(i, std::min(kChunk, audio.size() - i)));
    events << stream.finish(false);
    for (const StreamEvent &e : events) {
        if (e.kind == StreamEvent::Kind::Recognition && e.result.phrase.rule.name == QLatin1String("Command"))
            outcome.commands << e.result.phrase.textWithReplacements;
    }
    return outcome;
}

void writeCsv(QTextStream *csv, int clip, const QString &kind, const QString &label,
              const ClipOutcome &outcome, bool right)
{
    if (!csv)
        return;
    const auto quoted = [](const QStringList &words) {
        return QLatin1Char('"') + words.join(QLatin1Char(' ')) + QLatin1Char('"');
    };
    for (const UtteranceVerdict &v : outcome.verdicts) {
        const RejectionFeatures &f = v.features;
        *csv << clip << ',' << kind << ",\"" << label << "\"," << (right ? 1 : 0) << ','
             << quoted(v.commandWords) << ',' << quoted(v.heardWords) << ',' << (f.heardCommand ? 1 : 0)
             << ',' << f.agreement << ',' << f.commonPhones << ',' << f.frames << ','
             << (f.numberForm ? 1 : 0) << ',' << f.phraseScore << ',' << f.heardScore << ','
             << f.phraseWordFrames << ',' << f.heardWordFrames << ',' << f.grammarScore << ',' << v.confidence
             << ',' << (v.commandAccepted ? 1 : 0) << '\n';
    }
    if (outcome.verdicts.isEmpty())
        *csv << clip << ',' << kind << ",\"" << label << "\"," << (right ? 1 : 0)
             << ",\"\",\"\",,,,0,,,,,,,,0\n";
    csv->flush();
}

void ceiling(SphinxDecoder &decoder, const QStringList &voices, const QList<int> &speeds,
             const QList<double> &floors, const QString &cacheDir)
{
    QMap<QString, int> rightByVoice;
    QMap<QString, int> misses; // "voice: said -> heard", to see where the model goes wrong
    int right = 0;
    int total = 0;
    unsigned seed = 1;
    for (const QString &voice : voices) {
        for (const int speed : speeds) {
            for (const double sigma : floors) {
                for (const bench::InTableCase &c : bench::evalInTable()) {
                    const Samples clip =
                        padded(synthesise(c.spoken, voice, speed, cacheDir), 1.0, 1.0, sigma, ++seed);
                    const QString heard =
                        decoder.decode(SphinxDecoder::kCommandSearch, clip).words.join(QLatin1Char(' '));
                    const bool ok = heard == c.spoken;
                    if (!ok)
                        ++misses[voice + QStringLiteral(": ") + c.spoken + QStringLiteral(" -> ") +
                                 (heard.isEmpty() ? QStringLiteral("(nothing)") : heard)];
                    right += ok ? 1 : 0;
                    rightByVoice[voice] += ok ? 1 : 0;
                    ++total;
                }
            }
        }
    }
    const int perVoice = total / std::max<int>(1, int(voices.size()));
    std::printf("grammar alone, whole clips: %d/%d (%.1f%%)\n", right, total,
                100.0 * right / std::max(1, total));
    for (auto it = rightByVoice.cbegin(); it != rightByVoice.cend(); ++it)
        std::printf("  %-12s %d/%d\n", qPrintable(it.key()), it.value(), perVoice);
    std::printf("misheard (times):\n");
    for (auto it = misses.cbegin(); it != misses.cend(); ++it)
        std::printf("  %d  %s\n", it.value(), qPrintable(it.key()));
}

/// Whether every argument is a known flag with the values it takes. A
/// mistyped flag would otherwise start the full run of a quarter of an hour.
bool argumentsKnown(const QStringList &args)
{
    static const QMap<QString, int> valuesOf{
        {QStringLiteral("--quick"), 0},     {QStringLiteral("--ceiling"), 0},
        {QStringLiteral("--profile"), 0},   {QStringLiteral("--voice"), 1},
        {QStringLiteral("--speed"), 1},     {QStringLiteral("--weight"), 1},
        {QStringLiteral("--threshold"), 1}, {QStringLiteral("--csv"), 1},
        {QStringLiteral("--cache"), 1},     {QStringLiteral("--engine-options"), 1}};
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--try"))
            return i + 1 < args.size(); // the phrase, then an optional voice, end the line
        if (!valuesOf.contains(args[i]) || i + valuesOf[args[i]] >= args.size())
            return false;
        i += valuesOf[args[i]];
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QStringList args = app.arguments();
    if (!argumentsKnown(args)) {
        std::fprintf(stderr, "usage: kestrel_sphinx_eval [--quick] [--voice V[,V...]] [--speed WPM] "
                             "[--weight W] [--threshold T]\n"
                             "                           [--csv FILE] [--cache DIR] [--engine-options "
                             "\"-name value ...\"] [--ceiling]\n"
                             "       kestrel_sphinx_eval --try \"words\" [VOICE]\n");
        return 2;
    }
    const bool quick = args.contains(QStringLiteral("--quick"));
    const qsizetype csvAt = args.indexOf(QStringLiteral("--csv"));
    const qsizetype cacheAt = args.indexOf(QStringLiteral("--cache"));
    const QString cacheDir =
        cacheAt > 0 ? args.value(cacheAt + 1) : QStringLiteral("/tmp/kestrel-sphinx-eval-cache");
    QFile csvFile;
    std::unique_ptr<QTextStream> csv;
    if (csvAt > 0) {
        csvFile.setFileName(args.value(csvAt + 1));
        if (csvFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            csv = std::make_unique<QTextStream>(&csvFile);
            *csv << "clip,kind,label,right,command,heard,heardcommand,agreement,common,frames,numberform,"
                    "phrasescore,heardscore,"
                    "phrasewordframes,heardwordframes,grammarscore,confidence,accepted\n";
        }
    }

    const qsizetype weightAt = args.indexOf(QStringLiteral("--weight"));
    const qsizetype optionsAt = args.indexOf(QStringLiteral("--engine-options"));
    const QStringList engineOptions =
        optionsAt > 0 ? args.value(optionsAt + 1).split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList{};
    std::unique_ptr<SphinxDecoder> loaded;
    try {
        loaded = std::make_unique<SphinxDecoder>(SphinxModelPaths::usEnglish(),
                                                 weightAt > 0 ? args.value(weightAt + 1).toDouble()
                                                              : SphinxDecoder::kCommandModelWeight,
                                                 engineOptions);
    } catch (const Failure &failure) {
        std::fprintf(stderr, "%s\n", qPrintable(failure.description()));
        return 2;
    }
    SphinxDecoder &decoder = *loaded;
    const qsizetype thresholdAt = args.indexOf(QStringLiteral("--threshold"));
    CommandRejection rejection = CommandRejection::calibrated();
    if (thresholdAt > 0)
        rejection.threshold = args.value(thresholdAt + 1).toDouble();
    decoder.setCommandPhrases(bench::evalCommandPhrases());
    UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation, rejection);

    const qsizetype tryAt = args.indexOf(QStringLiteral("--try"));
    if (args.contains(QStringLiteral("--profile")) || tryAt > 0) {
        const QString text = tryAt > 0 ? args.value(tryAt + 1) : QStringLiteral("open notepad");
        const QString voice =
            tryAt > 0 ? args.value(tryAt + 2, QStringLiteral("en-us")) : QStringLiteral("en-us");
        const Samples clip = padded(synthesise(text, voice, 175, cacheDir), 1.0, 1.0, 30.0);
        for (const char *search : {SphinxDecoder::kCommandModelSearch, SphinxDecoder::kCommandSearch,
                                   SphinxDecoder::kDictationSearch}) {
            QElapsedTimer timer;
            timer.start();
            const SphinxHypothesis h = decoder.decode(search, clip, 5);
            const qint64 decodeMs = timer.restart();
            const SphinxHypothesis aligned = decoder.align(h.words, clip);
            std::printf(
                "%-13s %6lld ms  %d frames  score %d  forced score %d over %d word frames (%lld ms)  [%s]\n",
                search, decodeMs, h.frames, h.score, aligned.score, aligned.wordFrames, timer.elapsed(),
                qPrintable(h.words.join(QLatin1Char(' '))));
        }
        // ...and what the recogniser decides on the segment its voice activity cut.
        for (const UtteranceVerdict &v : run(stream, clip).verdicts)
            std::printf("stream: %d frames  command [%s]  heard [%s]  confidence %.3f  %s\n",
                        v.features.frames, qPrintable(v.commandWords.join(QLatin1Char(' '))),
                        qPrintable(v.heardWords.join(QLatin1Char(' '))), v.confidence,
                        v.commandAccepted ? "accepted" : "rejected");
        return 0;
    }
    const qsizetype voiceAt = args.indexOf(QStringLiteral("--voice"));
    const QStringList voices = voiceAt > 0 ? args.value(voiceAt + 1).split(QLatin1Char(','))
                               : quick     ? bench::evalVoices().mid(0, 2)
                                           : bench::evalVoices();
    const qsizetype speedAt = args.indexOf(QStringLiteral("--speed"));
    const QList<int> speeds = speedAt > 0 ? QList<int>{args.value(speedAt + 1).toInt()}
                              : quick     ? QList<int>{175}
                                          : bench::evalSpeeds();
    const QList<double> floors = quick ? QList<double>{30.0} : QList<double>{30.0, 300.0};
    if (args.contains(QStringLiteral("--ceiling"))) {
        ceiling(decoder, voices, speeds, floors, cacheDir);
        return 0;
    }
    Tally tally;
    unsigned seed = 1;
    int clips = 0;
    for (const QString &voice : voices) {
        for (const int speed : speeds) {
            for (const double sigma : floors) {
                const QString setting = QStringLiteral("%1/%2/%3").arg(voice).arg(speed).arg(sigma);
                for (const bench::InTableCase &c : bench::evalInTable()) {
                    const Samples clip = synthesise(c.spoken, voice, speed, cacheDir);
                    const ClipOutcome outcome = run(stream, padded(clip, 1.0, 1.0, sigma, ++seed));
                    const bool right = outcome.commands == QStringList{c.expected};
                    ++tally.inTotal;
                    tally.inRight += right ? 1 : 0;
                    if (!right)
                        std::printf("MISS   %-12s %-40s got [%s]\n", qPrintable(setting),
                                    qPrintable(c.spoken),
                                    qPrintable(outcome.commands.join(QStringLiteral(" | "))));
                    writeCsv(csv.get(), ++clips, QStringLiteral("in"), setting + QLatin1Char(' ') + c.spoken,
                             outcome, right);
                }
                for (const QString &sentence : bench::evalOutOfTable()) {
                    const Samples clip = synthesise(sentence, voice, speed, cacheDir);
                    const ClipOutcome outcome = run(stream, padded(clip, 1.0, 1.0, sigma, ++seed));
                    const bool right = outcome.commands.isEmpty();
                    ++tally.outTotal;
                    tally.outRejected += right ? 1 : 0;
                    if (!right)
                        std::printf("ACCEPT %-12s %-40s as [%s]\n", qPrintable(setting), qPrintable(sentence),
                                    qPrintable(outcome.commands.join(QStringLiteral(" | "))));
                    writeCsv(csv.get(), ++clips, QStringLiteral("out"), setting + QLatin1Char(' ') + sentence,
                             outcome, right);
                }
            }
        }
    }
    for (const char kind : {'w', 'b', 'c', 'h'}) {
        for (const double amplitude : {300.0, 3000.0}) {
            for (int repeat = 0; repeat < (quick ? 1 : 4); ++repeat) {
                Samples clip = noiseClip(kind, 1.5, amplitude, ++seed);
                const ClipOutcome outcome = run(stream, padded(clip, 1.0, 1.0, 30.0, ++seed));
                const bool right = outcome.commands.isEmpty();
                ++tally.noiseTotal;
                tally.noiseRejected += right ? 1 : 0;
                const QString label = QStringLiteral("noise %1 %2").arg(QLatin1Char(kind)).arg(amplitude);
                if (!right)
                    std::printf("ACCEPT %-53s as [%s]\n", qPrintable(label),
                                qPrintable(outcome.commands.join(QStringLiteral(" | "))));
                writeCsv(csv.get(), ++clips, QStringLiteral("noise"), label, outcome, right);
            }
        }
    }
    std::printf("in-table accepted correctly: %d/%d (%.1f%%)\n", tally.inRight, tally.inTotal,
                100.0 * tally.inRight / std::max(1, tally.inTotal));
    std::printf("out-of-table speech rejected: %d/%d (%.1f%%)\n", tally.outRejected, tally.outTotal,
                100.0 * tally.outRejected / std::max(1, tally.outTotal));
    std::printf("noise rejected: %d/%d (%.1f%%)\n", tally.noiseRejected, tally.noiseTotal,
                100.0 * tally.noiseRejected / std::max(1, tally.noiseTotal));
    return 0;
}
