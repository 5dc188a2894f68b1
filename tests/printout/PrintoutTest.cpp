#include "PrintoutFakes.h"

#include "main_window/printout/PageSink.h"
#include "main_window/printout/TableLayout.h"
#include "main_window/printout/TablePrintout.h"

#include <gtest/gtest.h>

#include <cmath>

namespace kestrel::test {
namespace {

constexpr double Lh = 5.0; // exact in binary, so the 235 mm boundary is exact too
constexpr double WordX = 10, ActionX = 55;

QList<CommandRow> named(const QStringList &phrases)
{
    QList<CommandRow> rows;
    for (const QString &phrase : phrases)
        rows.append({phrase, "OPEN", "notepad", ""});
    return rows;
}

QStringList numbered(const QString &prefix, int count)
{
    QStringList phrases;
    for (int i = 0; i < count; ++i)
        phrases << prefix + QStringLiteral("%1").arg(i, 5, 10, QLatin1Char('0'));
    return phrases;
}

QList<PrintedLine> layOut(const QList<CommandRow> &rows, int copies = 1, double printable = INFINITY)
{
    FakeCommandSource source(rows);
    return TableLayout::layOut(source, copies, Lh, printable);
}

/// The lines of one copy after its four headings, optionally of one column only.
QList<PrintedLine> body(const QList<PrintedLine> &lines, int copy = 0, double x = -1)
{
    QList<PrintedLine> result;
    int seen = 0;
    for (const PrintedLine &line : lines) {
        if (line.copy == copy && ++seen > 4 && (x < 0 || line.xMm == x))
            result.append(line);
    }
    return result;
}

QStringList texts(const QList<PrintedLine> &lines)
{
    QStringList result;
    for (const PrintedLine &line : lines)
        result << line.text;
    return result;
}

TEST(TableLayout, LongCellsBreakIntoPiecesAndPushTheNextRowDown)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    const QString b60 = QString(60, 'b'), x60 = QString(60, 'x');
    const std::tuple<const char *, int, QString, QStringList> cases[] = {
        {"phrase of 14 breaks 13+1", 0, "ABCDEFGHIJKLMN", {"ABCDEFGHIJKLM", "N"}},
        {"type of 9 breaks 8+1", 1, "FUNCTIONS", {"FUNCTION", "S"}},
        {"action of 70 stays whole", 2, QString(70, 'a'), {QString(70, 'a')}},
        {"action of 71 breaks 60+11", 2, b60 + QString(11, 'c'), {b60, QString(11, 'c')}},
        {"action of 121 breaks 60+60+1", 2, x60 + x60 + "y", {x60, x60, "y"}},
        {"parent of 14 breaks 13+1", 3, "OPEN NOTEPAD!!", {"OPEN NOTEPAD!", "!"}},
        {"a character outside the BMP counts once", 0, smile.repeated(14), {smile.repeated(13), smile}},
        {"blanks are printed as typed", 2, "  {ENTER}  ", {"  {ENTER}  "}},
    };
    const double columnX[] = {WordX, 37, ActionX, 180};
    for (const auto &[name, column, text, expected] : cases) {
        SCOPED_TRACE(name);
        CommandRow r{"KEY", "TEXT", "a", "P"};
        QString *fields[] = {&r.WordPhrase, &r.Type, &r.Action, &r.Parent};
        *fields[column] = text;
        const QList<PrintedLine> lines = layOut({r, {"NEXT", "", "", ""}});

        QList<PrintedLine> pieces = body(lines, 0, columnX[column]);
        const PrintedLine next = column == 0 ? pieces.takeLast() : body(lines, 0, WordX).last();
        EXPECT_EQ(texts(pieces), expected);
        for (qsizetype k = 0; k < pieces.size(); ++k)
            EXPECT_EQ(pieces[k].yMm, 2 * Lh + k * Lh) << "piece " << k;
        EXPECT_EQ(next.text, "NEXT");
        EXPECT_EQ(next.yMm, 2 * Lh + expected.size() * Lh);
    }
}

TEST(TableLayout, WhichRowsArePrintedInEveryCopy)
{
    const std::tuple<const char *, QStringList, QStringList> cases[] = {
        {"a repeated phrase prints once", {"OPEN", "CLOSE", "OPEN"}, {"OPEN", "CLOSE"}},
        {"the memory is case-sensitive and exact",
         {"OPEN", "open", "OPEN ", "OPEN NOTEPAD", "NOTEPAD"},
         {"OPEN", "open", "OPEN ", "OPEN NOTEPAD", "NOTEPAD"}},
        {"an empty phrase ends the table", {"A", "B", "", "C"}, {"A", "B"}},
        {"an empty first phrase prints no row", {"", "A"}, {}},
    };
    for (const auto &[name, phrases, printed] : cases) {
        SCOPED_TRACE(name);
        const QList<PrintedLine> lines = layOut(named(phrases), 2);
        EXPECT_EQ(texts(lines).count("Word Or Phrase"), 2);
        for (int copy = 0; copy < 2; ++copy)
            EXPECT_EQ(texts(body(lines, copy, WordX)), printed) << "copy " << copy;
    }
}

TEST(TableLayout, PhrasesPrintedLongAgoArePrintedAgainPastTheMemoryBound)
{
    // "|EARLY|" is 7 characters and each 6-character filler adds 7: 284 fillers
    // make 1995, 285 make 2002, and the cut to the last 1996 loses "|EARLY|".
    for (const auto &[fillers, printed] : {std::pair{284, 1}, {285, 2}, {600, 2}}) {
        SCOPED_TRACE(fillers);
        const QList<PrintedLine> lines =
            layOut(named(QStringList{"EARLY"} + numbered("F", fillers) << "EARLY"), 2);
        for (int copy = 0; copy < 2; ++copy)
            EXPECT_EQ(texts(body(lines, copy, WordX)).count("EARLY"), printed) << "copy " << copy;
    }
    PrintedPhrases memory;
    for (int i = 0; i < 400; ++i) // 1 + 400 * 5 = 2001 characters
        memory.add(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(memory.text().size(), 1996);
    EXPECT_TRUE(memory.text().startsWith("|P001|"));
}

TEST(TableLayout, TheScanStopsAfterThirteenThousandRows)
{
    for (int rows : {13000, 13001}) {
        const QStringList phrases = numbered("R", rows);
        const QList<PrintedLine> printed = body(layOut(named(phrases)), 0, WordX);
        ASSERT_EQ(printed.size(), 13000) << rows;
        EXPECT_EQ(printed.last().text, phrases[12999]);
    }
}

TEST(TableLayout, CopiesAndPages)
{
    // Rows, copies, pages, and the page and top of each copy's headings.
    const std::tuple<const char *, int, int, int, QList<QPair<int, double>>> cases[] = {
        {"empty table: headings only", 0, 1, 1, {{0, 0.0}}},
        {"three copies, each on a new page 1 mm down", 2, 3, 3, {{0, 0.0}, {1, 1.0}, {2, 1.0}}},
        {"cursor at 235 mm stays on the page", 45, 2, 2, {{0, 0.0}, {1, 1.0}}},
        {"cursor at 240 mm: the new page takes the next copy", 46, 2, 3, {{0, 0.0}, {1, 1.0}}},
        {"no empty page at the end", 46, 1, 1, {{0, 0.0}}},
        {"a long table goes on without headings", 100, 1, 3, {{0, 0.0}}},
    };
    for (const auto &[name, rowCount, copies, pages, expected] : cases) {
        SCOPED_TRACE(name);
        FakeCommandSource source(named(numbered("R", rowCount)));
        TableLayout layout(Lh);
        QList<PrintedLine> lines;
        for (int copy = 0; copy < copies; ++copy)
            layout.layOutCopy(source.refresh(), [&](const PrintedLine &line) { lines << line; });

        EXPECT_EQ(layout.pageCount(), pages);
        EXPECT_EQ(lines.last().page, pages - 1);
        QList<QPair<int, double>> headings;
        for (const PrintedLine &line : lines) {
            if (line.text == "Word Or Phrase")
                headings.append({line.page, line.yMm});
        }
        EXPECT_EQ(headings, expected);
        for (int copy = 0; copy < copies; ++copy) {
            const QList<PrintedLine> rows = body(lines, copy, WordX);
            ASSERT_EQ(rows.size(), rowCount);
            for (int i = 1; i < rowCount; ++i) {
                // A page ends only after a row that leaves the cursor below 235 mm.
                const bool pageEnded = rows[i - 1].yMm + Lh > TableLayout::PageBreakBelowMm;
                EXPECT_EQ(rows[i].page, rows[i - 1].page + (pageEnded ? 1 : 0)) << "row " << i;
                EXPECT_EQ(rows[i].yMm, pageEnded ? 1.0 : rows[i - 1].yMm + Lh) << "row " << i;
            }
        }
    }
}

TEST(TableLayout, ARowTallerThanTheRestOfThePageGoesOnOverTheNextPage)
{
    const QString action = QString(60 * 24, 'a') + "end"; // 25 lines
    const QList<PrintedLine> lines =
        layOut({{"FIRST", "TEXT", action, ""}, {"AFTER", "TEXT", "x", ""}}, 1, 100.0);

    const QList<PrintedLine> pieces = body(lines, 0, ActionX);
    EXPECT_EQ(texts(pieces).join(""), action + "x");
    for (const PrintedLine &line : lines)
        EXPECT_LE(line.yMm + Lh, 100.0) << line.text.toStdString();
    // From 10 mm, 18 lines fit on a 100 mm page; the 19th opens the next at 1 mm.
    ASSERT_EQ(pieces.size(), 26);
    EXPECT_EQ(std::make_pair(pieces[17].page, pieces[17].yMm), std::make_pair(0, 95.0));
    EXPECT_EQ(std::make_pair(pieces[18].page, pieces[18].yMm), std::make_pair(1, 1.0));
    EXPECT_EQ(std::make_pair(pieces[25].page, pieces[25].yMm), std::make_pair(1, 36.0)); // AFTER's
}

TEST(TableLayout, RejectsLineHeightsThatCannotPage)
{
    for (double height : {0.0, -4.2, double(NAN), double(INFINITY)})
        EXPECT_THROW(TableLayout{height}, Failure) << height;
}

using Outcome = TablePrintout::Outcome;

/// Writes every call into a shared event list; fails on the first call of one kind.
struct RecordingPrinter : PageSink
{
    RecordingPrinter(QStringList &e, QString f = {}) : events(e), failOn(std::move(f)) {}
    void prepare() override { record("prepare"); }
    void beginDocument() override { record("begin"); }
    double lineHeightMm() const override { return 5.0; }
    double printableHeightMm() const override { return INFINITY; }
    void drawText(double, double, const QString &) override { record("text"); }
    void newPage() override { record("newPage"); }
    void endDocument() override { record("end"); }
    void abortDocument() noexcept override { events << "abort"; }
    void record(const QString &kind)
    {
        events << kind;
        if (kind == failOn)
            throw Failure("printer jammed");
    }
    QStringList &events;
    QString failOn;
};

const QList<CommandRow> TwoRows = {{"A", "OPEN", "notepad", ""}, {"B", "CLOSE", "notepad", "A"}};

TEST(TablePrintout, ListeningComesBackAndAFailedJobIsAborted)
{
    // Listening before, copies asked for, refresh the table fails on, the printer call that fails.
    const std::tuple<const char *, bool, std::optional<int>, int, const char *, Outcome> cases[] = {
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
    for (const auto &[name, wasListening, copies, tableFailsOn, printerFailsOn, outcome] : cases) {
        SCOPED_TRACE(name);
        QStringList events;
        FakeCommandSource table(TwoRows);
        table.failOnRefresh = tableFailsOn;
        FakeListening listening(wasListening);
        FakePrintDialog dialog(copies, &listening, &events);
        RecordingPrinter printer(events, printerFailsOn);

        TablePrintout printout(table, listening, dialog, printer);
        EXPECT_EQ(printout.print(), outcome);
        EXPECT_EQ(listening.calls, (QStringList{"hold", "release"}));
        EXPECT_EQ(events.mid(0, 2), QStringList({"prepare", "dialog"}));
        // Only a job the printer started is aborted, and only once.
        const bool aborted = *printerFailsOn;
        EXPECT_EQ(events.last(), QString(outcome == Outcome::Printed ? "end" : aborted ? "abort" : "dialog"));
        EXPECT_EQ(events.count("abort"), aborted ? 1 : 0);
        // The caller shows the reason of a failure, and only of a failure.
        const QString reason = outcome != Outcome::Failed   ? ""
                               : aborted || *printerFailsOn ? "printer jammed"
                                                            : "database unreadable";
        EXPECT_EQ(printout.failureDescription(), reason);
    }
}

} // namespace
} // namespace kestrel::test
