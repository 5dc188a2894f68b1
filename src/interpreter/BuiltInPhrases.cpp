#include "interpreter/BuiltInPhrases.h"

#include "desktop/Desktop.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/InterpreterHost.h"
#include "interpreter/NumericValue.h"
#include "interpreter/PhraseLookup.h"
#include "interpreter/TextRules.h"

namespace kestrel {

namespace {
constexpr int kCursorStep = 20;
}

BuiltInPhrases::BuiltInPhrases(Desktop &desktop, DesktopPrimitives &primitives, MainWindowControl &mainWindow)
    : m_desktop(desktop), m_primitives(primitives), m_mainWindow(mainWindow)
{
}

bool BuiltInPhrases::run(const QString &pendingUpper, const QString &wordUpper)
{
    if (pendingUpper == QLatin1String("LEFT CLICK")) {
        m_primitives.leftclick(QStringLiteral("L"));
        return true;
    }
    if (pendingUpper == QLatin1String("RIGHT CLICK")) {
        m_primitives.leftclick(QStringLiteral("R"));
        return true;
    }
    // The row the lookup found for the key "CURSOR" or "SELECT", as stored or
    // as heard ("CURSOR " with a trailing blank).
    if (phraseAnswersKey(wordUpper, QStringLiteral("CURSOR"))) {
        cursorPhrase(pendingUpper);
        return true;
    }
    if (phraseAnswersKey(wordUpper, QStringLiteral("SELECT"))) {
        selectPhrase(pendingUpper);
        return true;
    }
    return false;
}

// "CURSOR DOWN" steps the pointer; "CURSOR 100, 200" places it. The words are
// tested by containment, so "CURSOR SUPER" steps up.
void BuiltInPhrases::cursorPhrase(const QString &pendingUpper)
{
    const qsizetype at = pendingUpper.indexOf(QLatin1String("CURSOR"));
    if (at < 0)
        return;
    const QString rest = pendingUpper.mid(at + 7, MaxTailLength);
    const QString words = rest.trimmed();
    if (words.contains(QLatin1String("DOWN"))) {
        m_primitives.moveCursorBy(0, kCursorStep);
    } else if (words.contains(QLatin1String("UP"))) {
        m_primitives.moveCursorBy(0, -kCursorStep);
    } else if (words.contains(QLatin1String("LEFT"))) {
        m_primitives.moveCursorBy(-kCursorStep, 0);
    } else if (words.contains(QLatin1String("RIGHT"))) {
        m_primitives.moveCursorBy(kCursorStep, 0);
    } else {
        const qsizetype comma = rest.indexOf(QLatin1String(", "));
        if (comma < 0)
            return;
        const double x = roundToInt16(numericValue(rest.left(comma)));
        const double y = roundToInt16(numericValue(rest.mid(comma + 1, MaxTailLength)));
        m_primitives.MoveCursor(x, y);
    }
}

void BuiltInPhrases::selectPhrase(const QString &pendingUpper)
{
    const qsizetype at = pendingUpper.indexOf(QLatin1String("SELECT"));
    if (at < 0)
        return;
    const int count = roundToInt16(numericValue(pendingUpper.mid(at + 7)));
    if (count <= 0)
        return;
    // One request per character, like the spoken count; not waiting for each keeps
    // a long selection from crawling. The last one waits for all of them, so none
    // arrives after the typing has ended.
    const TypingScope typing(m_mainWindow);
    for (int n = 1; n <= count; ++n)
        m_desktop.sendKeys(QStringLiteral("+{RIGHT}"), n == count);
}

} // namespace kestrel
