#include "main_window/printout/SystemTablePrintout.h"

#include "common/MessageBoxes.h"

namespace kestrel {

SystemTablePrintout::SystemTablePrintout(CommandSource &source, ListeningControl &listening,
                                         MessageBoxes &boxes, QWidget *dialogParent)
    : m_boxes(boxes), m_dialog(m_printer, dialogParent), m_printout(source, listening, m_dialog, m_sink)
{
}

TablePrintout::Outcome SystemTablePrintout::print()
{
    const TablePrintout::Outcome outcome = m_printout.print();
    if (outcome == TablePrintout::Outcome::Failed)
        m_boxes.inform(
            programTitle(),
            QStringLiteral("The command table could not be printed: %1").arg(m_printout.failureDescription()),
            MessageBoxes::Icon::Critical);
    return outcome;
}

} // namespace kestrel
