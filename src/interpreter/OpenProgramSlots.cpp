#include "interpreter/OpenProgramSlots.h"

#include "common/Failure.h"

namespace kestrel {

namespace {
const QString kFree = QStringLiteral("NULL");
}

OpenProgramSlots::OpenProgramSlots()
    : m_phrases(InitialSlotCount), m_windows(InitialSlotCount, 0)
{
}

void OpenProgramSlots::clearStartups()
{
    for (int s = FirstSearched; s <= LastSearched; ++s) {
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

} // namespace kestrel
