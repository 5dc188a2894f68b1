// A FUNCTION action as the table holds it: key text mixed with clicks, pointer
// moves, pauses, window moves and {QUIT}, carried out on a desktop that only
// checks what it is asked to do.
#include "FuzzText.h"
#include "common/EventWait.h"
#include "common/Failure.h"
#include "desktop/Desktop.h"
#include "desktop/KeySequence.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/InterpreterHost.h"

namespace {

using namespace kestrel;

class CheckingDesktop final : public Desktop
{
public:
    WindowId foregroundWindow() override { return 1; }
    bool windowExists(WindowId) override { return true; }
    void activateWindow(WindowId) override {}
    void moveWindow(WindowId, int, int) override {}
    WindowId findTopLevelWindow(const QString &) override { return 0; }
    QPoint cursorPosition() override { return m_cursor; }
    void setCursorPosition(QPoint at) override { m_cursor = at; }
    void mouseButton(Button, bool) override {}
    // As the real backend does, key text goes through the notation parser.
    void sendKeys(const QString &notation, bool) override { (void)parseKeySequence(notation); }
    void typeText(const QString &) override {}
    StartResult startProgram(const QString &, const QStringList &, const QString &) override { return {}; }
    StartResult openDocument(const QString &, const QString &) override { return {}; }
    WindowId windowOfProcess(qint64) override { return 0; }
    bool fileExists(const QString &) override { return false; }
    bool directoryExists(const QString &) override { return false; }
    QString clipboardText() override { return {}; }
    QString currentClipboardText() override { return {}; }
    void setClipboardText(const QString &) override {}

private:
    QPoint m_cursor;
};

// Time passes at each look, so a {PAUSE} ends after a bounded number of them.
class SteppingWait final : public EventWait
{
public:
    void processEvents() override { m_now += 0.01; }
    double now() const override { return m_now; }

private:
    double m_now = 0;
};

class SilentWindow final : public MainWindowControl
{
public:
    void holdListening() override {}
    void releaseListening(bool) override {}
    void switchListeningOff() override {}
    void setStatusText(const QString &) override {}
    void enableStopButton() override {}
    void quitProgram() override {}
    void keysAboutToBeTyped() override {}
    void keysTyped() override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    CheckingDesktop desktop;
    SteppingWait wait;
    SilentWindow window;
    DesktopPrimitives primitives(desktop);
    ActionScanner scanner(desktop, wait, window, primitives);
    try {
        (void)scanner.run(fuzz::text(data, size));
    } catch (const Failure &) {
        // Malformed key text and numeric overflow end the command there.
    }
    return 0;
}
