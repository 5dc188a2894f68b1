#pragma once

#include "support/FakeEventWait.h"
#include "support/FakeHosts.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"

#include "common/SharedState.h"
#include "interpreter/Interpreter.h"
#include "interpreter/OpenProgramSlots.h"

#include <gtest/gtest.h>

namespace kestrel::test {

/// Several expected lines written as one text, "|" between them ("": none).
inline QStringList lines(const char *text)
{
    return QString::fromUtf8(text).split('|', Qt::SkipEmptyParts);
}

inline CommandRow row(QString phrase, QString type, QString action = {}, QString parent = {})
{
    return {phrase, type, action, parent};
}

/// An interpreter wired to doubles (a recording desktop unless told otherwise),
/// with the slots cleared as at start-up; a table test makes one per row.
template <class DesktopType = RecordingDesktop, class WaitType = FakeEventWait> struct InterpreterParts
{
    InterpreterParts()
        : interpreter(commands, desktop, wait, feedback, speech, mainWindow, messages, shared, slots)
    {
        slots.clearStartups();
        if constexpr (std::is_same_v<DesktopType, RecordingDesktop>)
            desktop.setForeground(0x10);
    }

    /// A recognition of `text` arrives.
    void say(const QString &text)
    {
        shared.RecoText = text;
        interpreter.RecoIt();
    }

    /// Looks `phrase` up as a run would; true when a row has it.
    bool find(const QString &phrase)
    {
        interpreter.setLookupPhrase(phrase);
        interpreter.FindIt();
        return interpreter.phraseFound();
    }

    /// `slot` remembers `window`, a window on the desktop, for `phrase`.
    void recordOpen(int slot, const QString &phrase, WindowId window)
    {
        desktop.addWindow(window);
        slots.setPhrase(slot, phrase);
        slots.setWindow(slot, window);
    }

    /// The desktop's actions since the last call.
    QStringList took()
    {
        const QStringList actions = desktop.actions();
        desktop.clearLog();
        return actions;
    }

    WaitType wait;
    DesktopType desktop = [this] {
        if constexpr (std::is_constructible_v<DesktopType, EventWait &>)
            return DesktopType(wait);
        else
            return DesktopType();
    }();
    FakeCommandTable commands;
    FakeFeedbackControls feedback;
    FakeSpeechOutput speech;
    FakeMainWindowControl mainWindow;
    FakeMessageBoxes messages;
    SharedState shared;
    OpenProgramSlots slots;
    Interpreter interpreter;
};

class InterpreterFixture : public ::testing::Test, public InterpreterParts<>
{
};

} // namespace kestrel::test
