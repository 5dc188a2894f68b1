#pragma once

#include "command_table/CommandRow.h"
#include "main_window/printout/PrintedPhrases.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <limits>

namespace kestrel {

/// One text placed on the printout.
struct PrintedLine
{
    QString text;
    double xMm = 0.0; ///< from the left edge of the printable area
    double yMm = 0.0; ///< top of the line, from the top edge of the printable area
    int page = 0;     ///< 0-based, counted over the whole document
    int copy = 0;     ///< 0-based

    bool operator==(const PrintedLine &) const = default;
};

/// A column of the printout: heading, left edge, and how long cells are broken.
struct PrintColumn
{
    const char *heading;
    double leftMm;
    int pieceLength; ///< characters per printed piece of a long cell
    int breakAbove;  ///< cells longer than this are printed in pieces
};

/// Places the command table on pages: the headings and an empty line at the start
/// of each copy, then every row in table order with long cells broken over lines.
/// Pure arithmetic over the rows; the printer supplies the line height.
///
/// One object lays out one document: copies are laid out one after the other and
/// share the page numbering. A page only counts once something is printed on it,
/// so a page break right before a new copy never leaves a blank page.
class TableLayout
{
public:
    using LineSink = std::function<void(const PrintedLine &)>;

    static const std::array<PrintColumn, 4> Columns;
    /// The scan stops after this many rows, like the phrase lookup does.
    static constexpr int MaxRows = 13000;
    /// A new page begins after a row that leaves the cursor further down than this.
    static constexpr double PageBreakBelowMm = 235.0;
    /// Continuation pages and later copies start this far below the top.
    static constexpr double NewPageTopMm = 1.0;

    /// printableHeightMm bounds the lines of one very tall row: a line that would
    /// end below it moves to the next page instead of being cut off.
    explicit TableLayout(double lineHeightMm,
                         double printableHeightMm = std::numeric_limits<double>::infinity());

    /// Lays out the next copy from the rows as refreshed for it.
    void layOutCopy(const QList<CommandRow> &rows, const LineSink &sink);

    /// Pages that hold something so far.
    int pageCount() const { return m_page + (m_pageUsed ? 1 : 0); }
    int copyCount() const { return m_copy; }

    /// A whole document: refreshes the source once per copy.
    static QList<PrintedLine> layOut(CommandSource &source, int copies, double lineHeightMm,
                                     double printableHeightMm = std::numeric_limits<double>::infinity());

    /// A cell's text as printed: whole, or in pieces when longer than the column
    /// allows. Lengths count characters (code points), never halves of one.
    static QStringList cellPieces(const QString &text, const PrintColumn &column);

private:
    void startNewPage();
    void layOutHeadings(const LineSink &sink);
    void layOutRow(const CommandRow &row, const LineSink &sink);
    void place(const QString &text, double xMm, const LineSink &sink);

    double m_lineHeight;
    double m_printableHeight;
    PrintedPhrases m_printed;
    int m_copy = 0;
    int m_page = 0;
    bool m_pageUsed = false;
    double m_y = 0.0;
};

} // namespace kestrel
