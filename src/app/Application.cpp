#include "app/Application.h"

#include "app/AbruptExit.h"
#include "app/Program.h"
#include "app/RecognitionBackend.h"
#include "app/TerminationSignals.h"
#include "command_table/CommandStore.h"
#include "common/Failure.h"
#include "common/QtEventWait.h"
#include "desktop/x11/SingleInstance.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Desktop.h"
#include "main_window/QtMessageBoxes.h"
#include "main_window/SpeechForm.h"
#include "speech_platform/espeak/EspeakVoice.h"
#include "speech_platform/soundserver/SoundServerDefaults.h"
#include "tts/TTSSetup.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace kestrel {

struct Application::Parts
{
    QtEventWait wait;
    QtMessageBoxes boxes;
    std::unique_ptr<X11Desktop> desktop;
    /// One connection to the sound server tells both the voice and the
    /// recogniser which devices the user takes as the defaults.
    std::shared_ptr<const SoundServerDefaults> soundServer;
    SingleInstance guard;
    std::unique_ptr<CommandStore> store;
    std::unique_ptr<Program> program;
    std::unique_ptr<TerminationSignals> terminations;
};

namespace {

[[noreturn]] void endAtOnce()
{
    // Settings and the table are already on disk (both are written atomically);
    // ending here, even from inside a nested wait, guarantees that nothing of a
    // half-finished command runs after the user asked to quit.
    std::fflush(nullptr);
    ::_exit(0);
}

// The program whose settings an exit() saves; an exit handler takes no argument.
Program *programAtExit = nullptr;

void saveSettingsAtExit()
{
    if (programAtExit) {
        if (TTSSetup *tts = programAtExit->tts())
            tts->saveAtAbruptEnd();
    }
}

std::unique_ptr<VoiceEngine> makeVoice(const std::shared_ptr<const SoundServerDefaults> &soundServer)
{
    try {
        return std::make_unique<EspeakVoice>(AudioOutputs::system(soundServer));
    } catch (const std::exception &error) {
        // The program goes on without a voice and its window tells the user;
        // the terminal hears of it too.
        Application::complain(QStringLiteral("no voice: %1").arg(QString::fromLocal8Bit(error.what())));
        throw;
    }
}

} // namespace

void Application::complain(const QString &text)
{
    std::fprintf(stderr, "KESTREL: %s\n", qPrintable(text));
}

QString Application::prepareDisplay()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    if (qgetenv("QT_QPA_PLATFORM") != "xcb")
        return {}; // offscreen, for tests: no windows to see
    try {
        x11::X11Connection probe;
    } catch (const Failure &failure) {
        return failure.description();
    }
    return {};
}

Application::Application() : m_parts(std::make_unique<Parts>()) {}

Application::~Application()
{
    programAtExit = nullptr;
}

int Application::run()
{
    Parts &p = *m_parts;

    try {
        p.desktop = std::make_unique<X11Desktop>(p.wait);
    } catch (const Failure &failure) {
        complain(failure.description());
        return 1;
    }

    // A second instance brings the first one's window forward and ends.
    switch (claimStart(p.guard, *p.desktop)) {
    case StartClaim::First:
        p.desktop->undoLeftoverKeyRemaps();
        break;
    case StartClaim::OtherBroughtForward:
        return 0;
    case StartClaim::OtherRunning:
        complain(QStringLiteral("another KESTREL is already running for this user."));
        return 0;
    }

    try {
        p.store = std::make_unique<CommandStore>(CommandStore::defaultPath());
    } catch (const Failure &failure) {
        complain(failure.description());
        p.boxes.inform(programTitle(), failure.description(), MessageBoxes::Icon::Critical);
        return 1;
    }

    p.soundServer = std::make_shared<SoundServerDefaults>();
    const auto voice = [server = p.soundServer] { return makeVoice(server); };
    const auto recognition = [server = p.soundServer](CommandVocabulary &vocabulary) {
        return createRecognitionService(vocabulary, server);
    };
    p.program =
        std::make_unique<Program>(Program::Parts{*p.desktop, p.boxes, p.wait, *p.store, voice, recognition});
    p.boxes.setParent(&p.program->form());
    p.program->form().setProgramEnd([desktop = p.desktop.get()] {
        try {
            desktop->releaseSpareKeys();
        } catch (const std::exception &) {
            // Listed on the root window: the next start empties them.
        }
        endAtOnce();
    });
    // A shutdown or logout asks with a signal: end as QUIT does, saving first.
    try {
        p.terminations = std::make_unique<TerminationSignals>();
        QObject::connect(p.terminations.get(), &TerminationSignals::received, &p.program->form(),
                         [form = &p.program->form()] { form->quitProgram(); });
    } catch (const Failure &failure) {
        complain(failure.description());
    }
    p.program->start();
    // The program's own ends save and then leave with _exit. Qt and Xlib leave
    // with exit() when the X server goes away (a logout without a session
    // manager, a server that crashed, a remote session dropped): the day's
    // settings are saved on that way out too, and nothing is torn down after.
    programAtExit = p.program.get();
    if (!runBeforeExitTearsDown(saveSettingsAtExit))
        complain(QStringLiteral("the settings will not be saved if the display goes away."));
    return QApplication::exec();
}

} // namespace kestrel
