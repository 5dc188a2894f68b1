#include "interpreter/ActionScanner.h"

#include "common/EventWait.h"
#include "desktop/Desktop.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/InterpreterHost.h"
#include "interpreter/NumericValue.h"
#include "interpreter/TextRules.h"

#include <array>
#include <optional>

namespace kestrel {

namespace {

enum class Token {
    None,
    CursorDown,
    CursorUp,
    CursorRight,
    CursorLeft,
    LeftClick,
    RightClick,
    Cursor,
    Pause,
    Position,
    Quit
};

struct TokenText
{
    const char *text;
    Token token;
};

// The direction tokens come first: "{CURSOR" only counts when none of them begins
// at the same place.
constexpr std::array kTokens{
    TokenText{"{CURSOR DOWN", Token::CursorDown},
    TokenText{"{CURSOR UP", Token::CursorUp},
    TokenText{"{CURSOR RIGHT", Token::CursorRight},
    TokenText{"{CURSOR LEFT", Token::CursorLeft},
    TokenText{"{LEFT CLICK}", Token::LeftClick},
    TokenText{"{RIGHT CLICK}", Token::RightClick},
    TokenText{"{CURSOR", Token::Cursor},
    TokenText{"{PAUSE", Token::Pause},
    TokenText{"{POSITION", Token::Position},
    TokenText{"{QUIT}", Token::Quit},
};

// Pointer steps of the direction tokens, in pixels.
constexpr int kCursorStep = 20;
// Longest argument text read after "{CURSOR" and after its comma.
constexpr int kCoordinateTailLength = 255;

Token tokenAt(const QString &upper, qsizetype index)
{
    const QStringView rest = QStringView(upper).mid(index);
    for (const TokenText &t : kTokens) {
        if (rest.startsWith(QLatin1String(t.text)))
            return t.token;
    }
    return Token::None;
}

} // namespace

// One scan of one action. Positions are 1-based in `m_buffer`, which is a blank
// followed by the action, so position p holds character p - 1 of the action.
class ActionScanner::Scan
{
public:
    Scan(ActionScanner &owner, const QString &action)
        : m_owner(owner), m_buffer(QLatin1Char(' ') + action), m_upper(upperCased(m_buffer)),
          m_length(m_buffer.size())
    {
    }

    Outcome run()
    {
        for (m_i = 1; m_i <= m_length; ++m_i) {
            if (m_i > 1)
                m_chunk += charAt(m_i);
            switch (tokenAt(m_upper, m_i)) { // the token that begins at position i + 1
            case Token::None:
                break;
            case Token::LeftClick:
                click(QStringLiteral("L"), 11);
                break;
            case Token::RightClick:
                click(QStringLiteral("R"), 12);
                break;
            case Token::Cursor:
                flush();
                moveCursorTo(argumentFrom(m_i + 8));
                if (!endToken())
                    return finish();
                break;
            case Token::Pause:
                flush();
                pause(argumentFrom(m_i + 7));
                if (!endToken())
                    return finish();
                break;
            case Token::Position:
                flush();
                placeWindow(argumentFrom(m_i + 10));
                if (!endToken())
                    return finish();
                break;
            case Token::Quit:
                m_owner.m_mainWindow.quitProgram();
                return Outcome::Quit;
            case Token::CursorDown:
            case Token::CursorUp:
            case Token::CursorRight:
            case Token::CursorLeft:
                flush();
                stepCursor(tokenAt(m_upper, m_i));
                if (!endToken())
                    return finish();
                break;
            }
        }
        return finish();
    }

private:
    QChar charAt(qsizetype position) const { return m_buffer.at(position - 1); }

    Outcome finish()
    {
        flush();
        return Outcome::Completed;
    }

    // Sends the collected key text. A lone blank or brace is what is left over
    // between two tokens and is not worth a key stroke; a leading "}" is the
    // closing brace of the previous token.
    void flush()
    {
        if (m_chunk.isEmpty() || m_chunk == QLatin1String(" ") || m_chunk == QLatin1String("}"))
            return;
        const QString keys = m_chunk.startsWith(QLatin1Char('}')) ? m_chunk.mid(1) : m_chunk;
        const TypingScope typing(m_owner.m_mainWindow);
        m_owner.m_desktop.sendKeys(keys, true);
    }

    // Click tokens have a fixed length; the advance leaves their closing brace to be
    // collected next and dropped by the following flush.
    void click(const QString &button, int advance)
    {
        flush();
        m_chunk.clear();
        m_owner.m_primitives.leftclick(button);
        m_i += advance;
    }

    // The argument text of a token, from `position` up to the first closing brace;
    // nothing when no closing brace is within reach.
    std::optional<QString> argumentFrom(qsizetype position) const
    {
        const QString text = m_buffer.mid(position - 1, MaxTailLength);
        const qsizetype close = text.indexOf(QLatin1Char('}'));
        if (close < 0)
            return std::nullopt;
        return text.left(close);
    }

    void moveCursorTo(const std::optional<QString> &argument)
    {
        const qsizetype comma = argument ? argument->indexOf(QLatin1Char(',')) : -1;
        if (comma < 0)
            return;
        const double x = roundToInt16(numericValue(argument->left(comma)));
        const double y = roundToInt16(numericValue(argument->mid(comma + 1, kCoordinateTailLength)));
        m_owner.m_primitives.MoveCursor(x, y);
    }

    void placeWindow(const std::optional<QString> &argument)
    {
        const qsizetype comma = argument ? argument->indexOf(QLatin1Char(',')) : -1;
        if (comma < 0)
            return;
        const int x = roundToInt32(numericValue(argument->left(comma)));
        const int y = roundToInt32(numericValue(argument->mid(comma + 1, kCoordinateTailLength)));
        m_owner.m_primitives.SetWindow(x, y);
    }

    void pause(const std::optional<QString> &argument)
    {
        if (!argument)
            return;
        const double seconds = numericValue(*argument);
        if (!(seconds > 0.0 && seconds < MaxPauseSeconds))
            return;
        EventWait &wait = m_owner.m_wait;
        const double deadline = wait.now() + seconds;
        while (deadline > wait.now() && deadline - wait.now() < MaxPauseSeconds)
            wait.processEvents();
    }

    void stepCursor(Token token)
    {
        DesktopPrimitives &primitives = m_owner.m_primitives;
        switch (token) {
        case Token::CursorDown:
            primitives.moveCursorBy(0, kCursorStep);
            break;
        case Token::CursorUp:
            primitives.moveCursorBy(0, -kCursorStep);
            break;
        case Token::CursorRight:
            primitives.moveCursorBy(kCursorStep, 0);
            break;
        default:
            primitives.moveCursorBy(-kCursorStep, 0);
            break;
        }
    }

    // Ends a token with an argument: drops the collected text and moves on to the
    // token's closing brace, which the next step collects and the next flush drops.
    // Returns false when there is no closing brace: the rest of the action is lost.
    bool endToken()
    {
        m_chunk.clear();
        // Searching from the token's own opening brace (never a "}") rather than
        // from the character before it keeps "x}{PAUSE 1}" from finding that "}"
        // and running the same token forever.
        qsizetype j = m_i + 1;
        while (j <= m_length && charAt(j) != QLatin1Char('}'))
            ++j;
        if (j > m_length)
            return false;
        m_i = j - 1;
        return true;
    }

    ActionScanner &m_owner;
    const QString m_buffer;
    const QString m_upper;
    const qsizetype m_length;
    QString m_chunk;
    qsizetype m_i = 1;
};

ActionScanner::ActionScanner(Desktop &desktop, EventWait &wait, MainWindowControl &mainWindow,
                             DesktopPrimitives &primitives)
    : m_desktop(desktop), m_wait(wait), m_mainWindow(mainWindow), m_primitives(primitives)
{
}

ActionScanner::Outcome ActionScanner::run(const QString &action)
{
    return Scan(*this, action).run();
}

} // namespace kestrel
