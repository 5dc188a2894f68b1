#pragma once

#include "main_window/printout/PrinterPageSink.h"
#include "main_window/printout/QtPrintDialogStep.h"
#include "main_window/printout/TablePrintout.h"

#include <QPrinter>

class QWidget;

namespace kestrel {

/// The printout wired to the system printer and its print dialog: what the main
/// window's BtnPrnt handler calls. The printer lives as long as this object, so
/// the user's choice in the dialog is kept from one printout to the next.
class SystemTablePrintout
{
public:
    SystemTablePrintout(CommandSource &source, ListeningControl &listening, QWidget *dialogParent);

    TablePrintout::Outcome print() { return m_printout.print(); }

    QPrinter &printer() { return m_printer; }

private:
    QPrinter m_printer{QPrinter::HighResolution};
    PrinterPageSink m_sink{m_printer};
    QtPrintDialogStep m_dialog;
    TablePrintout m_printout;
};

} // namespace kestrel
