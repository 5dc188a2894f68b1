#pragma once

#include "main_window/printout/PageSink.h"

#include <QFont>
#include <QPainter>

class QPrinter;

namespace kestrel {

/// Prints on a QPrinter with the font "Courier" 10 pt (Nimbus Mono PS where the URW
/// fonts stand in for it).
///
/// Millimetres are turned into device pixels here instead of giving the painter a
/// millimetre window: such a window would scale the font along with the positions.
/// The painter's origin is the top-left corner of the printable area.
class PrinterPageSink final : public PageSink
{
public:
    explicit PrinterPageSink(QPrinter &printer);
    ~PrinterPageSink() override;

    PrinterPageSink(const PrinterPageSink &) = delete;
    PrinterPageSink &operator=(const PrinterPageSink &) = delete;

    void prepare() override;
    void beginDocument() override;
    double lineHeightMm() const override;
    double printableHeightMm() const override;
    void drawText(double xMm, double yMm, const QString &text) override;
    void newPage() override;
    void endDocument() override;
    void abortDocument() noexcept override;

    static QFont printFont();

private:
    QPrinter &m_printer;
    QPainter m_painter;
    QFont m_font;
    double m_pixelsPerMmX = 0.0;
    double m_pixelsPerMmY = 0.0;
    double m_ascentPx = 0.0;
    double m_lineSpacingPx = 0.0;
};

} // namespace kestrel
