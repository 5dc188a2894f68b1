#pragma once

#include "command_table/CommandRow.h"
#include "main_window/printout/ListeningControl.h"
#include "main_window/printout/PageSink.h"
#include "main_window/printout/PrintDialogStep.h"

#include <QList>

namespace kestrel {

/// What "Print Table" (BtnPrnt) does: listening off, the print dialog, as many
/// copies of the command table as asked for, listening back on if it was on.
///
/// Every table read happens before the job starts, so a failing data source never
/// leaves half a document at the printer. A printer failure aborts the job rather
/// than leaving it open. Failures are silent: the outcome and the failure's
/// description are for the caller to show, and listening is restored whatever
/// happened.
///
/// UI thread only. The dependencies must outlive this object.
class TablePrintout
{
public:
    enum class Outcome { Printed, Cancelled, Failed };

    TablePrintout(CommandSource &source, ListeningControl &listening, PrintDialogStep &dialog,
                  PageSink &printer);

    Outcome print();
    /// Why the last print() failed, as the user may be told; empty after any
    /// other outcome.
    const QString &failureDescription() const { return m_failure; }

private:
    QList<QList<CommandRow>> refreshCopies(int copies);
    void printCopies(const QList<QList<CommandRow>> &copies);

    CommandSource &m_source;
    ListeningControl &m_listening;
    PrintDialogStep &m_dialog;
    PageSink &m_printer;
    QString m_failure;
};

} // namespace kestrel
