#pragma once

#include <QString>

namespace kestrel {

class CommandTableModel;
class MessageBoxes;

/// What the table commands need of the main window: the lock button's caption
/// (which is the lock state), the grid's enabled state, and StopListening.
class TableControls
{
public:
    virtual ~TableControls() = default;
    virtual QString lockCaption() const = 0;
    virtual void setLockCaption(const QString &caption) = 0;
    virtual void setGridEnabled(bool enabled) = 0;
    /// Switches recognition off if it is on.
    virtual void stopListening() = 0;
};

/// The lock button and "Delete Record" of the command table. The caption of the
/// lock button is the only record of the lock: "Unlock Table" means locked.
class TableCommands
{
public:
    static QString lockedCaption() { return QStringLiteral("Unlock Table"); }
    static QString unlockedCaption() { return QStringLiteral("Lock Table"); }
    static QString tableLockedMessage() { return QStringLiteral("Table is locked"); }
    static QString confirmDeleteQuestion()
    {
        return QStringLiteral("Are you sure you want to delete this record");
    }

    TableCommands(TableControls &controls, MessageBoxes &messageBoxes);

    bool isLocked() const;
    /// The lock button: locks an unlocked table; unlocks a locked one and then
    /// stops listening, so the user never edits the table while it is in use.
    /// Unlocking reads the table again first: another program may have
    /// changed the file while it was locked.
    void lockClicked(CommandTableModel &model);
    /// Locks the table (start-up, and whenever recognition is switched on).
    void lockTable();
    /// "Delete Record": refuses on a locked table, asks, then deletes the grid's
    /// current row and re-reads the table. No current row or the new-row line
    /// deletes nothing without a word; what the database refuses is shown.
    void deleteRecord(CommandTableModel &model, int currentRow);

private:
    TableControls &m_controls;
    MessageBoxes &m_messageBoxes;
};

} // namespace kestrel
