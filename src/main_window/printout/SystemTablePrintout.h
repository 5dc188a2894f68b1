#pragma once

#include "main_window/printout/PrinterPageSink.h"
#include "main_window/printout/QtPrintDialogStep.h"
#include "main_window/printout/TablePrintout.h"

#include <QPrinter>

class QWidget;

namespace kestrel {

class MessageBoxes;

/// The printout wired to the system printer and its print dialog: what the main
/// window's BtnPrnt handler calls. The printer lives as long as this object, so
/// the user's choice in the dialog is kept from one printout to the next. A
/// printout that fails is reported with its reason: the user must not walk to
/// the printer for a table that never went out.
class SystemTablePrintout
{
public:
    SystemTablePrintout(CommandSource &source, ListeningControl &listening, MessageBoxes &boxes,
                        QWidget *dialogParent);

    TablePrintout::Outcome print();

    QPrinter &printer() { return m_printer; }

private:
    MessageBoxes &m_boxes;
    QPrinter m_printer{QPrinter::HighResolution};
    PrinterPageSink m_sink{m_printer};
    QtPrintDialogStep m_dialog;
    TablePrintout m_printout;
};

} // namespace kestrel
