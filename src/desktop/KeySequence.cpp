#include "desktop/KeySequence.h"

#include "common/Failure.h"

#include <array>
#include <string>
#include <utility>

namespace kestrel {

namespace {

// A repeat count above this is a typing slip ("{ENTER 30000}"), not an intent; it
// would otherwise hold the desktop hostage for minutes.
constexpr int kMaxRepeat = 1000;
// The same holds for a whole key text: a thousand "{ENTER 1000}" in a row would
// type for an hour, and a pasted megabyte of them would not fit in memory. Ten
// thousand keys is already minutes of typing; nothing of a longer text is sent.
constexpr std::size_t kMaxKeys = 10000;

struct NameEntry
{
    const char *name;
    NamedKey key;
};

// Several spellings map to the same key; the first spelling of each key is the
// one namedKeyName() reports.
constexpr std::array kNames{
    NameEntry{"ENTER", NamedKey::Enter},
    NameEntry{"TAB", NamedKey::Tab},
    NameEntry{"ESC", NamedKey::Escape},
    NameEntry{"ESCAPE", NamedKey::Escape},
    NameEntry{"BACKSPACE", NamedKey::Backspace},
    NameEntry{"BS", NamedKey::Backspace},
    NameEntry{"BKSP", NamedKey::Backspace},
    NameEntry{"DELETE", NamedKey::Delete},
    NameEntry{"DEL", NamedKey::Delete},
    NameEntry{"INSERT", NamedKey::Insert},
    NameEntry{"INS", NamedKey::Insert},
    NameEntry{"HOME", NamedKey::Home},
    NameEntry{"END", NamedKey::End},
    NameEntry{"PGUP", NamedKey::PageUp},
    NameEntry{"PGDN", NamedKey::PageDown},
    NameEntry{"UP", NamedKey::Up},
    NameEntry{"DOWN", NamedKey::Down},
    NameEntry{"LEFT", NamedKey::Left},
    NameEntry{"RIGHT", NamedKey::Right},
    NameEntry{"F1", NamedKey::F1},
    NameEntry{"F2", NamedKey::F2},
    NameEntry{"F3", NamedKey::F3},
    NameEntry{"F4", NamedKey::F4},
    NameEntry{"F5", NamedKey::F5},
    NameEntry{"F6", NamedKey::F6},
    NameEntry{"F7", NamedKey::F7},
    NameEntry{"F8", NamedKey::F8},
    NameEntry{"F9", NamedKey::F9},
    NameEntry{"F10", NamedKey::F10},
    NameEntry{"F11", NamedKey::F11},
    NameEntry{"F12", NamedKey::F12},
    NameEntry{"F13", NamedKey::F13},
    NameEntry{"F14", NamedKey::F14},
    NameEntry{"F15", NamedKey::F15},
    NameEntry{"F16", NamedKey::F16},
    NameEntry{"CAPSLOCK", NamedKey::CapsLock},
    NameEntry{"NUMLOCK", NamedKey::NumLock},
    NameEntry{"SCROLLLOCK", NamedKey::ScrollLock},
    NameEntry{"BREAK", NamedKey::Break},
    NameEntry{"PRTSC", NamedKey::PrintScreen},
    NameEntry{"HELP", NamedKey::Help},
    NameEntry{"ADD", NamedKey::Add},
    NameEntry{"SUBTRACT", NamedKey::Subtract},
    NameEntry{"MULTIPLY", NamedKey::Multiply},
    NameEntry{"DIVIDE", NamedKey::Divide},
};

bool lookUpName(const QString &name, NamedKey &key)
{
    const QString upper = name.toUpper();
    for (const NameEntry &entry : kNames) {
        if (upper == QLatin1String(entry.name)) {
            key = entry.key;
            return true;
        }
    }
    return false;
}

struct Modifiers
{
    bool shift = false;
    bool control = false;
    bool alt = false;

    bool any() const { return shift || control || alt; }
    Modifiers operator|(const Modifiers &other) const
    {
        return {shift || other.shift, control || other.control, alt || other.alt};
    }
};

/// Recursive-descent reader over the notation's code points. Groups nest, so each
/// group level carries the modifiers of every enclosing level.
class Parser
{
public:
    explicit Parser(const QString &notation) : m_text(notation.toStdU32String()) {}

    std::vector<KeyStroke> run()
    {
        parseSequence(Modifiers{}, false);
        return std::move(m_strokes);
    }

private:
    [[noreturn]] void fail(const QString &what, std::size_t from, std::size_t to) const
    {
        const QString token = QString::fromStdU32String(m_text.substr(from, to - from));
        throw Failure(QStringLiteral("%1 \"%2\" in the key text \"%3\".")
                          .arg(what, token, QString::fromStdU32String(m_text)));
    }

    // Reads items until the end of text (top level) or the ")" closing a group.
    void parseSequence(Modifiers outer, bool inGroup)
    {
        while (m_pos < m_text.size()) {
            if (m_text[m_pos] == U')') {
                if (!inGroup)
                    fail(QStringLiteral("Unbalanced parenthesis"), m_pos, m_pos + 1);
                return;
            }
            parseItem(outer);
        }
    }

    // One key, brace token or group, with the modifier prefix that precedes it.
    void parseItem(Modifiers outer)
    {
        const std::size_t start = m_pos;
        Modifiers own;
        while (m_pos < m_text.size() && isModifier(m_text[m_pos])) {
            switch (m_text[m_pos]) {
            case U'+':
                own.shift = true;
                break;
            case U'^':
                own.control = true;
                break;
            default:
                own.alt = true;
                break;
            }
            ++m_pos;
        }
        if (own.any() && (m_pos == m_text.size() || m_text[m_pos] == U')'))
            fail(QStringLiteral("Modifier with nothing after it"), start, m_pos);

        const Modifiers mods = outer | own;
        const char32_t c = m_text[m_pos];
        if (c == U'(') {
            parseGroup(mods, start, own.any());
        } else if (c == U'{') {
            parseBrace(mods, start);
        } else if (c == U'}') {
            fail(QStringLiteral("Unbalanced brace"), m_pos, m_pos + 1);
        } else if (c == U'~') {
            ++m_pos;
            addNamed(NamedKey::Enter, mods, 1, start);
        } else {
            ++m_pos;
            addCharacter(c, mods, 1, start);
        }
    }

    void parseGroup(Modifiers mods, std::size_t itemStart, bool hasOwnModifier)
    {
        const std::size_t open = m_pos;
        // Each level costs stack; a pasted run of thousands of "(" must end in a
        // message, not a crash. No real key text comes near this depth.
        if (m_depth == kMaxGroupDepth)
            fail(QStringLiteral("Parentheses nested too deeply"), open, open + 1);
        ++m_pos;
        const std::size_t before = m_strokes.size();
        ++m_depth;
        parseSequence(mods, true);
        --m_depth;
        if (m_pos == m_text.size())
            fail(QStringLiteral("Unbalanced parenthesis"), open, open + 1);
        ++m_pos; // the ")"
        if (hasOwnModifier && m_strokes.size() == before)
            fail(QStringLiteral("Modifier with nothing after it"), itemStart, m_pos);
    }

    // "{...}": a named key or a single character, each with an optional repeat;
    // `itemStart` is where its modifiers begin.
    void parseBrace(Modifiers mods, std::size_t itemStart)
    {
        const std::size_t open = m_pos;
        // "{}}" types a closing brace: the first "}" is the content, not the end.
        std::size_t close = m_text.find(U'}', open + 2);
        if (open + 1 < m_text.size() && m_text[open + 1] != U'}')
            close = m_text.find(U'}', open + 1);
        if (close == std::u32string::npos)
            fail(QStringLiteral("Unbalanced brace"), open, m_text.size());
        m_pos = close + 1;

        const std::u32string content = m_text.substr(open + 1, close - open - 1);

        // A single character may be anything, a blank included, so it is split off
        // by position; a key name never contains a blank.
        std::u32string name;
        std::u32string count;
        bool hasCount = false;
        if (content.size() == 1 || content[1] == U' ') {
            name = content.substr(0, 1);
            hasCount = content.size() > 1;
            if (hasCount)
                count = content.substr(2);
        } else {
            const std::size_t blank = content.find(U' ');
            name = content.substr(0, blank);
            hasCount = blank != std::u32string::npos;
            if (hasCount)
                count = content.substr(blank + 1);
        }

        const int repeat = hasCount ? parseRepeat(count, open) : 1;
        if (name.size() == 1) {
            addCharacter(name[0], mods, repeat, itemStart);
            return;
        }
        NamedKey key{};
        if (!lookUpName(QString::fromStdU32String(name), key))
            fail(QStringLiteral("Unknown key name"), open, m_pos);
        addNamed(key, mods, repeat, itemStart);
    }

    int parseRepeat(const std::u32string &count, std::size_t open) const
    {
        if (count.empty() || count.size() > 4)
            fail(QStringLiteral("Bad repeat count"), open, m_pos);
        int value = 0;
        for (char32_t digit : count) {
            if (digit < U'0' || digit > U'9')
                fail(QStringLiteral("Bad repeat count"), open, m_pos);
            value = value * 10 + static_cast<int>(digit - U'0');
        }
        if (value > kMaxRepeat)
            fail(QStringLiteral("Bad repeat count"), open, m_pos);
        return value;
    }

    static bool isModifier(char32_t c) { return c == U'+' || c == U'^' || c == U'%'; }

    // `from` is where the item's text starts, to name it when it is one too many.
    void addCharacter(char32_t c, Modifiers mods, int repeat, std::size_t from)
    {
        KeyStroke stroke;
        stroke.kind = KeyStroke::Kind::Character;
        stroke.character = c;
        add(stroke, mods, repeat, from);
    }

    void addNamed(NamedKey key, Modifiers mods, int repeat, std::size_t from)
    {
        KeyStroke stroke;
        stroke.kind = KeyStroke::Kind::Named;
        stroke.key = key;
        add(stroke, mods, repeat, from);
    }

    void add(KeyStroke stroke, Modifiers mods, int repeat, std::size_t from)
    {
        if (m_strokes.size() + static_cast<std::size_t>(repeat) > kMaxKeys)
            fail(QStringLiteral("Too many keys at"), from, m_pos);
        stroke.shift = mods.shift;
        stroke.control = mods.control;
        stroke.alt = mods.alt;
        m_strokes.insert(m_strokes.end(), static_cast<std::size_t>(repeat), stroke);
    }

    std::u32string m_text;
    static constexpr int kMaxGroupDepth = 100;

    std::size_t m_pos = 0;
    int m_depth = 0;
    std::vector<KeyStroke> m_strokes;
};

} // namespace

std::vector<KeyStroke> parseKeySequence(const QString &notation)
{
    return Parser(notation).run();
}

std::vector<KeyStroke> literalKeyStrokes(const QString &text)
{
    std::vector<KeyStroke> strokes;
    for (char32_t c : text.toStdU32String()) {
        KeyStroke stroke;
        stroke.character = c;
        strokes.push_back(stroke);
    }
    return strokes;
}

QString namedKeyName(NamedKey key)
{
    for (const NameEntry &entry : kNames) {
        if (entry.key == key)
            return QLatin1String(entry.name);
    }
    return QString();
}

} // namespace kestrel
