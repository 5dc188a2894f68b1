// Lookup and action-scanner figures: how long the interpreter takes to find the
// last command of a full table, and how fast it walks a long action.
#include "common/EventWait.h"
#include "common/MessageBoxes.h"
#include "common/SharedState.h"
#include "desktop/Desktop.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/Interpreter.h"
#include "interpreter/InterpreterHost.h"
#include "interpreter/OpenProgramSlots.h"
#include "interpreter/PhraseLookup.h"
#include "interpreter/TextRules.h"

#include <benchmark/benchmark.h>

namespace {

using namespace kestrel;

// A desktop that only counts what it is asked to do.
class CountingDesktop final : public Desktop
{
public:
    long keys = 0;
    long moves = 0;
    long clicks = 0;

    WindowId foregroundWindow() override { return 1; }
    bool windowExists(WindowId) override { return true; }
    void activateWindow(WindowId) override {}
    void moveWindow(WindowId, int, int) override { ++moves; }
    WindowId findTopLevelWindow(const QString &) override { return 0; }
    QPoint cursorPosition() override { return {}; }
    void setCursorPosition(QPoint) override { ++moves; }
    void mouseButton(Button, bool) override { ++clicks; }
    void sendKeys(const QString &notation, bool) override { keys += notation.size(); }
    void typeText(const QString &text) override { keys += text.size(); }
    StartResult startProgram(const QString &, const QStringList &, const QString &) override { return {}; }
    StartResult openDocument(const QString &, const QString &) override { return {}; }
    WindowId windowOfProcess(qint64) override { return 0; }
    bool fileExists(const QString &) override { return false; }
    bool directoryExists(const QString &) override { return false; }
    QString clipboardText() override { return {}; }
    QString currentClipboardText() override { return {}; }
    void setClipboardText(const QString &) override {}
};

class InstantWait final : public EventWait
{
public:
    void processEvents() override { m_now += 0.01; }
    double now() const override { return m_now; }

private:
    double m_now = 0;
};

class QuietHosts final : public FeedbackControls,
                         public SpeechOutput,
                         public MainWindowControl,
                         public MessageBoxes
{
public:
    int confirmationState() const override { return 0; }
    void setConfirmationState(int) override {}
    int executingState() const override { return 0; }
    int notFoundState() const override { return 0; }
    QString didYouSayText() const override { return {}; }
    QString executingText() const override { return {}; }
    QString sayAgainText() const override { return {}; }
    QString sayTextText() const override { return {}; }
    int clipboardMonitorState() const override { return 0; }
    void setMainText(const QString &) override {}
    void speakIt() override {}
    bool isSpeaking() const override { return false; }
    void holdListening() override {}
    void releaseListening(bool) override {}
    void switchListeningOff() override {}
    void setStatusText(const QString &) override {}
    void enableStopButton() override {}
    void quitProgram() override {}
    void keysAboutToBeTyped() override {}
    void keysTyped() override {}
    void inform(const QString &, const QString &, Icon) override {}
    Answer ask(const QString &, const QString &) override { return Answer::No; }
    void notify(const QString &, const QString &, Icon) override {}
    void withdrawNotice() override {}
};

class FullTable final : public CommandSource
{
public:
    FullTable()
    {
        for (int n = 1; n <= MaxExaminedRows; ++n)
            m_rows.append(CommandRow{QStringLiteral("Command number %1").arg(n), QStringLiteral("FUNCTION"),
                                     QString(), QString()});
    }
    QList<CommandRow> refresh() override { return m_rows; }

private:
    QList<CommandRow> m_rows;
};

void BM_ScanRowsLastOf13000(benchmark::State &state)
{
    FullTable table;
    const QList<CommandRow> rows = table.refresh();
    const QString key = searchKeyFor(upperCased(QStringLiteral("Command number 13000")));
    for (auto _ : state) {
        const LookupScan scan = scanRows(rows, key);
        benchmark::DoNotOptimize(scan);
    }
}
BENCHMARK(BM_ScanRowsLastOf13000)->Unit(benchmark::kMillisecond);

void BM_FindItLastOf13000(benchmark::State &state)
{
    FullTable table;
    CountingDesktop desktop;
    InstantWait wait;
    QuietHosts hosts;
    SharedState shared;
    OpenProgramSlots slots;
    Interpreter interpreter(table, desktop, wait, hosts, hosts, hosts, hosts, shared, slots);
    for (auto _ : state) {
        interpreter.setLookupPhrase(QStringLiteral("command number 13000"));
        interpreter.FindIt();
        if (!interpreter.phraseFound())
            state.SkipWithError("last row not found");
    }
}
BENCHMARK(BM_FindItLastOf13000)->Unit(benchmark::kMillisecond);

void BM_ScannerLongAction(benchmark::State &state)
{
    QString action;
    for (int n = 0; n < state.range(0); ++n)
        action += QStringLiteral("hello world{ENTER}{CURSOR 10,20}{LEFT CLICK}^c{POSITION 5,5}");
    CountingDesktop desktop;
    InstantWait wait;
    QuietHosts hosts;
    DesktopPrimitives primitives(desktop);
    ActionScanner scanner(desktop, wait, hosts, primitives);
    for (auto _ : state)
        scanner.run(action);
    state.SetBytesProcessed(state.iterations() * action.size());
    state.counters["chars"] = static_cast<double>(action.size());
}
BENCHMARK(BM_ScannerLongAction)->Arg(10)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_NormaliseDottedPhrase(benchmark::State &state)
{
    QString phrase;
    for (int n = 0; n < 100; ++n)
        phrase += QStringLiteral("a. b space c.");
    for (auto _ : state)
        benchmark::DoNotOptimize(normaliseRecoText(phrase));
}
BENCHMARK(BM_NormaliseDottedPhrase)->Unit(benchmark::kMicrosecond);

// Text pasted into the emulation box: many words ending in "space" that are no
// "space" of their own, then full stops, each of which joins two pieces.
void BM_NormalisePastedText(benchmark::State &state)
{
    const QString phrase = QStringLiteral("xspace ").repeated(static_cast<int>(state.range(0))) +
                           QStringLiteral("a.").repeated(600);
    for (auto _ : state)
        benchmark::DoNotOptimize(normaliseRecoText(phrase));
    state.counters["KiB"] = static_cast<double>(phrase.size()) * 2 / 1024.0;
}
BENCHMARK(BM_NormalisePastedText)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

// Pasted text with a full stop in every word: each one removed joins two pieces.
void BM_NormaliseManyFullStops(benchmark::State &state)
{
    const QString phrase = QStringLiteral("a.b ").repeated(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(normaliseRecoText(phrase));
    state.counters["KiB"] = static_cast<double>(phrase.size()) * 2 / 1024.0;
}
BENCHMARK(BM_NormaliseManyFullStops)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
