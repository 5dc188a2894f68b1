#include "interpreter/OpenProgramSlots.h"

#include "common/Failure.h"

#include <algorithm>

namespace kestrel {

namespace {
const QString kFree = QStringLiteral("NULL");
}

OpenProgramSlots::OpenProgramSlots() : m_phrases(InitialSlotCount), m_windows(InitialSlotCount, 0) {}

void OpenProgramSlots::clearStartups()
{
    for (int s = FirstSearched; s <= lastSearched(); ++s) {
        m_phrases[s] = kFree;
        m_windows[s] = 0;
    }
}

void OpenProgramSlots::ensure(int slot)
{
    if (slot < 0)
        throw Failure(QStringLiteral("Subscript out of range: open-program slot %1").arg(slot));
    if (slot >= m_phrases.size()) {
        m_phrases.resize(slot + 1);
        m_windows.resize(slot + 1, 0);
    }
}

QString OpenProgramSlots::phrase(int slot) const
{
    return slot >= 0 && slot < m_phrases.size() ? m_phrases[slot] : QString();
}

WindowId OpenProgramSlots::window(int slot) const
{
    return slot >= 0 && slot < m_windows.size() ? m_windows[slot] : 0;
}

void OpenProgramSlots::setPhrase(int slot, const QString &phrase)
{
    ensure(slot);
    m_phrases[slot] = phrase;
}

void OpenProgramSlots::setWindow(int slot, WindowId window)
{
    ensure(slot);
    m_windows[slot] = window;
}

void OpenProgramSlots::release(int slot)
{
    ensure(slot);
    m_phrases[slot] = kFree;
    m_windows[slot] = 0;
}

// The rows below keep their windows rather than all being forgotten: a user who
// deletes one row would otherwise find every open program started a second time.
void OpenProgramSlots::removeRows(int firstRow, int count)
{
    if (firstRow < 1 || count < 1)
        return;
    // Held numbers follow their rows even past the slots made so far.
    for (Held *held : m_held) {
        if (held->m_slot >= firstRow + count)
            held->m_slot -= count;
        else if (held->m_slot >= firstRow)
            held->m_slot = -1;
    }
    if (firstRow >= size())
        return;
    count = std::min(count, size() - firstRow);
    m_phrases.remove(firstRow, count);
    m_windows.remove(firstRow, count);
    // The slots that come free at the end are as start-up leaves them.
    for (int s = size(), end = size() + count; s < end; ++s) {
        m_phrases.append(kFree);
        m_windows.append(0);
    }
}

OpenProgramSlots::Held::Held(OpenProgramSlots &slots, int slot) : m_slots(slots), m_slot(slot)
{
    m_slots.m_held.push_back(this);
}

OpenProgramSlots::Held::~Held()
{
    std::erase(m_slots.m_held, this);
}

} // namespace kestrel
