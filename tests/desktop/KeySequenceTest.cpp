#include "desktop/KeySequence.h"
#include "common/Failure.h"
#include "support/QtPrinters.h"

#include <gmock/gmock.h>

namespace kestrel {
namespace {

// Strokes written compactly so that each table row reads as one line:
// "C-S-END" is Control+Shift+End, "A-x" Alt+x, a bare character is itself.
QString describe(const std::vector<KeyStroke> &strokes)
{
    QStringList parts;
    for (const KeyStroke &s : strokes) {
        const QString key =
            s.kind == KeyStroke::Kind::Named ? namedKeyName(s.key) : QString::fromUcs4(&s.character, 1);
        parts << (s.control ? "C-" : "") + QString(s.alt ? "A-" : "") + (s.shift ? "S-" : "") + key;
    }
    return parts.join(' ');
}

TEST(ParseKeySequence, ProducesStrokes)
{
    using P = std::pair<const char *, const char *>;
    // Plain text and the single-character shorthands first.
    const P cases[] = {P{"", ""}, P{"abc", "a b c"}, P{"a b", "a   b"}, P{"a~b", "a ENTER b"},
                       P{"+ab", "S-a b"}, P{"^c%f", "C-c A-f"}, P{"^~", "C-ENTER"}, P{"[x]", "[ x ]"},
                       P{"café ß€", "c a f é   ß €"}, P{"😀", "😀"},
                       // Modifiers combine and last for one key only.
                       P{"^+{END}", "C-S-END"}, P{"+^%x", "C-A-S-x"}, P{"++a", "S-a"}, P{"^a^b", "C-a C-b"},
                       // Groups put every member under the modifier, and nest.
                       P{"+(abc)", "S-a S-b S-c"}, P{"+(ab)c", "S-a S-b c"}, P{"^(a%(b)c)", "C-a C-A-b C-c"},
                       P{"(ab)", "a b"}, P{"()x", "x"}, P{"+({LEFT 2})", "S-LEFT S-LEFT"},
                       P{"%(~)", "A-ENTER"},
                       // Named keys in any case, other spellings, repeats (each key's own name: RoundTrip).
                       P{"{enter}{Tab}{f9}", "ENTER TAB F9"},
                       P{"{ESCAPE}{BS}{BKSP}{DEL}{INS}", "ESC BACKSPACE BACKSPACE DELETE INSERT"},
                       P{"{RIGHT 3}", "RIGHT RIGHT RIGHT"}, P{"+{RIGHT 2}", "S-RIGHT S-RIGHT"},
                       P{"{TAB 0}x", "x"}, P{"{F1 01}", "F1"},
                       // Braces type the special characters themselves.
                       P{"{+}{^}{%}{~}", "+ ^ % ~"}, P{"{(}{)}", "( )"}, P{"{{}{}}", "{ }"},
                       P{"{[}{]}", "[ ]"}, P{"{}}", "}"}, P{"{} 2}", "} }"}, P{"{a 3}", "a a a"},
                       P{"{A}", "A"}, P{"{ }", " "}, P{"{  2}", "   "}, P{"+{%}", "S-%"}, P{"{é 2}", "é é"}};
    for (const auto &[notation, expected] : cases)
        EXPECT_EQ(describe(parseKeySequence(QString::fromUtf8(notation))), QString::fromUtf8(expected))
            << notation;
    EXPECT_EQ(parseKeySequence("{TAB 1000}").size(), 1000u) << "the repeat limit is inclusive";
    // Typed text means no notation: every character is plain.
    EXPECT_EQ(describe(literalKeyStrokes("+^%~{}()[] é😀\n")), "+ ^ % ~ { } ( ) [ ]   é 😀 \n");
}

TEST(ParseKeySequence, FailureNamesTheBadTokenAndWhatIsWrong)
{
    struct Bad
    {
        const char *notation, *token, *kind; // the description names the kind, then the token in quotes
    };
    const char *name = "Unknown key name", *brace = "Unbalanced brace", *paren = "Unbalanced parenthesis",
               *count = "Bad repeat count", *modifier = "Modifier with nothing after it";
    const Bad cases[] = {Bad{"ab{FOO}", "{FOO}", name}, Bad{"{ENTR 2}", "{ENTR 2}", name},
                         Bad{"{F17}", "{F17}", name}, Bad{"{F0}", "{F0}", name},
                         Bad{"{ENTER", "{ENTER", brace}, Bad{"x{", "{", brace}, Bad{"{}", "{}", brace},
                         Bad{"a}b", "}", brace}, Bad{"+(ab", "(", paren}, Bad{"ab)", ")", paren},
                         Bad{"(a(b)", "(", paren}, Bad{"abc+", "+", modifier}, Bad{"^%", "^%", modifier},
                         Bad{"(a+)", "+", modifier}, Bad{"+()", "+()", modifier},
                         // The repeat count is everything after the first blank.
                         Bad{"{ENTER x}", "{ENTER x}", count}, Bad{"{ENTER -1}", "{ENTER -1}", count},
                         Bad{"{ENTER 1001}", "{ENTER 1001}", count},
                         Bad{"{a 99999999999}", "{a 99999999999}", count}, Bad{"{ENTER }", "{ENTER }", count},
                         Bad{"{ENTER 2 3}", "{ENTER 2 3}", count}, Bad{"{a  3}", "{a  3}", count}};
    for (const Bad &c : cases)
        EXPECT_THAT(
            [&] { parseKeySequence(QString::fromUtf8(c.notation)); },
            testing::ThrowsMessage<Failure>(testing::HasSubstr(c.kind + std::string(" \"") + c.token + '"')))
            << c.notation;
}

TEST(ParseKeySequence, AKeyTextOfMoreThanTenThousandKeysIsRefusedWhole)
{
    EXPECT_EQ(parseKeySequence(QString("{a 1000}").repeated(10)).size(), 10000u) << "the limit is inclusive";
    struct Long
    {
        QString notation, token; // the description names the key that is one too many
    };
    const Long cases[] = {{QString("{a 1000}").repeated(10) + "+b", "+b"},
                          {QString("{a 1000}").repeated(9) + QString(1000, 'x') + "~", "~"},
                          {QString("x") + QString("{ENTER 1000}").repeated(200), "{ENTER 1000}"},
                          {QString("{a 1000}").repeated(10) + "^+{TAB}", "^+{TAB}"},
                          {QString(10001, 'z'), "z"}};
    for (const Long &c : cases)
        EXPECT_THAT([&] { parseKeySequence(c.notation); },
                    testing::ThrowsMessage<Failure>(
                        testing::HasSubstr(QString("Too many keys at \"%1\"").arg(c.token).toStdString())))
            << c.notation.left(40).toStdString();
}

TEST(ParseKeySequence, DeepNestingEndsInAMessageNotACrash)
{
    const auto nested = [](int depth) {
        return QString(depth, QLatin1Char('(')) + QLatin1Char('a') + QString(depth, QLatin1Char(')'));
    };
    EXPECT_EQ(describe(parseKeySequence(nested(100))), "a");
    for (const int depth : {101, 200000})
        EXPECT_THAT(
            [&] { parseKeySequence(nested(depth)); },
            testing::ThrowsMessage<Failure>(testing::HasSubstr("Parentheses nested too deeply \"(\"")))
            << depth;
}

TEST(NamedKeyName, EveryKeyHasANameThatParsesBackToIt)
{
    for (int k = static_cast<int>(NamedKey::Enter); k <= static_cast<int>(NamedKey::Divide); ++k) {
        const KeyStroke stroke{.kind = KeyStroke::Kind::Named, .key = static_cast<NamedKey>(k)};
        EXPECT_EQ(parseKeySequence('{' + namedKeyName(stroke.key) + '}'), std::vector{stroke}) << k;
    }
}

} // namespace
} // namespace kestrel
