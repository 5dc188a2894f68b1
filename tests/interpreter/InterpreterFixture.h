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

inline CommandRow row(const QString &phrase, const QString &type, const QString &action = {},
                      const QString &parent = {})
{
    return CommandRow{phrase, type, action, parent};
}

/// An interpreter wired to doubles, with the slots cleared as at start-up; a table
/// test makes one per row.
struct InterpreterParts
{
    InterpreterParts()
        : interpreter(commands, desktop, wait, feedback, speech, mainWindow, messages, shared, slots)
    {
        slots.clearStartups();
        desktop.setForeground(0x10);
    }

    /// A recognition of `text` arrives.
    void say(const QString &text)
    {
        shared.RecoText = text;
        interpreter.RecoIt();
    }

    /// The desktop's actions since the last call.
    QStringList took()
    {
        const QStringList actions = desktop.actions();
        desktop.clearLog();
        return actions;
    }

    FakeCommandTable commands;
    RecordingDesktop desktop;
    FakeEventWait wait;
    FakeFeedbackControls feedback;
    FakeSpeechOutput speech;
    FakeMainWindowControl mainWindow;
    FakeMessageBoxes messages;
    SharedState shared;
    OpenProgramSlots slots;
    Interpreter interpreter;
};

class InterpreterFixture : public ::testing::Test, public InterpreterParts
{
};

} // namespace kestrel::test
