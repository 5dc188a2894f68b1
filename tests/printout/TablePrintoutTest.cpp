#include "PrintoutFakes.h"

#include "main_window/printout/PageSink.h"
#include "main_window/printout/TablePrintout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel::test {
namespace {

using Outcome = TablePrintout::Outcome;

/// Writes every call into a shared event list; fails on the first call of one kind.
struct RecordingPrinter : PageSink
{
    RecordingPrinter(QStringList &e, QString f = {}) : events(e), failOn(std::move(f)) {}
    void prepare() override { record("prepare"); }
    void beginDocument() override { record("begin"); }
    double lineHeightMm() const override { return 5.0; }
    double printableHeightMm() const override { return INFINITY; }
    void drawText(double x, double y, const QString &text) override
    {
        record("text", QStringLiteral(" %1 %2 %3").arg(x).arg(y).arg(text));
    }
    void newPage() override { record("newPage"); }
    void endDocument() override { record("end"); }
    void abortDocument() noexcept override { events << "abort"; }
    void record(const QString &kind, const QString &detail = {})
    {
        events << kind + detail;
        if (kind == failOn)
            throw Failure("printer jammed");
    }
    QStringList &events;
    QString failOn;
};

const QList<CommandRow> TwoRows = {{"A", "OPEN", "notepad", ""}, {"B", "CLOSE", "notepad", "A"}};

TEST(TablePrintout, ListeningComesBackAndAFailedJobIsAborted)
{
    const struct
    {
        const char *name;
        bool listening;
        std::optional<int> copies;
        int tableFailsOnRefresh;
        const char *printerFailsOn;
        Outcome outcome;
    } cases[] = {
        {"cancelled while listening", true, std::nullopt, 0, "", Outcome::Cancelled},
        {"no copies asked for", true, 0, 0, "", Outcome::Cancelled},
        {"printed while listening", true, 2, 0, "", Outcome::Printed},
        // Every copy reads the table before the job starts: nothing reaches the printer.
        {"table unreadable for the second copy", true, 2, 2, "", Outcome::Failed},
        {"printer cannot start", false, 1, 0, "begin", Outcome::Failed},
        {"printer fails between copies", true, 2, 0, "newPage", Outcome::Failed},
        {"printer fails while drawing", true, 1, 0, "text", Outcome::Failed},
        {"printer fails to end the document", true, 1, 0, "end", Outcome::Failed},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList events;
        FakeCommandSource table(TwoRows);
        table.failOnRefresh = c.tableFailsOnRefresh;
        FakeListening listening(c.listening);
        FakePrintDialog dialog(c.copies, &listening, &events);
        RecordingPrinter printer(events, c.printerFailsOn);

        EXPECT_EQ(TablePrintout(table, listening, dialog, printer).print(), c.outcome);
        EXPECT_EQ(listening.calls, c.listening ? QStringList({"stop", "start"}) : QStringList{"stop"});
        EXPECT_EQ(events.mid(0, 2), QStringList({"prepare", "dialog"}));
        // Only a job the printer started is aborted, and only once.
        const bool aborted = *c.printerFailsOn;
        EXPECT_EQ(events.last(), QString(c.outcome == Outcome::Printed ? "end"
                                         : aborted                     ? "abort"
                                                                       : "dialog"));
        EXPECT_EQ(events.count("abort"), aborted ? 1 : 0);
    }
}

TEST(TablePrintout, EachCopyGoesOnItsOwnPages)
{
    QStringList events;
    FakeCommandSource table(TwoRows);
    FakeListening listening(true);
    FakePrintDialog dialog(2);
    RecordingPrinter printer(events);
    ASSERT_EQ(TablePrintout(table, listening, dialog, printer).print(), Outcome::Printed);

    // The tops of one copy's headings and of its two rows.
    const auto copy = [](int headings, int first, int second) {
        return QStringLiteral("text 10 %1 Word Or Phrase|text 37 %1 Function|text 55 %1 Action|"
                              "text 180 %1 Parent|text 10 %2 A|text 37 %2 OPEN|text 55 %2 notepad|"
                              "text 10 %3 B|text 37 %3 CLOSE|text 55 %3 notepad|text 180 %3 A")
            .arg(headings)
            .arg(first)
            .arg(second)
            .split('|');
    };
    EXPECT_EQ(events, QStringList({"prepare", "begin"}) + copy(0, 10, 15) + QStringList{"newPage"} +
                          copy(1, 11, 16) + QStringList{"end"});
    EXPECT_EQ(table.refreshes, 2);
}

} // namespace
} // namespace kestrel::test
