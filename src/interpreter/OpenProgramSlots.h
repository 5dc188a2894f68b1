#pragma once

#include "desktop/Desktop.h"

#include <QString>
#include <QVector>

#include <vector>

namespace kestrel {

/// The open-program slots: for the OPEN command in table row s, slot s records the
/// upper-cased phrase that started the program and the window that came up. A free
/// slot holds "NULL" and 0. Slot 0 starts empty (empty phrase, window 0).
///
/// The table has 411 slots (0 to 410) to begin with and grows on demand, so that
/// OPEN commands in rows beyond 410 work like any other; their commands find
/// them, and "Clear Startups" forgets them, as it does the others.
class OpenProgramSlots
{
public:
    static constexpr int InitialSlotCount = 411;
    static constexpr int FirstSearched = 1;

    OpenProgramSlots();

    /// Frees slots 1 and up (start-up and "Clear Startups"); slot 0 is untouched.
    void clearStartups();
    /// The last slot a parent is looked for in.
    int lastSearched() const { return size() - 1; }

    QString phrase(int slot) const;
    WindowId window(int slot) const;
    void setPhrase(int slot, const QString &phrase);
    void setWindow(int slot, WindowId window);
    /// Frees one slot ("NULL", 0).
    void release(int slot);
    /// Rows `firstRow` to `firstRow + count - 1` were deleted from the table: their
    /// slots go, and the slots of the rows below move up with their rows.
    void removeRows(int firstRow, int count);
    int size() const { return static_cast<int>(m_phrases.size()); }

    /// A slot number held across a wait (a launch waiting for its window, a
    /// pause), during which the user may delete table rows: it moves with its
    /// row, and is gone when its row is.
    class Held
    {
    public:
        Held(OpenProgramSlots &slots, int slot);
        ~Held();
        Held(const Held &) = delete;
        Held &operator=(const Held &) = delete;

        int slot() const { return m_slot; }
        bool gone() const { return m_slot < 0; }

    private:
        friend class OpenProgramSlots;
        OpenProgramSlots &m_slots;
        int m_slot;
    };

private:
    void ensure(int slot);

    QVector<QString> m_phrases;
    QVector<WindowId> m_windows;
    std::vector<Held *> m_held;
};

} // namespace kestrel
