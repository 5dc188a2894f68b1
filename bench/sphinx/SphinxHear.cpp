// What the recogniser makes of a recording, utterance by utterance, with the
// command table a new user starts with (or the phrases given).
//
//   kestrel_sphinx_hear FILE [--phrases "OPEN EDITOR,SAVE FILE,..."]
//
// FILE is a WAV file of any rate, or raw 16 kHz mono 16-bit samples (".raw").
// Each utterance the voice activity cut is printed with the time it ended, what
// the command search heard, the grammar's phrase, the confidence and whether it
// became a command or dictation. For a session that went wrong: record what the
// microphone gave, then see which utterance turned into which command.

#include "command_table/StarterTable.h"
#include "speech_platform/sphinx/SphinxDecoder.h"
#include "speech_platform/sphinx/UtteranceStream.h"
#include "sphinx/SpeechClips.h"

#include <QCoreApplication>

#include <cstdio>

using namespace kestrel;
using namespace kestrel::testing;

namespace {

QStringList starterPhrases()
{
    QStringList phrases;
    for (const CommandRow &row : starterRows(installedProgramFinder()))
        phrases << row.WordPhrase;
    return phrases;
}

QString joined(const QStringList &words)
{
    return words.isEmpty() ? QStringLiteral("-") : words.join(QLatin1Char(' '));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype phrasesAt = args.indexOf(QStringLiteral("--phrases"));
    if (args.size() < 2 || args[1].startsWith(QLatin1String("--")) ||
        (phrasesAt > 0 && phrasesAt + 1 >= args.size())) {
        std::fprintf(stderr, "usage: kestrel_sphinx_hear FILE.wav|FILE.raw [--phrases \"A,B,...\"]\n");
        return 2;
    }
    const Samples audio = args[1].endsWith(QLatin1String(".raw")) ? loadRaw(args[1]) : loadWav(args[1]);
    if (audio.empty()) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(args[1]));
        return 1;
    }
    const QStringList phrases =
        phrasesAt > 0 ? args[phrasesAt + 1].split(QLatin1Char(','), Qt::SkipEmptyParts) : starterPhrases();

    SphinxDecoder decoder(SphinxModelPaths::usEnglish());
    const QStringList dropped = decoder.setCommandPhrases(phrases);
    for (const QString &phrase : dropped)
        std::printf("cannot be heard (no pronunciation): \"%s\"\n", qPrintable(phrase));
    UtteranceStream stream(decoder, UtteranceStream::Mode::CommandsAndDictation);
    qint64 fed = 0;
    int commands = 0;
    int utterances = 0;
    stream.setVerdictObserver([&](const UtteranceVerdict &v) {
        ++utterances;
        commands += v.commandAccepted ? 1 : 0;
        const RejectionFeatures &f = v.features;
        std::printf("%8.2fs  %-10s conf %6.3f  heard \"%s\"  phrase \"%s\"  dictation \"%s\"\n"
                    "           frames %d, phrase words %d, heard words %d, agreement %.2f, "
                    "score margin/frame %.1f, grammar/frame %.1f\n",
                    double(fed) / UtteranceStream::kSampleRate, v.commandAccepted ? "COMMAND" : "rejected",
                    v.confidence, qPrintable(joined(v.heardWords)), qPrintable(joined(v.commandWords)),
                    qPrintable(joined(v.dictationWords)), f.frames, f.phraseWordFrames, f.heardWordFrames,
                    f.agreement, double(f.phraseScore - f.heardScore) / std::max(1, f.frames),
                    double(f.grammarScore) / std::max(1, f.frames));
        std::fflush(stdout);
    });
    stream.start();
    // The capture hands over 100 ms at a time.
    constexpr size_t kChunk = UtteranceStream::kSampleRate / 10;
    for (size_t i = 0; i < audio.size(); i += kChunk) {
        const size_t n = std::min(kChunk, audio.size() - i);
        fed += qint64(n);
        stream.feed(std::span(audio).subspan(i, n));
    }
    stream.finish(false);
    std::printf("%d utterances, %d taken as commands, %.1f s of audio\n", utterances, commands,
                double(audio.size()) / UtteranceStream::kSampleRate);
    return 0;
}
