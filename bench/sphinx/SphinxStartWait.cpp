// How long the window's thread waits when listening is switched on, and how
// long after that the stream really starts, with the starter table.
//
//   kestrel_sphinx_start_wait [ROUNDS] [PAUSE_MS]
//
// Needs an audio input (inside the test session: source
// scripts/desktop-session.sh, then kestrel_start_pulse). Round one is the first
// Start of the day (models loaded, command grammar built); every later round
// first adds a phrase with a word the dictionary lacks, so the grammar is
// rebuilt, as after an edit of the table. Then, as many times, how long
// Emulate holds the window just after an edit, while the grammar is rebuilt.
// PAUSE_MS (default 0) is how long after the recognition context is made the
// first Start comes: the models load from then on, and a user takes a moment
// to press Start. Last, as many times, how long Stop holds the window when it
// comes while listening and the grammar is rebuilt at a pause (audio is fed to
// the session's pipe source for that), and when the stream really ended.

#include "command_table/StarterTable.h"
#include "speech_platform/CommandVocabulary.h"
#include "speech_platform/sphinx/SphinxRecognition.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace kestrel;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QString::fromLocal8Bit(argv[1]).toInt()) : 4;
    const int pauseMs = argc > 2 ? std::max(0, QString::fromLocal8Bit(argv[2]).toInt()) : 0;

    QStringList phrases;
    for (const CommandRow &row : starterRows(installedProgramFinder()))
        phrases << row.WordPhrase;
    CommandPhraseList vocabulary;
    vocabulary.setPhrases(phrases);
    SphinxRecognitionService service(vocabulary);
    std::unique_ptr<Recognizer> recognizer = service.createInprocRecognizer();
    const SpeechTokenList inputs = recognizer->audioInputs();
    if (inputs.isEmpty()) {
        std::fprintf(stderr, "no audio input; run inside the test session (scripts/desktop-session.sh)\n");
        return 1;
    }
    recognizer->setAudioInput(inputs.first());
    std::unique_ptr<RecoContext> context = recognizer->createRecoContext();
    context->setEventInterests(context->eventInterests() | EventStartStream);
    RecoGrammar &grammar = context->createGrammar(1);
    grammar.dictationLoad();
    QTest::qWait(pauseMs);

    for (int round = 1; round <= rounds; ++round) {
        if (round > 1) {
            // A made-up word: eSpeak pronounces it and the dictionary is reloaded.
            phrases << QStringLiteral("OPEN ZORBLAX%1").arg(round);
            vocabulary.setPhrases(phrases);
        }
        QSignalSpy starts(context.get(), &RecoContext::startStream);
        QElapsedTimer timer;
        timer.start();
        grammar.dictationSetState(true);
        const qint64 waited = timer.elapsed();
        if (starts.isEmpty() && !starts.wait(30000)) {
            std::fprintf(stderr, "round %d: the stream did not start\n", round);
            return 1;
        }
        if (round == 1)
            std::printf("(%d ms after the context was made) ", pauseMs);
        std::printf("%s: window waited %lld ms, stream started after %lld ms\n",
                    round == 1 ? "first Start" : "Start after a table edit", static_cast<long long>(waited),
                    static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
        grammar.dictationSetState(false);
    }

    // Emulate just after an edit: the grammar is being rebuilt in the
    // background, and typed text with punctuation and a made-up word needs
    // pronunciations from the window's thread.
    for (int round = 1; round <= rounds; ++round) {
        // A new made-up word each time, so that each round runs eSpeak.
        const QString typed = QStringLiteral("Hello, world. Please open Zorblaxi%1 now!").arg(round);
        phrases << QStringLiteral("CLOSE ZORBLAX%1").arg(round);
        vocabulary.setPhrases(phrases);
        QThread::msleep(200); // well inside the build of a second or more
        QElapsedTimer timer;
        timer.start();
        recognizer->emulateRecognition(typed);
        std::printf("Emulate during a rebuild: window waited %lld ms\n",
                    static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
        QTest::qWait(4000); // the build ends before the next edit
    }

    // Stop while listening, just after an edit: the capture thread rebuilds the
    // grammar at the first pause, which needs audio coming in.
    const QString fifo = qEnvironmentVariable("KESTREL_PULSE_DIR") + QStringLiteral("/mic.fifo");
    std::atomic_bool feeding{true};
    std::thread floor([&] {
        const int fd = ::open(fifo.toLocal8Bit().constData(), O_WRONLY | O_NONBLOCK);
        if (fd < 0)
            return;
        std::mt19937 noise(1);
        std::normal_distribution<double> sample(0.0, 40.0);
        std::vector<int16_t> chunk(1600); // 100 ms
        while (feeding) {
            for (int16_t &s : chunk)
                s = int16_t(sample(noise));
            if (::write(fd, chunk.data(), chunk.size() * 2) < 0 && errno != EAGAIN)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        ::close(fd);
    });
    for (int round = 1; round <= rounds; ++round) {
        QSignalSpy starts(context.get(), &RecoContext::startStream);
        QSignalSpy ends(context.get(), &RecoContext::endStream);
        grammar.dictationSetState(true);
        if (starts.isEmpty() && !starts.wait(30000)) {
            std::fprintf(stderr, "stop round %d: the stream did not start\n", round);
            break;
        }
        QTest::qWait(500);
        phrases << QStringLiteral("OPEN ZORBLAXO%1").arg(round);
        vocabulary.setPhrases(phrases);
        QThread::msleep(200); // the capture thread is inside the build by now
        QElapsedTimer timer;
        timer.start();
        grammar.dictationSetState(false);
        const qint64 waited = timer.elapsed();
        if (ends.isEmpty() && !ends.wait(30000)) {
            std::fprintf(stderr, "stop round %d: the stream did not end\n", round);
            break;
        }
        std::printf(
            "Stop during a rebuild while listening: window waited %lld ms, stream ended after %lld ms\n",
            static_cast<long long>(waited), static_cast<long long>(timer.elapsed()));
        std::fflush(stdout);
    }
    feeding = false;
    floor.join();
    return 0;
}
