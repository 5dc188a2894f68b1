#include "PrintoutFakes.h"

#include "main_window/printout/TableLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace kestrel::test {
namespace {

constexpr double Lh = 5.0; // exact in binary, so page-break boundaries are exact too
constexpr double Inf = std::numeric_limits<double>::infinity();
constexpr double WordX = 10.0, TypeX = 37.0, ActionX = 55.0, ParentX = 180.0;

CommandRow row(const QString &phrase, const QString &type = {}, const QString &action = {},
               const QString &parent = {})
{
    return CommandRow{phrase, type, action, parent};
}

QList<CommandRow> rowsNamed(const QStringList &phrases)
{
    QList<CommandRow> rows;
    for (const QString &phrase : phrases)
        rows.append(row(phrase, QStringLiteral("OPEN"), QStringLiteral("notepad")));
    return rows;
}

QList<PrintedLine> layOut(const QList<CommandRow> &rows, int copies = 1, double lineHeight = Lh,
                          double printableHeight = Inf)
{
    FakeCommandSource source(rows);
    return TableLayout::layOut(source, copies, lineHeight, printableHeight);
}

/// The lines of one copy after its four headings.
QList<PrintedLine> body(const QList<PrintedLine> &lines, int copy = 0)
{
    QList<PrintedLine> result;
    int seen = 0;
    for (const PrintedLine &line : lines) {
        if (line.copy == copy && ++seen > 4)
            result.append(line);
    }
    return result;
}

QList<PrintedLine> inColumn(const QList<PrintedLine> &lines, double x)
{
    QList<PrintedLine> result;
    for (const PrintedLine &line : lines) {
        if (line.xMm == x)
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

QString repeated(QChar c, int n)
{
    return QString(n, c);
}

TEST(TableLayout, LongCellsBreakIntoPiecesAtTheirColumn)
{
    const QString smile = QString::fromUcs4(U"\U0001F600");
    struct Case
    {
        const char *name;
        int column;
        QString text;
        QStringList pieces;
    };
    const QString a70 = repeated(u'a', 70);
    const QString a71 = repeated(u'b', 60) + repeated(u'c', 11);
    const Case cases[] = {
        {"phrase of 13 stays whole", 0, QStringLiteral("ABCDEFGHIJKLM"), {QStringLiteral("ABCDEFGHIJKLM")}},
        {"phrase of 14 breaks 13+1",
         0,
         QStringLiteral("ABCDEFGHIJKLMN"),
         {QStringLiteral("ABCDEFGHIJKLM"), QStringLiteral("N")}},
        {"phrase of 27 breaks 13+13+1",
         0,
         QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ0"),
         {QStringLiteral("ABCDEFGHIJKLM"), QStringLiteral("NOPQRSTUVWXYZ"), QStringLiteral("0")}},
        {"FUNCTION stays whole", 1, QStringLiteral("FUNCTION"), {QStringLiteral("FUNCTION")}},
        {"type of 9 breaks 8+1",
         1,
         QStringLiteral("FUNCTIONS"),
         {QStringLiteral("FUNCTION"), QStringLiteral("S")}},
        {"action of 70 stays whole", 2, a70, {a70}},
        {"action of 71 breaks 60+11", 2, a71, {repeated(u'b', 60), repeated(u'c', 11)}},
        {"action of 121 breaks 60+60+1",
         2,
         repeated(u'x', 121),
         {repeated(u'x', 60), repeated(u'x', 60), QStringLiteral("x")}},
        {"parent of 13 stays whole", 3, QStringLiteral("OPEN NOTEPAD!"), {QStringLiteral("OPEN NOTEPAD!")}},
        {"parent of 14 breaks 13+1",
         3,
         QStringLiteral("OPEN NOTEPAD!!"),
         {QStringLiteral("OPEN NOTEPAD!"), QStringLiteral("!")}},
        {"characters outside the BMP count once and stay whole",
         0,
         smile.repeated(14),
         {smile.repeated(13), smile}},
        {"blanks are kept as typed", 2, QStringLiteral("  {ENTER}  "), {QStringLiteral("  {ENTER}  ")}},
    };
    const double columnX[] = {WordX, TypeX, ActionX, ParentX};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CommandRow r =
            row(QStringLiteral("KEY"), QStringLiteral("TEXT"), QStringLiteral("a"), QStringLiteral("P"));
        QString *fields[] = {&r.WordPhrase, &r.Type, &r.Action, &r.Parent};
        *fields[c.column] = c.text;

        const QList<PrintedLine> printed = inColumn(body(layOut({r})), columnX[c.column]);
        EXPECT_EQ(texts(printed), c.pieces);
        for (qsizetype k = 0; k < printed.size(); ++k)
            EXPECT_DOUBLE_EQ(printed[k].yMm, 2 * Lh + k * Lh) << "piece " << k;
    }
}

TEST(TableLayout, HeadingsThenOneEmptyLineThenTheRows)
{
    const double lineHeight = 4.2333; // 12 pt leading
    const QList<PrintedLine> lines = layOut({row("OPEN NOTEPAD", "OPEN", "notepad.exe", "")}, 1, lineHeight);

    ASSERT_GE(lines.size(), 7);
    const QList<PrintedLine> headings = lines.mid(0, 4);
    EXPECT_EQ(texts(headings), (QStringList{"Word Or Phrase", "Function", "Action", "Parent"}));
    const double headingX[] = {WordX, TypeX, ActionX, ParentX};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(headings[i].xMm, headingX[i]);
        EXPECT_EQ(headings[i].yMm, 0.0);
    }
    // The empty Parent prints nothing; the row still takes its line.
    EXPECT_EQ(texts(body(lines)), (QStringList{"OPEN NOTEPAD", "OPEN", "notepad.exe"}));
    for (const PrintedLine &line : body(lines))
        EXPECT_NEAR(line.yMm, 2 * lineHeight, 1e-9);
}

TEST(TableLayout, EachRowStartsBelowTheLowestLineOfThePreviousRow)
{
    struct Case
    {
        const char *name;
        QList<CommandRow> rows;
        QList<double> phraseTops;
    };
    const Case cases[] = {
        {"one-line rows follow each other", {row("A"), row("B"), row("C")}, {10, 15, 20}},
        {"a two-line action pushes the next row",
         {row("A", "", repeated(u'x', 71)), row("B"), row("C")},
         {10, 20, 25}},
        {"the tallest cell of a row decides",
         {row("A", "FUNCTIONS", repeated(u'x', 71), "ABCDEFGHIJKLMNOPQRSTUVWXYZ0"), row("B")},
         {10, 25}},
        {"a long phrase counts like any cell", {row("ABCDEFGHIJKLMN"), row("B")}, {10, 20}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<PrintedLine> phraseLines = inColumn(body(layOut(c.rows)), WordX);
        // Every phrase here differs in its first piece, which starts its row.
        QList<double> rowTops;
        for (const CommandRow &r : c.rows) {
            const QString first = TableLayout::cellPieces(r.WordPhrase, TableLayout::Columns[0]).first();
            for (const PrintedLine &line : phraseLines) {
                if (line.text == first) {
                    rowTops << line.yMm;
                    break;
                }
            }
        }
        EXPECT_EQ(rowTops, c.phraseTops);
    }
}

TEST(TableLayout, WhichRowsArePrinted)
{
    struct Case
    {
        const char *name;
        QStringList phrases;
        QStringList printed;
    };
    const Case cases[] = {
        {"a repeated phrase prints once", {"OPEN", "CLOSE", "OPEN"}, {"OPEN", "CLOSE"}},
        {"the memory is case-sensitive", {"OPEN", "open"}, {"OPEN", "open"}},
        {"a phrase that contains another is its own",
         {"OPEN NOTEPAD", "OPEN", "NOTEPAD"},
         {"OPEN NOTEPAD", "OPEN", "NOTEPAD"}},
        {"a trailing blank makes another phrase", {"OPEN", "OPEN "}, {"OPEN", "OPEN "}},
        {"an empty phrase ends the table", {"A", "B", "", "C"}, {"A", "B"}},
        {"an empty first phrase prints no row", {"", "A"}, {}},
        {"an empty table prints no row", {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QList<PrintedLine> lines = layOut(rowsNamed(c.phrases), 2);
        for (int copy = 0; copy < 2; ++copy)
            EXPECT_EQ(texts(inColumn(body(lines, copy), WordX)), c.printed) << "copy " << copy;
    }
}

TEST(TableLayout, EmptyTablePrintsTheHeadingsOnly)
{
    FakeCommandSource source;
    TableLayout layout(Lh);
    QList<PrintedLine> lines;
    layout.layOutCopy(source.refresh(), [&](const PrintedLine &line) { lines << line; });

    EXPECT_EQ(texts(lines), (QStringList{"Word Or Phrase", "Function", "Action", "Parent"}));
    EXPECT_EQ(layout.pageCount(), 1);
}

TEST(TableLayout, EveryCopyStartsOnANewPageWithItsHeadings)
{
    FakeCommandSource source(rowsNamed({"A", "B", "A"}));
    const QList<PrintedLine> lines = TableLayout::layOut(source, 3, Lh);

    EXPECT_EQ(source.refreshes, 3);
    QList<PrintedLine> headings;
    for (const PrintedLine &line : lines) {
        if (line.text == QLatin1String("Word Or Phrase"))
            headings << line;
    }
    ASSERT_EQ(headings.size(), 3);
    const double tops[] = {0.0, 1.0, 1.0};
    for (int copy = 0; copy < 3; ++copy) {
        SCOPED_TRACE(copy);
        EXPECT_EQ(headings[copy].page, copy);
        EXPECT_EQ(headings[copy].copy, copy);
        EXPECT_EQ(headings[copy].yMm, tops[copy]);
        const QList<PrintedLine> rows = inColumn(body(lines, copy), WordX);
        EXPECT_EQ(texts(rows), (QStringList{"A", "B"}));
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[0].yMm, tops[copy] + 2 * Lh);
        EXPECT_EQ(rows[1].page, copy);
    }
}

TEST(TableLayout, LongTableGoesOnOverPagesWithoutNewHeadings)
{
    QStringList phrases;
    for (int i = 0; i < 100; ++i)
        phrases << QStringLiteral("ROW %1").arg(i, 3, 10, QLatin1Char('0'));
    const QList<PrintedLine> lines = layOut(rowsNamed(phrases));

    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const PrintedLine &l) { return l.text == QLatin1String("Word Or Phrase"); }),
              1);
    const QList<PrintedLine> rows = inColumn(body(lines), WordX);
    ASSERT_EQ(texts(rows), phrases);

    // Rows start at 10 mm. The 45th row leaves the cursor at exactly 235 mm, which
    // is not beyond the limit; the 46th leaves it at 240 mm and the page ends.
    struct Expect
    {
        int index;
        int page;
        double top;
    };
    const Expect expected[] = {
        {0, 0, 10.0},   {44, 0, 230.0}, {45, 0, 235.0}, {46, 1, 1.0},
        {92, 1, 231.0}, {93, 2, 1.0},   {99, 2, 31.0},
    };
    for (const Expect &e : expected) {
        SCOPED_TRACE(e.index);
        EXPECT_EQ(rows[e.index].page, e.page);
        EXPECT_DOUBLE_EQ(rows[e.index].yMm, e.top);
    }
}

TEST(TableLayout, NoBlankPageWhenACopyEndsRightAfterAPageBreak)
{
    struct Case
    {
        const char *name;
        int rows;
        int copies;
        int pages;
        int secondCopyPage;
    };
    const Case cases[] = {
        {"cursor at 235 mm: no break, next copy on page 2", 45, 2, 2, 1},
        {"cursor at 240 mm: the break's page takes the next copy", 46, 2, 3, 1},
        {"a single copy ends without a trailing empty page", 46, 1, 1, -1},
        {"three copies of a page and a bit", 50, 3, 6, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QStringList phrases;
        for (int i = 0; i < c.rows; ++i)
            phrases << QString::number(i);
        FakeCommandSource source(rowsNamed(phrases));
        TableLayout layout(Lh);
        QList<PrintedLine> lines;
        for (int copy = 0; copy < c.copies; ++copy)
            layout.layOutCopy(source.refresh(), [&](const PrintedLine &line) { lines << line; });

        EXPECT_EQ(layout.pageCount(), c.pages);
        EXPECT_EQ(lines.last().page, c.pages - 1);
        if (c.secondCopyPage >= 0) {
            const auto heading =
                std::find_if(lines.begin(), lines.end(), [](const PrintedLine &l) { return l.copy == 1; });
            ASSERT_NE(heading, lines.end());
            EXPECT_EQ(heading->text, QStringLiteral("Word Or Phrase"));
            EXPECT_EQ(heading->page, c.secondCopyPage);
            EXPECT_EQ(heading->yMm, 1.0);
        }
    }
}

TEST(TableLayout, PhrasesPrintedLongAgoAreForgottenPastTheMemoryBound)
{
    // "|EARLY|" takes 7 characters and every 4-character filler 5 more: 398
    // fillers bring the memory to 1997, 399 to 2002, which cuts its start away.
    struct Case
    {
        int fillers;
        int earlyPrinted;
    };
    const Case cases[] = {{0, 1}, {398, 1}, {399, 2}, {600, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fillers);
        QStringList phrases{"EARLY"};
        for (int i = 0; i < c.fillers; ++i)
            phrases << QStringLiteral("F%1").arg(i, 3, 10, QLatin1Char('0'));
        phrases << QStringLiteral("EARLY");
        const QList<PrintedLine> lines = layOut(rowsNamed(phrases), 2);
        for (int copy = 0; copy < 2; ++copy) {
            const QStringList printed = texts(inColumn(body(lines, copy), WordX));
            EXPECT_EQ(printed.count(QStringLiteral("EARLY")), c.earlyPrinted) << "copy " << copy;
            EXPECT_EQ(printed.size(), c.fillers + c.earlyPrinted);
        }
    }
}

TEST(TableLayout, TheScanStopsAfterThirteenThousandRows)
{
    struct Case
    {
        int rows;
        int printed;
    };
    const Case cases[] = {{12999, 12999}, {13000, 13000}, {13001, 13000}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.rows);
        QStringList phrases;
        for (int i = 0; i < c.rows; ++i)
            phrases << QStringLiteral("R%1").arg(i, 5, 10, QLatin1Char('0'));
        const QList<PrintedLine> rows = inColumn(body(layOut(rowsNamed(phrases))), WordX);
        ASSERT_EQ(rows.size(), c.printed);
        EXPECT_EQ(rows.last().text, phrases[c.printed - 1]);
    }
}

TEST(TableLayout, ARowTallerThanTheRestOfThePageGoesOnOverTheNextPage)
{
    const double printable = 100.0;
    const QString action = repeated(u'a', 60 * 12) + repeated(u'b', 60 * 12) + QStringLiteral("end");
    const QList<PrintedLine> lines =
        layOut({row("FIRST", "TEXT", action, ""), row("AFTER", "TEXT", "x", "")}, 1, Lh, printable);

    const QList<PrintedLine> pieces = inColumn(body(lines), ActionX);
    EXPECT_EQ(texts(pieces).join(QString()), action + QStringLiteral("x"));
    for (const PrintedLine &line : lines)
        EXPECT_LE(line.yMm + Lh, printable) << line.text.toStdString();
    // 18 lines fit below the row's top at 10 mm; the 19th opens page 2 at 1 mm.
    ASSERT_GE(pieces.size(), 20);
    EXPECT_EQ(pieces[17].page, 0);
    EXPECT_DOUBLE_EQ(pieces[17].yMm, 95.0);
    EXPECT_EQ(pieces[18].page, 1);
    EXPECT_DOUBLE_EQ(pieces[18].yMm, 1.0);
    // The row's phrase and type stay on its first line, the next row follows it.
    const QList<PrintedLine> phrases = inColumn(body(lines), WordX);
    ASSERT_EQ(texts(phrases), (QStringList{"FIRST", "AFTER"}));
    EXPECT_EQ(phrases[0].page, 0);
    EXPECT_EQ(phrases[1].page, 1);
    EXPECT_DOUBLE_EQ(phrases[1].yMm, pieces[24].yMm + Lh);
}

TEST(TableLayout, RejectsLineHeightsThatCannotPage)
{
    for (double height : {0.0, -4.2, std::nan(""), Inf}) {
        SCOPED_TRACE(height);
        EXPECT_THROW(TableLayout layout(height), Failure);
    }
}

} // namespace
} // namespace kestrel::test
