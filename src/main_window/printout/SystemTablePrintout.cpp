#include "main_window/printout/SystemTablePrintout.h"

namespace kestrel {

SystemTablePrintout::SystemTablePrintout(CommandSource &source, ListeningControl &listening,
                                         QWidget *dialogParent)
    : m_dialog(m_printer, dialogParent), m_printout(source, listening, m_dialog, m_sink)
{
}

} // namespace kestrel
