#include "command_table/TableCommands.h"

#include "command_table/CommandTableModel.h"
#include "common/Failure.h"
#include "common/MessageBoxes.h"

namespace kestrel {

TableCommands::TableCommands(TableControls &controls, MessageBoxes &messageBoxes)
    : m_controls(controls), m_messageBoxes(messageBoxes)
{
}

bool TableCommands::isLocked() const
{
    return m_controls.lockCaption() == lockedCaption();
}

void TableCommands::lockClicked(CommandTableModel &model)
{
    if (!isLocked()) {
        lockTable();
        return;
    }
    // The locked grid has no cell open: nothing typed is lost by the re-read.
    try {
        model.reload();
    } catch (const Failure &failure) {
        m_messageBoxes.inform(programTitle(), failure.description(), MessageBoxes::Icon::Critical);
    }
    m_controls.setLockCaption(unlockedCaption());
    m_controls.setGridEnabled(true);
    m_controls.stopListening();
}

void TableCommands::lockTable()
{
    m_controls.setLockCaption(lockedCaption());
    m_controls.setGridEnabled(false);
}

void TableCommands::deleteRecord(CommandTableModel &model, int currentRow)
{
    if (isLocked()) {
        m_messageBoxes.inform(programTitle(), tableLockedMessage());
        return;
    }
    if (m_messageBoxes.ask(programTitle(), confirmDeleteQuestion()) != MessageBoxes::Answer::Yes)
        return;
    // removeRow refuses a missing row or the new-row line by returning false, and
    // shows a refusal of the database itself; either way the table is read again
    // so the grid shows what is stored.
    model.removeRow(currentRow);
    try {
        model.reload();
    } catch (const Failure &failure) {
        m_messageBoxes.inform(programTitle(), failure.description(), MessageBoxes::Icon::Critical);
    }
}

} // namespace kestrel
