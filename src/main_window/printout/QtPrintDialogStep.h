#pragma once

#include "main_window/printout/PrintDialogStep.h"

class QPrinter;
class QWidget;

namespace kestrel {

/// The system's print dialog (CommonDialog1) on the printer that will print, with
/// the number of copies preset to 1.
///
/// The program makes the copies itself (each one reads the table afresh and starts
/// on a new page), so the printer's own copy count is set back to 1 after the
/// dialog; otherwise the printer would repeat each of our copies again.
class QtPrintDialogStep final : public PrintDialogStep
{
public:
    QtPrintDialogStep(QPrinter &printer, QWidget *parent);

    std::optional<int> askCopies() override;

private:
    QPrinter &m_printer;
    QWidget *m_parent;
};

} // namespace kestrel
