#include "main_window/printout/TableLayout.h"

#include "common/Failure.h"

#include <algorithm>
#include <cmath>

namespace kestrel {

const std::array<PrintColumn, 4> TableLayout::Columns = {{
    {"Word Or Phrase", 10.0, 13, 13},
    {"Function", 37.0, 8, 8},
    {"Action", 55.0, 60, 70},
    {"Parent", 180.0, 13, 13},
}};

TableLayout::TableLayout(double lineHeightMm, double printableHeightMm)
    : m_lineHeight(lineHeightMm), m_printableHeight(printableHeightMm)
{
    // A zero or NaN height would stack every line on one spot and never page.
    if (!(lineHeightMm > 0.0) || !std::isfinite(lineHeightMm))
        throw Failure(QStringLiteral("The printer reports no usable line height."));
}

QStringList TableLayout::cellPieces(const QString &text, const PrintColumn &column)
{
    if (text.isEmpty())
        return {};
    const QList<uint> codePoints = text.toUcs4();
    if (codePoints.size() <= column.breakAbove)
        return {text};
    const auto *data = reinterpret_cast<const char32_t *>(codePoints.constData());
    QStringList pieces;
    for (qsizetype at = 0; at < codePoints.size(); at += column.pieceLength) {
        const qsizetype length = std::min<qsizetype>(column.pieceLength, codePoints.size() - at);
        pieces.append(QString::fromUcs4(data + at, length));
    }
    return pieces;
}

void TableLayout::startNewPage()
{
    if (m_pageUsed) {
        ++m_page;
        m_pageUsed = false;
    }
    m_y = NewPageTopMm;
}

void TableLayout::place(const QString &text, double xMm, const LineSink &sink)
{
    m_pageUsed = true;
    sink(PrintedLine{text, xMm, m_y, m_page, m_copy});
}

void TableLayout::layOutHeadings(const LineSink &sink)
{
    for (const PrintColumn &column : Columns)
        place(QString::fromLatin1(column.heading), column.leftMm, sink);
    m_y += 2 * m_lineHeight; // the headings' line, then one empty line
}

void TableLayout::layOutRow(const CommandRow &row, const LineSink &sink)
{
    const std::array<QStringList, 4> cells = {
        cellPieces(row.WordPhrase, Columns[0]),
        cellPieces(row.Type, Columns[1]),
        cellPieces(row.Action, Columns[2]),
        cellPieces(row.Parent, Columns[3]),
    };
    qsizetype lines = 1;
    for (const QStringList &cell : cells)
        lines = std::max(lines, cell.size());

    // Line by line rather than cell by cell, so that a row too tall for the rest of
    // the page can go on over the next one with its columns still side by side.
    for (qsizetype line = 0; line < lines; ++line) {
        if (m_pageUsed && m_y + m_lineHeight > m_printableHeight)
            startNewPage();
        for (std::size_t c = 0; c < cells.size(); ++c) {
            if (line < cells[c].size())
                place(cells[c][line], Columns[c].leftMm, sink);
        }
        m_y += m_lineHeight;
    }
    if (m_y > PageBreakBelowMm)
        startNewPage();
}

void TableLayout::layOutCopy(const QList<CommandRow> &rows, const LineSink &sink)
{
    if (m_copy > 0)
        startNewPage();
    m_printed.clear();
    layOutHeadings(sink);

    const qsizetype visited = std::min<qsizetype>(rows.size(), MaxRows);
    for (qsizetype i = 0; i < visited; ++i) {
        const CommandRow &row = rows[i];
        if (row.WordPhrase.isEmpty())
            break;
        if (m_printed.contains(row.WordPhrase))
            continue;
        m_printed.add(row.WordPhrase);
        layOutRow(row, sink);
    }
    ++m_copy;
}

QList<PrintedLine> TableLayout::layOut(CommandSource &source, int copies, double lineHeightMm,
                                       double printableHeightMm)
{
    TableLayout layout(lineHeightMm, printableHeightMm);
    QList<PrintedLine> lines;
    const LineSink collect = [&lines](const PrintedLine &line) { lines.append(line); };
    for (int copy = 0; copy < copies; ++copy)
        layout.layOutCopy(source.refresh(), collect);
    return lines;
}

} // namespace kestrel
