#include "main_window/printout/QtPrintDialogStep.h"

#include <QPrintDialog>
#include <QPrinter>

#include <algorithm>

namespace kestrel {

QtPrintDialogStep::QtPrintDialogStep(QPrinter &printer, QWidget *parent)
    : m_printer(printer), m_parent(parent)
{
}

std::optional<int> QtPrintDialogStep::askCopies()
{
    m_printer.setCopyCount(1);
    QPrintDialog dialog(&m_printer, m_parent);
    dialog.setObjectName(QStringLiteral("CommonDialog1"));
    // The whole table is always printed; a page range would silently drop rows.
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const int copies = std::max(1, m_printer.copyCount());
    m_printer.setCopyCount(1);
    return copies;
}

} // namespace kestrel
