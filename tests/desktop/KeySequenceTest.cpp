#include "desktop/KeySequence.h"
#include "common/Failure.h"

#include <QStringList>

#include <gtest/gtest.h>

// Readable failure output for QString comparisons.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kestrel {
namespace {

// Strokes written compactly so that each table row reads as one line:
// "C-S-END" is Control+Shift+End, "A-x" Alt+x, a bare character is itself.
QString describe(const std::vector<KeyStroke> &strokes)
{
    QStringList parts;
    for (const KeyStroke &s : strokes) {
        QString text;
        if (s.control)
            text += QLatin1String("C-");
        if (s.alt)
            text += QLatin1String("A-");
        if (s.shift)
            text += QLatin1String("S-");
        if (s.kind == KeyStroke::Kind::Named)
            text += namedKeyName(s.key);
        else
            text += QString::fromUcs4(&s.character, 1);
        parts << text;
    }
    return parts.join(QLatin1Char(' '));
}

struct ParseCase
{
    const char *notation;
    const char *expected;
};

class ParseKeySequence : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseKeySequence, ProducesStrokes)
{
    const ParseCase &c = GetParam();
    EXPECT_EQ(describe(parseKeySequence(QString::fromUtf8(c.notation))), QString::fromUtf8(c.expected))
        << c.notation;
}

INSTANTIATE_TEST_SUITE_P(
    Notation, ParseKeySequence,
    ::testing::Values(
        // Plain text and the single-character shorthands.
        ParseCase{"", ""}, ParseCase{"abc", "a b c"}, ParseCase{"a b", "a   b"}, ParseCase{"~", "ENTER"},
        ParseCase{"a~b", "a ENTER b"}, ParseCase{"+a", "S-a"}, ParseCase{"^c", "C-c"}, ParseCase{"%f", "A-f"},
        ParseCase{"+ab", "S-a b"}, ParseCase{"^~", "C-ENTER"}, ParseCase{"[x]", "[ x ]"},
        ParseCase{"café ß€", "c a f é   ß €"}, ParseCase{"😀", "😀"},
        // Modifiers combine and last for one key only.
        ParseCase{"^+{END}", "C-S-END"}, ParseCase{"+^%x", "C-A-S-x"}, ParseCase{"++a", "S-a"},
        ParseCase{"^a^b", "C-a C-b"},
        // Groups put every member under the modifier, and nest.
        ParseCase{"+(abc)", "S-a S-b S-c"}, ParseCase{"+(ab)c", "S-a S-b c"},
        ParseCase{"^(a%(b)c)", "C-a C-A-b C-c"}, ParseCase{"(ab)", "a b"}, ParseCase{"()x", "x"},
        ParseCase{"+({LEFT 2})", "S-LEFT S-LEFT"}, ParseCase{"%(~)", "A-ENTER"},
        // Named keys, any case, with repeats.
        ParseCase{"{ENTER}", "ENTER"}, ParseCase{"{enter}", "ENTER"}, ParseCase{"{Tab}", "TAB"},
        ParseCase{"{ESCAPE}{ESC}", "ESC ESC"},
        ParseCase{"{BS}{BKSP}{BACKSPACE}", "BACKSPACE BACKSPACE BACKSPACE"},
        ParseCase{"{DEL}{DELETE}", "DELETE DELETE"}, ParseCase{"{INS}{INSERT}", "INSERT INSERT"},
        ParseCase{"{HOME}{END}{PGUP}{PGDN}", "HOME END PGUP PGDN"},
        ParseCase{"{UP}{DOWN}{LEFT}{RIGHT}", "UP DOWN LEFT RIGHT"},
        ParseCase{"{F1}{f9}{F10}{F16}", "F1 F9 F10 F16"},
        ParseCase{"{CAPSLOCK}{NUMLOCK}{SCROLLLOCK}", "CAPSLOCK NUMLOCK SCROLLLOCK"},
        ParseCase{"{BREAK}{PRTSC}{HELP}", "BREAK PRTSC HELP"},
        ParseCase{"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}", "ADD SUBTRACT MULTIPLY DIVIDE"},
        ParseCase{"{RIGHT 3}", "RIGHT RIGHT RIGHT"}, ParseCase{"+{RIGHT 2}", "S-RIGHT S-RIGHT"},
        ParseCase{"{TAB 0}x", "x"}, ParseCase{"{F1 01}", "F1"},
        // Braces type the special characters themselves.
        ParseCase{"{+}{^}{%}{~}", "+ ^ % ~"}, ParseCase{"{(}{)}", "( )"}, ParseCase{"{{}{}}", "{ }"},
        ParseCase{"{[}{]}", "[ ]"}, ParseCase{"{}}", "}"}, ParseCase{"{} 2}", "} }"},
        ParseCase{"{a 3}", "a a a"}, ParseCase{"{A}", "A"}, ParseCase{"{ }", " "}, ParseCase{"{  2}", "   "},
        ParseCase{"+{%}", "S-%"}, ParseCase{"{é 2}", "é é"}));

struct BadCase
{
    const char *notation;
    const char *token; ///< must appear in the description, quoted
    const char *kind;  ///< must appear in the description
};

class ParseKeySequenceFailure : public ::testing::TestWithParam<BadCase>
{
};

TEST_P(ParseKeySequenceFailure, NamesTheBadToken)
{
    const BadCase &c = GetParam();
    try {
        const auto strokes = parseKeySequence(QString::fromUtf8(c.notation));
        FAIL() << c.notation << " was accepted as " << describe(strokes).toStdString();
    } catch (const Failure &failure) {
        const QString quoted = QLatin1Char('"') + QString::fromUtf8(c.token) + QLatin1Char('"');
        EXPECT_TRUE(failure.description().contains(quoted)) << failure.description().toStdString();
        EXPECT_TRUE(failure.description().contains(QLatin1String(c.kind), Qt::CaseInsensitive))
            << failure.description().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Malformed, ParseKeySequenceFailure,
                         ::testing::Values(BadCase{"ab{FOO}", "{FOO}", "unknown key name"},
                                           BadCase{"{ENTR 2}", "{ENTR 2}", "unknown key name"},
                                           BadCase{"{F17}", "{F17}", "unknown key name"},
                                           BadCase{"{F0}", "{F0}", "unknown key name"},
                                           BadCase{"{ENTER", "{ENTER", "unbalanced brace"},
                                           BadCase{"x{", "{", "unbalanced brace"},
                                           BadCase{"{}", "{}", "unbalanced brace"},
                                           BadCase{"a}b", "}", "unbalanced brace"},
                                           BadCase{"+(ab", "(", "unbalanced parenthesis"},
                                           BadCase{"ab)", ")", "unbalanced parenthesis"},
                                           BadCase{"(a(b)", "(", "unbalanced parenthesis"},
                                           BadCase{"{ENTER x}", "{ENTER x}", "bad repeat count"},
                                           BadCase{"{ENTER -1}", "{ENTER -1}", "bad repeat count"},
                                           BadCase{"{ENTER 1001}", "{ENTER 1001}", "bad repeat count"},
                                           BadCase{"{a 99999999999}", "{a 99999999999}", "bad repeat count"},
                                           BadCase{"{ENTER }", "{ENTER }", "bad repeat count"},
                                           BadCase{"{ENTER 2 3}", "{ENTER 2 3}", "bad repeat count"},
                                           BadCase{"{a  3}", "{a  3}", "bad repeat count"},
                                           BadCase{"abc+", "+", "modifier with nothing after it"},
                                           BadCase{"^%", "^%", "modifier with nothing after it"},
                                           BadCase{"(a+)", "+", "modifier with nothing after it"},
                                           BadCase{"+()", "+()", "modifier with nothing after it"}));

TEST(ParseKeySequence, RepeatLimitIsInclusive)
{
    EXPECT_EQ(parseKeySequence(QStringLiteral("{TAB 1000}")).size(), 1000u);
}

TEST(LiteralKeyStrokes, EveryCharacterIsPlain)
{
    const QString text = QStringLiteral("+^%~{}()[] é😀\n");
    const auto strokes = literalKeyStrokes(text);
    EXPECT_EQ(describe(strokes), QStringLiteral("+ ^ % ~ { } ( ) [ ]   é 😀 \n"));
    for (const KeyStroke &s : strokes) {
        EXPECT_EQ(s.kind, KeyStroke::Kind::Character);
        EXPECT_FALSE(s.shift || s.control || s.alt);
    }
}

TEST(NamedKeyName, EveryKeyHasANameThatParsesBackToIt)
{
    for (int k = static_cast<int>(NamedKey::Enter); k <= static_cast<int>(NamedKey::Divide); ++k) {
        const auto key = static_cast<NamedKey>(k);
        const QString name = namedKeyName(key);
        ASSERT_FALSE(name.isEmpty()) << k;
        const auto strokes = parseKeySequence(QLatin1Char('{') + name + QLatin1Char('}'));
        ASSERT_EQ(strokes.size(), 1u) << name.toStdString();
        EXPECT_EQ(strokes[0].kind, KeyStroke::Kind::Named);
        EXPECT_EQ(strokes[0].key, key) << name.toStdString();
    }
}

} // namespace
} // namespace kestrel
