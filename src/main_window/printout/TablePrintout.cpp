#include "main_window/printout/TablePrintout.h"

#include "common/Failure.h"
#include "main_window/printout/TableLayout.h"

#include <exception>

namespace kestrel {

TablePrintout::TablePrintout(CommandSource &source, ListeningControl &listening, PrintDialogStep &dialog,
                             PageSink &printer)
    : m_source(source), m_listening(listening), m_dialog(dialog), m_printer(printer)
{
}

TablePrintout::Outcome TablePrintout::print()
{
    Outcome outcome = Outcome::Failed;
    bool jobStarted = false;
    m_failure.clear();
    try {
        m_listening.holdListening();
        m_printer.prepare();
        const std::optional<int> copies = m_dialog.askCopies();
        if (!copies || *copies < 1) {
            outcome = Outcome::Cancelled;
        } else {
            const QList<QList<CommandRow>> tables = refreshCopies(*copies);
            jobStarted = true;
            printCopies(tables);
            jobStarted = false;
            outcome = Outcome::Printed;
        }
    } catch (const Failure &failure) {
        if (jobStarted)
            m_printer.abortDocument();
        outcome = Outcome::Failed;
        m_failure = failure.description();
    } catch (const std::exception &error) {
        if (jobStarted)
            m_printer.abortDocument();
        outcome = Outcome::Failed;
        m_failure = QString::fromLocal8Bit(error.what());
    }
    m_listening.releaseListening(true);
    return outcome;
}

QList<QList<CommandRow>> TablePrintout::refreshCopies(int copies)
{
    // Each copy reads the table afresh. Nothing can edit the table while this runs
    // on the UI thread, so equal reads share one list instead of piling up copies.
    QList<QList<CommandRow>> tables;
    tables.reserve(copies);
    for (int copy = 0; copy < copies; ++copy) {
        QList<CommandRow> rows = m_source.refresh();
        if (!tables.isEmpty() && rows == tables.constLast())
            tables.append(tables.constLast());
        else
            tables.append(std::move(rows));
    }
    return tables;
}

void TablePrintout::printCopies(const QList<QList<CommandRow>> &copies)
{
    m_printer.beginDocument();
    TableLayout layout(m_printer.lineHeightMm(), m_printer.printableHeightMm());
    int page = 0;
    const TableLayout::LineSink draw = [this, &page](const PrintedLine &line) {
        for (; page < line.page; ++page)
            m_printer.newPage();
        m_printer.drawText(line.xMm, line.yMm, line.text);
    };
    for (const QList<CommandRow> &rows : copies)
        layout.layOutCopy(rows, draw);
    m_printer.endDocument();
}

} // namespace kestrel
