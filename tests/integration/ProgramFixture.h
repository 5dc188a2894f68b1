#pragma once

#include "support/FakeHosts.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"
#include "support/ScopedWorkingDirectory.h"

#include "app/Program.h"
#include "command_table/CommandStore.h"
#include "common/QtEventWait.h"
#include "main_window/SpeechForm.h"
#include "recognition/DebugForm.h"
#include "tts/TTSSetup.h"

#include <QCheckBox>
#include <QDeadlineTimer>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <memory>

namespace kestrel::test {

/// The whole program on a recording desktop, in a fresh working directory that
/// holds the shipped grammar file, with the voice and recogniser a test chooses.
class ProgramFixture
{
public:
    using MakeVoice = std::function<std::unique_ptr<VoiceEngine>()>;
    using MakeRecognition = std::function<std::unique_ptr<SpeechRecognitionService>(CommandVocabulary &)>;

    ProgramFixture(MakeVoice makeVoice, MakeRecognition makeRecognition)
    {
        m_store = std::make_unique<CommandStore>(path("SELEC.db"));
        m_program = std::make_unique<Program>(
            Program::Parts{desktop, boxes, wait, *m_store, std::move(makeVoice), std::move(makeRecognition)});
        m_program->form().setProgramEnd([this] { ended = true; });
    }

    Program &program() { return *m_program; }
    CommandStore &store() { return *m_store; }
    QString path(const char *name) const { return m_dir.path(name); }
    template <typename T> T *debugControl(const char *name)
    {
        return m_program->debugForm().findChild<T *>(QLatin1String(name));
    }

    /// Lets events run until `done` holds or the deadline has passed; returns
    /// done(). The deadline only bounds a test that would otherwise hang.
    bool runUntil(const std::function<bool()> &done, int deadlineMs = 30000)
    {
        QDeadlineTimer deadline(deadlineMs);
        while (!done() && !deadline.hasExpired())
            wait.processEvents();
        return done();
    }
    bool runUntilDesktopDid(const QString &action, int deadlineMs = 30000)
    {
        return runUntil([&] { return desktop.actions().contains(action); }, deadlineMs);
    }
    std::string desktopLog() const { return desktop.log().join(QLatin1Char('\n')).toStdString(); }

    /// Types `text` into the emulation box and presses Emulate.
    void emulate(const QString &text)
    {
        debugControl<QPlainTextEdit>("EmulateRecoTxt")->setPlainText(text);
        debugControl<QPushButton>("Emulate")->click();
    }

    RecordingDesktop desktop;
    FakeMessageBoxes boxes;
    QtEventWait wait;
    bool ended = false;

private:
    ScopedWorkingDirectory m_dir{true}; // outlives the program and the table, which use its files
    std::unique_ptr<CommandStore> m_store;
    std::unique_ptr<Program> m_program;
};

} // namespace kestrel::test
