// The text of phrases and actions: the recogniser's text cleaned, answer words,
// numbers, an OPEN row's parts, and the action language the scanner carries out.
#include "InterpreterFixture.h"

#include "common/Failure.h"
#include "interpreter/ActionScanner.h"
#include "interpreter/DesktopPrimitives.h"
#include "interpreter/NumericValue.h"
#include "interpreter/OpenAction.h"
#include "interpreter/TextRules.h"

#include <gmock/gmock.h>

#include <cmath>
#include <random>
#include <stdexcept>

using namespace kestrel;
using namespace kestrel::test;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

namespace {

using P = std::pair<const char *, const char *>;

TEST(TextRules, NormaliserCleansRecognisedTextAndUpperCasingKeepsPositions)
{
    const P cases[] = {
        P{"Open notepad.", "Open notepad"}, P{"hello. world", "helloworld"}, P{"a SPACE b", "a b"},
        P{"a space b", "a b"}, P{"a Space b", "a b"}, P{"1.5 inches", "15 inches"}, P{"space bar", " bar"},
        P{"U.S.", "US"}, P{"a.. b", "ab"},
        // ". " goes before " SPACE ": the other order would leave "ab".
        P{"a. SPACE b", "a b"}, P{"spaceship", "spaceship"}, P{"", ""},
        // "space" is a spoken word of its own, not the end of a longer one.
        P{"the aerospace industry", "the aerospace industry"}, P{"my WORKSPACE folder", "my WORKSPACE folder"},
        P{"(space x", "( x"}, P{"aerospace space x", "aerospace x"}, P{"SPACESPACE x", "SPACESPACE x"},
        // A removed full stop leaves the next word a word of its own.
        P{"x.space y", "xy"}, P{"end. space. space z", "end z"}, P{"aero. spacecraft", "aerospacecraft"}};
    for (const auto &[input, expected] : cases)
        EXPECT_EQ(normaliseRecoText(QString::fromUtf8(input)), QString::fromUtf8(expected)) << input;

    const QString tail(2000, QLatin1Char('b')); // each cut keeps at most 1024 characters after the match
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a. ") + tail), QStringLiteral("a") + tail.left(1024));
    EXPECT_EQ(normaliseRecoText(QStringLiteral("a SPACE ") + tail), QStringLiteral("a ") + tail.left(1024));
    // Upper-casing keeps every position: a sharp s stays one character.
    EXPECT_EQ(upperCased("straße spell it x"), "STRAßE SPELL IT X");
}

/// The cleaning done the plain way: every rule searched from the start of the
/// text again after each cut. Slow on long text, and obviously right.
QString cleanedThePlainWay(QString text)
{
    QList<qsizetype> joins;
    const auto cut = [&](qsizetype index, qsizetype length, const QString &replacement, bool join) {
        text = text.left(index) + replacement + text.mid(index + length, MaxTailLength);
        QList<qsizetype> kept;
        for (qsizetype at : std::as_const(joins)) {
            if (at < index)
                kept << at;
            else if (at >= index + length)
                kept << at + replacement.size() - length;
        }
        if (join)
            kept << index + replacement.size();
        joins = kept;
    };
    for (;;) {
        if (const qsizetype at = text.indexOf(QLatin1String(". ")); at >= 0) {
            cut(at, 2, {}, true);
            continue;
        }
        if (const qsizetype at = text.indexOf(QLatin1String(" SPACE "), 0, Qt::CaseInsensitive); at >= 0) {
            cut(at, 7, QStringLiteral(" "), false);
            continue;
        }
        qsizetype word = -1;
        for (qsizetype at = text.indexOf(QLatin1String("SPACE "), 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(QLatin1String("SPACE "), at + 1, Qt::CaseInsensitive)) {
            if (at == 0 || !text[at - 1].isLetterOrNumber() || joins.contains(at)) {
                word = at;
                break;
            }
        }
        if (word >= 0) {
            cut(word, 6, QStringLiteral(" "), false);
            continue;
        }
        if (const qsizetype at = text.indexOf(QLatin1Char('.')); at >= 0) {
            cut(at, 1, {}, true);
            continue;
        }
        return text;
    }
}

TEST(TextRules, LongTextIsCleanedAsIfEveryRuleWereSearchedFromTheStartAgain)
{
    // Pieces that make every rule fire, overlap and join, in long enough runs
    // for the 1024-character tail to cut them.
    const char *pieces[] = {"a",  "x", "space", "SPACE", "Space", "spacecraft", ".",
                            ". ", " ", "  ",    "1",     "(",     "aero"};
    std::mt19937 random(20261209);
    for (int round = 0; round < 400; ++round) {
        const int length = std::uniform_int_distribution<int>(1, round < 300 ? 60 : 1500)(random);
        QString text;
        for (int i = 0; i < length; ++i)
            text += QLatin1String(
                pieces[std::uniform_int_distribution<size_t>(0, std::size(pieces) - 1)(random)]);
        const QString expected = cleanedThePlainWay(text);
        ASSERT_EQ(normaliseRecoText(text), expected)
            << "round " << round << ": " << qPrintable(text.left(300));
    }
}

TEST(TextRules, AnswerWordsAreWholeUpperCaseTexts)
{
    for (const char *yes : {"YES", "US", "U S", "U.S.", "THIS"})
        EXPECT_TRUE(isYesWord(QString::fromLatin1(yes))) << yes;
    for (const char *no : {"NO", "NOW", "KNOW"})
        EXPECT_TRUE(isNoWord(QString::fromLatin1(no))) << no;
    for (const char *other : {"yes", "YES PLEASE", " YES", "NOT", "", "THESE"}) {
        EXPECT_FALSE(isYesWord(QString::fromLatin1(other))) << other;
        EXPECT_FALSE(isNoWord(QString::fromLatin1(other))) << other;
    }
}

TEST(NumericValue, ReadsTheLeadingNumber)
{
    const std::pair<const char *, double> cases[] = {{"100", 100},
                                                     {" 1 0 0", 100},
                                                     {"\t7\n", 7},
                                                     {"12abc", 12},
                                                     {"abc", 0},
                                                     {"", 0},
                                                     {"-5", -5},
                                                     {"+5", 5},
                                                     {"- 5", -5},
                                                     {"1.5", 1.5},
                                                     {".5", 0.5},
                                                     {"5.", 5},
                                                     {"1e3", 1000},
                                                     {"1E+2", 100},
                                                     {"1e", 1},
                                                     {"2e-1", 0.2},
                                                     {"2,3", 2},
                                                     {"1.2.3", 1.2},
                                                     {"--5", 0},
                                                     {"\r5", 0},
                                                     {"200}", 200},
                                                     // Too small for a double is 0, not an overflow.
                                                     {"1e-400", 0},
                                                     {"-25e-999x", 0},
                                                     {"1e-320", 1e-320}};
    for (const auto &[text, value] : cases)
        EXPECT_DOUBLE_EQ(numericValue(QString::fromLatin1(text)), value) << text;
    EXPECT_THROW(numericValue(QStringLiteral("1e400")), Failure);
}

TEST(NumericValue, RoundsHalvesToEvenAndRefusesOverflow)
{
    using R = std::pair<double, int>;
    for (const auto &[value, expected] : {R{2.5, 2}, R{3.5, 4}, R{-2.5, -2}, R{0.5, 0}, R{1.5, 2}, R{2.6, 3},
                                          R{-2.6, -3}, R{32767.4, 32767}, R{-32768.5, -32768}}) {
        EXPECT_EQ(roundToInt16(value), expected) << value;
        EXPECT_EQ(roundToInt32(value), expected) << value;
    }
    EXPECT_THROW(roundToInt16(32767.5), Failure);
    EXPECT_THROW(roundToInt16(-32769), Failure);
    EXPECT_THROW(roundToInt16(INFINITY), Failure);
    EXPECT_EQ(roundToInt32(32768), 32768);
    EXPECT_EQ(roundToInt32(2147483647.0), 2147483647);
    EXPECT_THROW(roundToInt32(2147483647.5), Failure);
    EXPECT_THAT([] { roundToInt16(40000); }, ThrowsMessage<Failure>(StrEq("Overflow")));
}

TEST(OpenAction, SplitsIntoProgramDirectoryAndKeys)
{
    using S = std::array<QString, 4>; // action, program, directory, keys
    for (const auto &[action, program, directory, keys] :
         {S{"\"/opt/my app/run\",\"/home/me/\"", "/opt/my app/run", "/home/me/", ""},
          S{"\"/opt/app\",/data|^s", "/opt/app", "/data", "^s"},
          // A "|" in the first two characters does not split.
          S{"a|b", "a|b", "", ""}, S{"ab|", "ab", "", ""}, S{"x|y|z", "x|y", "", "z"}, S{"", "", "", ""}}) {
        const OpenAction parts = splitOpenDirectory(splitOpenKeys(action));
        EXPECT_EQ(S({action, parts.program, parts.directory, parts.keys}),
                  S({action, program, directory, keys}));
    }
    const QString many(1500, QLatin1Char('k')); // the keys keep at most 1024 characters
    EXPECT_EQ(splitOpenKeys("prog|" + many).keys, many.left(1024));
}

struct ScannerFixture : InterpreterParts<>
{
    ScannerFixture()
    {
        desktop.setCursor(QPoint(100, 100));
        desktop.setForeground(0x2a);
        // A scan that never ends would pause forever; stop it loudly instead.
        wait.onEveryCall([this] {
            if (wait.calls() > 100000)
                throw std::runtime_error("runaway scan");
        });
    }
    ActionScanner::Outcome run(const char *action) { return scanner.run(QString::fromLatin1(action)); }

    DesktopPrimitives primitives{desktop};
    ActionScanner scanner{desktop, wait, mainWindow, primitives};
};

TEST(ActionScanner, CarriesOutTheAction)
{
    const P cases[] = {
        P{"abc", "keys abc wait"}, P{"^c{PAUSE 0.5}^v", "keys ^c wait|keys ^v wait"},
        P{"{CURSOR 100,200}{LEFT CLICK}", "cursor 100,200|click L down|click L up"},
        P{"{left click}", "click L down|click L up"}, P{"{Right Click}", "click R down|click R up"},
        P{"{CURSOR DOWN 5}", "cursor 100,120"}, P{"{cursor up}", "cursor 100,80"},
        P{"{CURSOR LEFT}", "cursor 80,100"}, P{"{Cursor Right}", "cursor 120,100"},
        P{"{CURSOR 100, 200}", "cursor 100,200"}, P{"{CURSOR 2.5,3.5}", "cursor 2,4"},
        // Without a comma nothing moves and the argument is dropped.
        P{"{CURSOR 100}x", "keys x wait"},
        // A missing closing brace drops the rest of the action.
        P{"a{PAUSE 2 b", "keys a wait"}, P{"q{CURSOR 1,2 abc", "keys q wait"},
        P{"{CURSOR DOWN x", "cursor 100,120"},
        // The blank between two clicks is typed; a lone blank is not.
        P{"{LEFT CLICK} {RIGHT CLICK}", "click L down|click L up|keys   wait|click R down|click R up"},
        P{" ", ""}, P{"", ""}, P{"}", ""},
        P{"abc{ENTER}{LEFT CLICK}", "keys abc{ENTER} wait|click L down|click L up"},
        P{"}abc", "keys abc wait"}, P{"{LEFT CLICK}x", "click L down|click L up|keys x wait"},
        P{"a{CURSOR 1,2}b", "keys a wait|cursor 1,2|keys b wait"}, P{"{POSITION 10,20}", "move 0x2a 10,20"},
        P{"{position 40000,-5}", "move 0x2a 40000,-5"}, P{"{POSITION 10}", ""},
        P{"+{RIGHT 3}", "keys +{RIGHT 3} wait"},
        // A "}" just before a token must not make the token run again and again.
        P{"{ENTER}{PAUSE 1}y", "keys {ENTER} wait|keys y wait"},
        P{"a{PAUSE 1e-400}b{CURSOR 1e-400,2}", "keys a wait|keys b wait|cursor 0,2"},
        P{"{TAB}{CURSOR DOWN}z", "keys {TAB} wait|cursor 100,120|keys z wait"},
        // Quitting ends the program without the keys not sent yet.
        P{"text{QUIT}", "quit"}, P{"a{LEFT CLICK}b{quit}c", "keys a wait|click L down|click L up|quit"}};
    for (const auto &[action, expected] : cases) {
        ScannerFixture f;
        const bool quit = f.run(action) == ActionScanner::Outcome::Quit;
        EXPECT_EQ(quit, f.mainWindow.quitRequested) << action;
        EXPECT_EQ(f.desktop.actions() + (quit ? QStringList{"quit"} : QStringList{}), lines(expected))
            << action;
    }
    ScannerFixture f; // without a foreground window there is nothing to place
    f.desktop.setForeground(0);
    EXPECT_EQ(f.run("{POSITION 1,2}"), ActionScanner::Outcome::Completed);
    EXPECT_TRUE(f.desktop.actions().isEmpty());
}

TEST(ActionScanner, PauseWaitsOnlyInsideItsBounds)
{
    const std::pair<const char *, double> cases[] = {
        {"{PAUSE 0.5}", 0.5}, {"{pause 29.9}", 29.9}, {"{PAUSE 0}", 0}, {"{PAUSE 30}", 0},
        {"{PAUSE -1}", 0},    {"{PAUSE abc}", 0},     {"{PAUSE 2", 0}}; // 0: no pause at all
    for (const auto &[action, seconds] : cases) {
        ScannerFixture f;
        f.wait.setStep(0.01);
        const double start = f.wait.now();
        f.run(action);
        if (seconds == 0) {
            EXPECT_EQ(f.wait.calls(), 0) << action;
        } else {
            EXPECT_GE(f.wait.now() - start, seconds - 1e-9) << action;
            EXPECT_LT(f.wait.now() - start, seconds + 0.02) << action;
        }
    }
}

TEST(ActionScanner, FailureEndsTheScanButKeepsWhatWasSent)
{
    // An overflowing number fails in the scanner, malformed key text in the desktop.
    for (const auto &[action, sent] :
         {P{"a{CURSOR 40000,1}b", "keys a wait"}, P{"{NOSUCHKEY}", "keys-rejected {NOSUCHKEY}"}}) {
        ScannerFixture f;
        EXPECT_THROW(f.run(action), Failure) << action;
        EXPECT_EQ(f.desktop.actions(), QStringList{sent}) << action;
    }
}

} // namespace
