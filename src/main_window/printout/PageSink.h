#pragma once

#include <QString>

namespace kestrel {

/// The printer as the print procedure drives it. Positions are millimetres from
/// the left and top edges of the printable area. Failing operations throw Failure.
///
/// Call order: prepare() before the print dialog; beginDocument(); then any number
/// of drawText()/newPage(); then endDocument(), or abortDocument() after a failure.
class PageSink
{
public:
    virtual ~PageSink() = default;

    /// Chooses unit and font; nothing is printed yet.
    virtual void prepare() = 0;
    /// Starts the print job; the first page is current afterwards.
    virtual void beginDocument() = 0;
    /// Height of one line of the print font. Valid after beginDocument().
    virtual double lineHeightMm() const = 0;
    /// Height of the printable area. Valid after beginDocument().
    virtual double printableHeightMm() const = 0;
    /// Prints text whose line top is at yMm, starting at xMm.
    virtual void drawText(double xMm, double yMm, const QString &text) = 0;
    virtual void newPage() = 0;
    /// Ends the document, which hands it to the printer.
    virtual void endDocument() = 0;
    /// Gives up the current job so that nothing half-printed is sent and the printer
    /// is free for the next job. Harmless when no job is open. Never throws.
    virtual void abortDocument() noexcept = 0;
};

} // namespace kestrel
