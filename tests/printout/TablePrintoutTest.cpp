#include "PrintoutFakes.h"

#include "main_window/printout/PageSink.h"
#include "main_window/printout/TablePrintout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel::test {
namespace {

using Outcome = TablePrintout::Outcome;

/// Writes every call into a shared event list; fails on the first call of one kind.
class RecordingPrinter : public PageSink
{
public:
    RecordingPrinter(QStringList &events, QString failOn) : m_events(events), m_failOn(std::move(failOn)) {}
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
    void abortDocument() noexcept override { m_events << "abort"; }

private:
    void record(const QString &kind, const QString &detail = {})
    {
        m_events << kind + detail;
        if (kind == m_failOn)
            throw Failure("printer jammed");
    }
    QStringList &m_events;
    QString m_failOn;
};

const QList<CommandRow> TwoRows = {{"A", "OPEN", "notepad", ""}, {"B", "CLOSE", "notepad", "A"}};

TEST(TablePrintout, ListeningComesBackAndAFailedJobIsAborted)
{
    struct Case
    {
        const char *name;
        bool listening;
        std::optional<int> copies;
        int tableFailsOnRefresh;
        const char *printerFailsOn;
        Outcome outcome;
        const char *lastEvent;
    };
    const Case cases[] = {
        {"cancelled while listening", true, std::nullopt, 0, "", Outcome::Cancelled, "dialog"},
        {"cancelled while not listening", false, std::nullopt, 0, "", Outcome::Cancelled, "dialog"},
        {"no copies asked for", true, 0, 0, "", Outcome::Cancelled, "dialog"},
        {"printed while listening", true, 2, 0, "", Outcome::Printed, "end"},
        {"printed while not listening", false, 1, 0, "", Outcome::Printed, "end"},
        // Every copy reads the table before the job starts: nothing reaches the printer.
        {"table unreadable for the second copy", true, 2, 2, "", Outcome::Failed, "dialog"},
        {"printer cannot start", false, 1, 0, "begin", Outcome::Failed, "abort"},
        {"printer fails between copies", true, 2, 0, "newPage", Outcome::Failed, "abort"},
        {"printer fails while drawing", true, 1, 0, "text", Outcome::Failed, "abort"},
        {"printer fails to end the document", true, 1, 0, "end", Outcome::Failed, "abort"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList events;
        FakeCommandSource table(TwoRows);
        table.failOnRefresh = c.tableFailsOnRefresh;
        FakeListening listening(c.listening);
        FakePrintDialog dialog(c.copies, &listening, &events);
        RecordingPrinter printer(events, c.printerFailsOn);

        EXPECT_EQ(TablePrintout(table, listening, dialog, printer).print(), c.outcome);

        EXPECT_EQ(listening.calls, c.listening ? QStringList({"stop", "start"}) : QStringList{"stop"});
        EXPECT_FALSE(dialog.listeningWhileShown);
        EXPECT_EQ(events.mid(0, 2), QStringList({"prepare", "dialog"}));
        EXPECT_EQ(events.last(), c.lastEvent);
        EXPECT_EQ(events.count("abort"), c.outcome == Outcome::Failed && !c.tableFailsOnRefresh ? 1 : 0);
    }
}

TEST(TablePrintout, EachCopyGoesOnItsOwnPages)
{
    QStringList events;
    FakeCommandSource table(TwoRows);
    FakeListening listening(true);
    FakePrintDialog dialog(2);
    RecordingPrinter printer(events, {});

    ASSERT_EQ(TablePrintout(table, listening, dialog, printer).print(), Outcome::Printed);

    // %1 is the top of the headings, %2 and %3 the tops of the two rows.
    const QStringList copy = {
        "text 10 %1 Word Or Phrase", "text 37 %1 Function", "text 55 %1 Action",
        "text 180 %1 Parent",        "text 10 %2 A",        "text 37 %2 OPEN",
        "text 55 %2 notepad",        "text 10 %3 B",        "text 37 %3 CLOSE",
        "text 55 %3 notepad",        "text 180 %3 A",
    };
    const auto placed = [&](const QString &headings, const QString &first, const QString &second) {
        QStringList lines;
        for (QString line : copy)
            lines << line.replace("%1", headings).replace("%2", first).replace("%3", second);
        return lines;
    };
    EXPECT_EQ(events, QStringList({"prepare", "begin"}) + placed("0", "10", "15") + QStringList{"newPage"} +
                          placed("1", "11", "16") + QStringList{"end"});
    EXPECT_EQ(table.refreshes, 2);
}

} // namespace
} // namespace kestrel::test
