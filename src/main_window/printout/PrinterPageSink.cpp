#include "main_window/printout/PrinterPageSink.h"

#include "common/Failure.h"

#include <QFile>
#include <QFontMetricsF>
#include <QPointF>
#include <QPrinter>

namespace kestrel {

namespace {
constexpr double MmPerInch = 25.4;
}

PrinterPageSink::PrinterPageSink(QPrinter &printer) : m_printer(printer), m_font(printFont()) {}

PrinterPageSink::~PrinterPageSink()
{
    abortDocument();
}

QFont PrinterPageSink::printFont()
{
    QFont font(QStringLiteral("Courier"), 10);
    font.setBold(false);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

void PrinterPageSink::prepare()
{
    // Positions are measured from the printable area, which is where the painter's
    // origin lies unless the printer is told to paint on the full page.
    m_printer.setFullPage(false);
    m_font = printFont();
}

void PrinterPageSink::beginDocument()
{
    if (m_painter.isActive())
        throw Failure(QStringLiteral("The printer is still busy with another document."));
    if (!m_painter.begin(&m_printer))
        throw Failure(QStringLiteral("The printer could not be started."));
    m_painter.setFont(m_font);
    m_painter.setPen(Qt::black);

    m_pixelsPerMmX = m_printer.logicalDpiX() / MmPerInch;
    m_pixelsPerMmY = m_printer.logicalDpiY() / MmPerInch;
    const QFontMetricsF metrics(m_painter.font(), &m_printer);
    m_ascentPx = metrics.ascent();
    m_lineSpacingPx = metrics.lineSpacing();
    if (!(m_pixelsPerMmX > 0.0) || !(m_pixelsPerMmY > 0.0) || !(m_lineSpacingPx > 0.0)) {
        abortDocument();
        throw Failure(QStringLiteral("The printer reports no usable resolution."));
    }
}

double PrinterPageSink::lineHeightMm() const
{
    return m_pixelsPerMmY > 0.0 ? m_lineSpacingPx / m_pixelsPerMmY : 0.0;
}

double PrinterPageSink::printableHeightMm() const
{
    return m_pixelsPerMmY > 0.0 ? m_printer.height() / m_pixelsPerMmY : 0.0;
}

void PrinterPageSink::drawText(double xMm, double yMm, const QString &text)
{
    if (!m_painter.isActive())
        throw Failure(QStringLiteral("The printer has no open document."));
    // drawText() places the baseline; the layout gives the top of the line.
    m_painter.drawText(QPointF(xMm * m_pixelsPerMmX, yMm * m_pixelsPerMmY + m_ascentPx), text);
}

void PrinterPageSink::newPage()
{
    if (!m_painter.isActive() || !m_printer.newPage())
        throw Failure(QStringLiteral("The printer could not start a new page."));
}

void PrinterPageSink::endDocument()
{
    if (!m_painter.isActive() || !m_painter.end() || m_printer.printerState() == QPrinter::Error)
        throw Failure(QStringLiteral("The printer could not finish the document."));
}

void PrinterPageSink::abortDocument() noexcept
{
    if (!m_painter.isActive())
        return;
    const bool aborted = m_printer.abort();
    // The painter has to let go of the printer either way, or every later job
    // would fail to start.
    m_painter.end();
    if (aborted)
        return;
    // Qt's PDF engine cannot abort: it has already written the pages so far. A
    // half table must not pass for the printout, so the file goes.
    const QString file = m_printer.outputFileName();
    if (m_printer.outputFormat() == QPrinter::PdfFormat && !file.isEmpty())
        QFile::remove(file);
}

} // namespace kestrel
