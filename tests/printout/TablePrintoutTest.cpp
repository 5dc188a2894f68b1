#include "PrintoutFakes.h"

#include "main_window/printout/TablePrintout.h"

#include <gtest/gtest.h>

#include <limits>

namespace kestrel::test {
namespace {

using Outcome = TablePrintout::Outcome;

/// A printer that writes every call into a shared event list and can be told to
/// fail on the n-th call of one kind.
class RecordingPrinter : public PageSink
{
public:
    explicit RecordingPrinter(QStringList &events) : m_events(events) {}

    void prepare() override { record(QStringLiteral("prepare")); }
    void beginDocument() override { record(QStringLiteral("begin")); }
    double lineHeightMm() const override { return 5.0; }
    double printableHeightMm() const override { return std::numeric_limits<double>::infinity(); }
    void drawText(double xMm, double yMm, const QString &text) override
    {
        record(QStringLiteral("text"), QStringLiteral(" %1 %2 %3").arg(xMm).arg(yMm).arg(text));
    }
    void newPage() override { record(QStringLiteral("newPage")); }
    void endDocument() override { record(QStringLiteral("end")); }
    void abortDocument() noexcept override { m_events << QStringLiteral("abort"); }

    QString failOn;      ///< kind of call that fails
    int failOnCount = 1; ///< on its n-th occurrence

private:
    void record(const QString &kind, const QString &detail = {})
    {
        m_events << kind + detail;
        if (kind == failOn && --failOnCount == 0)
            throw Failure(QStringLiteral("printer jammed"));
    }

    QStringList &m_events;
};

bool has(const QStringList &events, const QString &kind)
{
    return std::any_of(events.begin(), events.end(), [&](const QString &e) { return e.startsWith(kind); });
}

QList<CommandRow> twoRows()
{
    return {CommandRow{"A", "OPEN", "notepad", ""}, CommandRow{"B", "CLOSE", "notepad", "A"}};
}

TEST(TablePrintout, ListeningIsRestoredAndTheJobEndsOrIsAborted)
{
    const QStringList stopStart{"stop", "start"};
    const QStringList stopOnly{"stop"};
    struct Case
    {
        const char *name;
        bool listeningBefore;
        std::optional<int> copies;
        int tableFailsOnRefresh;
        const char *printerFailsOn;
        Outcome outcome;
        QStringList listeningCalls;
        bool begun;
        bool ended;
        bool aborted;
    };
    const Case cases[] = {
        {"cancelled while listening", true, std::nullopt, 0, "", Outcome::Cancelled, stopStart, false, false,
         false},
        {"cancelled while not listening", false, std::nullopt, 0, "", Outcome::Cancelled, stopOnly, false,
         false, false},
        {"printed while listening", true, 2, 0, "", Outcome::Printed, stopStart, true, true, false},
        {"printed while not listening", false, 1, 0, "", Outcome::Printed, stopOnly, true, true, false},
        {"table unreadable for the second copy", true, 2, 2, "", Outcome::Failed, stopStart, false, false,
         false},
        {"printer cannot start", false, 1, 0, "begin", Outcome::Failed, stopOnly, true, false, true},
        {"printer fails between copies", true, 2, 0, "newPage", Outcome::Failed, stopStart, true, false,
         true},
        {"printer fails while drawing", true, 1, 0, "text", Outcome::Failed, stopStart, true, false, true},
        {"printer fails to end the document", true, 1, 0, "end", Outcome::Failed, stopStart, true, true,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList events;
        FakeCommandSource table(twoRows());
        table.failOnRefresh = c.tableFailsOnRefresh;
        FakeListening listening(c.listeningBefore);
        FakePrintDialog dialog(c.copies, &listening);
        dialog.events = &events;
        RecordingPrinter printer(events);
        printer.failOn = QString::fromLatin1(c.printerFailsOn);

        const Outcome outcome = TablePrintout(table, listening, dialog, printer).print();

        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(listening.calls, c.listeningCalls);
        EXPECT_EQ(listening.listening, c.listeningBefore);
        EXPECT_EQ(dialog.shown, 1);
        EXPECT_FALSE(dialog.listeningWhileShown);
        ASSERT_GE(events.size(), 2);
        EXPECT_EQ(events.mid(0, 2), (QStringList{"prepare", "dialog"}));
        EXPECT_EQ(has(events, "begin"), c.begun);
        EXPECT_EQ(has(events, "end"), c.ended);
        EXPECT_EQ(has(events, "abort"), c.aborted);
        if (c.aborted) {
            EXPECT_EQ(events.last(), QStringLiteral("abort"));
        }
        if (!c.begun) {
            EXPECT_FALSE(has(events, "text"));
        }
        // Every copy reads the table before the job starts; nothing is read when
        // the dialog is cancelled.
        EXPECT_EQ(table.refreshes,
                  c.copies ? (c.tableFailsOnRefresh ? c.tableFailsOnRefresh : *c.copies) : 0);
    }
}

TEST(TablePrintout, PrintsEachCopyOnItsOwnPages)
{
    QStringList events;
    FakeCommandSource table(twoRows());
    FakeListening listening(true);
    FakePrintDialog dialog(2);
    RecordingPrinter printer(events);

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
    const QStringList expected = QStringList{"prepare", "begin"} + placed("0", "10", "15") +
                                 QStringList{"newPage"} + placed("1", "11", "16") + QStringList{"end"};
    EXPECT_EQ(events, expected);
}

TEST(TablePrintout, NothingIsPrintedForNoCopies)
{
    QStringList events;
    FakeCommandSource table(twoRows());
    FakeListening listening(true);
    FakePrintDialog dialog(0);
    RecordingPrinter printer(events);

    EXPECT_EQ(TablePrintout(table, listening, dialog, printer).print(), Outcome::Cancelled);
    EXPECT_FALSE(has(events, "begin"));
    EXPECT_EQ(listening.calls, (QStringList{"stop", "start"}));
}

} // namespace
} // namespace kestrel::test
