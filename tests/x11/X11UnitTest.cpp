// The X11 backend's parts that need no display: key planning, programs started
// detached, and the guard that keeps a second KESTREL from running.
#include "common/Failure.h"
#include "desktop/KeySequence.h"
#include "desktop/x11/KeyPlan.h"
#include "desktop/x11/ProgramStarts.h"
#include "desktop/x11/SingleInstance.h"
#include "desktop/x11/X11Keyboard.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"
#include "support/ScopedWorkingDirectory.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <X11/keysym.h>

#include <gmock/gmock.h>

#include <functional>
#include <optional>
#include <unistd.h>

namespace kestrel::x11 {
namespace {

using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// A small keyboard in the core map's layout (six columns: plain, shifted, second
// group twice, AltGr plain and shifted), keycodes 10 to 26.
constexpr KeyCodeNumber kA = 10, kSpare1 = 19, kSpare2 = 20, kLast = 26;

KeyboardMap testMap(bool withAlt = true, bool withLevel3 = true)
{
    using Row = std::vector<KeySymbol>;
    const Row rows[] = {Row{XK_a, XK_A}, Row{XK_1, XK_exclam}, Row{XK_e, XK_E, 0, 0, XK_EuroSign, XK_cent},
                        // 13 to 16: Shift, Control, Alt, AltGr.
                        Row{XK_Shift_L}, Row{XK_Control_L}, withAlt ? Row{XK_Alt_L, XK_Meta_L} : Row{},
                        withLevel3 ? Row{XK_ISO_Level3_Shift} : Row{},
                        // 17 on; 23 carries nothing but is a modifier key, so it is no spare.
                        Row{XK_Return}, Row{XK_Pause, XK_Break}, Row{}, Row{}, Row{}, Row{XK_space}, Row{},
                        Row{}, Row{XK_KP_Add}, Row{}};
    std::vector<KeySymbol> keysyms;
    for (Row row : rows) {
        row.resize(6);
        keysyms.insert(keysyms.end(), row.begin(), row.end());
    }
    return KeyboardMap(kA, 6, keysyms, {13, 14, 15, 16, 23});
}

// "+11 -11" is press and release of keycode 11; "|" separates batches; a batch's
// remaps come first in brackets, as keycode=keysym in hex, "/shifted keysym" when
// Shift gives another.
QString describe(const std::vector<KeyBatch> &batches)
{
    QStringList parts;
    for (const KeyBatch &batch : batches) {
        QStringList words;
        for (const Remap &remap : batch.remaps) {
            QString word = QStringLiteral("[%1=%2").arg(remap.keycode).arg(remap.plain, 0, 16);
            if (remap.shifted != remap.plain)
                word += QStringLiteral("/%1").arg(remap.shifted, 0, 16);
            words << word + ']';
        }
        for (const KeyEvent &event : batch.events)
            words << QStringLiteral("%1%2").arg(event.press ? '+' : '-').arg(event.keycode);
        parts << words.join(' ');
    }
    return parts.join(" | ");
}

QString plan(const std::vector<KeyStroke> &strokes, const KeyboardMap &map = testMap())
{
    return describe(planKeys(strokes, map, {kSpare1, kSpare2}));
}

TEST(PlanKeys, PressesTheRightKeysWithTheRightModifiers)
{
    using P = std::pair<const char *, const char *>; // key notation, the plan
    const P cases[] = {
        P{"a", "+10 -10"}, P{"A", "+13 +10 -10 -13"}, P{"+a", "+13 +10 -10 -13"}, P{"^a", "+14 +10 -10 -14"},
        P{"^A", "+14 +13 +10 -10 -13 -14"}, P{"%+1", "+15 +13 +11 -11 -13 -15"}, P{"!", "+13 +11 -11 -13"},
        P{"~", "+17 -17"}, P{"a a", "+10 -10 +22 -22 +10 -10"},
        // AltGr levels are used when the map has a level-three key.
        P{"€", "+16 +12 -12 -16"}, P{"¢", "+13 +16 +12 -12 -16 -13"},
        // A named key counts only on a plain level; Break sits on Pause's shifted one.
        P{"{BREAK}", "[19=ff6b] +19 -19"}, P{"{ADD}", "+25 -25"}, P{"+{F13}", "[19=ffca] +13 +19 -19 -13"},
        // Missing characters go on the spares, each once per batch.
        P{"é", "[19=e9/c9] +19 -19"}, P{"éaé", "[19=e9/c9] +19 -19 +10 -10 +19 -19"},
        P{"É", "[19=c9] +19 -19"}, P{"+{ä}", "[19=e4/c4] +13 +19 -19 -13"}, P{"😀", "[19=101f600] +19 -19"},
        P{"ж", "[19=1000436/1000416] +19 -19"},
        P{"éüö", "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 | [19=f6/d6] +19 -19"},
        P{"éüéö", "[19=e9/c9] [20=fc/dc] +19 -19 +20 -20 +19 -19 | [19=f6/d6] +19 -19"},
        // Line ends and control characters.
        P{"a\r\na", "+10 -10 +17 -17 +10 -10"}, P{"\r\n", "+17 -17"}, P{"\r", "+17 -17"},
        P{"\n\n", "+17 -17 +17 -17"}, P{"\001a\002", "+10 -10"}, P{"", ""}};
    for (const auto &[notation, expected] : cases)
        EXPECT_EQ(plan(parseKeySequence(QString::fromUtf8(notation))), expected) << notation;

    // A carriage return before a newline is dropped only when their modifiers match.
    std::vector<KeyStroke> strokes = literalKeyStrokes("\r\n");
    strokes[1].control = true;
    EXPECT_EQ(plan(strokes), "+17 -17 +14 +17 -17 -14");
    // Without a level-three key, AltGr characters go on the spares.
    EXPECT_EQ(plan(literalKeyStrokes("€"), testMap(true, false)), "[19=10020ac] +19 -19");
}

// Layouts list most letters beyond Latin-1 under X's older names (Cyrillic_a,
// lstroke, endash), not as Unicode keysyms: the user's own keys type them, and
// the map is not rewritten (which every client must re-read) for each one.
TEST(PlanKeys, LettersALayoutListsUnderOlderNamesAreTypedOnItsOwnKeys)
{
    using Row = std::vector<KeySymbol>;
    // 10: Cyrillic а/А; 11: l/L with ł/Ł on AltGr; 12: AltGr key; 13: Shift;
    // 14: - and _ with – on AltGr; 15: Greek α; 16 and 17: spares.
    const Row rows[] = {Row{XK_Cyrillic_a, XK_Cyrillic_A},
                        Row{XK_l, XK_L, 0, 0, XK_lstroke, XK_Lstroke},
                        Row{XK_ISO_Level3_Shift},
                        Row{XK_Shift_L},
                        Row{XK_minus, XK_underscore, 0, 0, 0xaaa /* endash */, 0xaa9 /* emdash */},
                        Row{XK_Greek_alpha, XK_Greek_ALPHA},
                        Row{},
                        Row{}};
    std::vector<KeySymbol> keysyms;
    for (Row row : rows) {
        row.resize(6);
        keysyms.insert(keysyms.end(), row.begin(), row.end());
    }
    const KeyboardMap map(10, 6, keysyms, {12, 13});
    using P = std::pair<const char *, const char *>; // text, the plan
    const P cases[] = {
        P{"а", "+10 -10"},
        P{"А", "+13 +10 -10 -13"},
        P{"ł", "+12 +11 -11 -12"},
        P{"Ł", "+13 +12 +11 -11 -12 -13"},
        P{"–", "+12 +14 -14 -12"},
        P{"—", "+13 +12 +14 -14 -12 -13"},
        P{"α", "+15 -15"},
        // Characters the layout has under no name still go on a spare.
        P{"ж", "[16=1000436/1000416] +16 -16"},
    };
    for (const auto &[text, expected] : cases)
        EXPECT_EQ(describe(planKeys(literalKeyStrokes(QString::fromUtf8(text)), map, {16, 17})), expected)
            << text;
}

TEST(PlanKeys, RefusesBeforeAnyKeyIsSent)
{
    // No spare keycode for a missing character; a map without Alt for "%".
    EXPECT_THAT([] { planKeys(parseKeySequence("aé"), testMap(), {}); },
                ThrowsMessage<Failure>(HasSubstr("free key code")));
    EXPECT_THAT([] { planKeys(parseKeySequence("a%b"), testMap(false), {kSpare1}); },
                ThrowsMessage<Failure>(HasSubstr("Alt")));
}

TEST(KeyboardMap, EmptyKeycodesAreNoModifierKeys)
{
    // Where a keysym sits shows in the key plans above.
    const KeyboardMap map = testMap();
    EXPECT_FALSE(map.find(0).has_value());
    EXPECT_EQ(map.maxKeycode(), kLast);
    EXPECT_EQ(map.emptyKeycodes(), (std::vector<KeyCodeNumber>{19, 20, 21, 24, 26}));
}

TEST(ChooseSpares, TakesWholeRunsFirst)
{
    using Codes = std::vector<KeyCodeNumber>;
    struct S
    {
        Codes empty;
        std::size_t limit;
        Codes expected;
    };
    const Codes pool{8, 9, 10, 20, 21, 22, 23, 30};
    const S cases[] = {S{{}, 8, {}}, S{{30}, 8, {30}}, S{pool, 8, pool}, S{pool, 4, {20, 21, 22, 23}},
                       // Runs are taken from the top down.
                       S{pool, 6, {9, 10, 20, 21, 22, 23}}, S{{8, 9, 20, 21}, 2, {20, 21}},
                       S{{20, 21, 22, 23}, 2, {22, 23}}, S{{5, 7, 9}, 2, {7, 9}}};
    for (const S &c : cases)
        EXPECT_EQ(chooseSpares(c.empty, c.limit), c.expected) << c.limit;
}

TEST(Keysyms, ForCharactersAndNamedKeys)
{
    using K = std::pair<char32_t, KeySymbol>;
    const K cases[] = {K{U'a', XK_a}, K{U' ', XK_space}, K{U'~', XK_asciitilde}, K{U'\u00e9', XK_eacute},
                       K{U'\u00ff', XK_ydiaeresis}, K{U'\u20ac', 0x10020ac}, K{U'\U0001F600', 0x101f600},
                       // Control characters with a key of their own; others and non-characters have none.
                       K{U'\n', XK_Return}, K{U'\t', XK_Tab}, K{U'\b', XK_BackSpace}, K{U'\x1b', XK_Escape},
                       K{U'\x7f', XK_Delete}, K{U'\x01', 0}, K{U'\x85', 0}, K{0xd800, 0}, K{0x110000, 0}};
    for (const auto &[character, keysym] : cases)
        EXPECT_EQ(keysymForCharacter(character), keysym) << std::hex << static_cast<std::uint32_t>(character);
    // The other named keys are checked on the live display; openbox keeps Print for itself.
    EXPECT_EQ(keysymForNamedKey(NamedKey::PrintScreen), KeySymbol{XK_Print});
}

void writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(content) == content.size())
        << path.toStdString();
    file.setPermissions(file.permissions() | (executable ? QFile::ExeOwner : QFile::Permissions()));
}

/// Waits (bounded) for a file that a detached child writes, and returns its content.
QByteArray awaitFile(const QString &path)
{
    QByteArray content;
    for (QDeadlineTimer deadline(10000); !content.endsWith('\n') && !deadline.hasExpired();
         QThread::msleep(20)) {
        QFile file(path);
        content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    return content;
}

class ProgramStarts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        writeFile(path("doc.txt"), "x");
        writeFile(path("my file [1].txt"), "x");
        QDir(m_dir.path()).mkdir(QStringLiteral("sub"));
        // Prints each argument on a line of its own, so blanks and shell characters
        // in arguments show whether a shell took part.
        writeFile(path("record.sh"),
                  "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$OUT\"\n", true);
        qputenv("OUT", path("out.txt").toLocal8Bit());
    }

    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir m_dir;
};

TEST_F(ProgramStarts, FilesAndDirectoriesAreFound)
{
    using M = std::pair<QString, bool>;
    const QString dir = m_dir.path() + '/';
    const M files[] = {M{dir + "doc.txt", true}, M{dir + "*.txt", true}, M{dir + "d?c.txt", true},
                       M{dir + "d??c.txt", false}, M{dir + "*.pdf", false}, M{dir + "DOC.TXT", false},
                       M{dir + "D*.txt", false}, M{dir + "my file [1]*", true},
                       M{dir + "my file [1].txt", true}, M{dir + "sub", true}, M{dir + "s*", true},
                       M{dir + "missing/*.txt", false},
                       // A bare name is looked for on the PATH.
                       M{"sh", true}, M{"no-such-program-kestrel", false}, M{QString(), false}};
    for (const auto &[pattern, matches] : files)
        EXPECT_EQ(fileMatches(pattern), matches) << pattern.toStdString();
    const M directories[] = {M{m_dir.path(), true}, M{path("sub"), true}, M{path("doc.txt"), false},
                             M{path("missing"), false}, M{QString(), false}};
    for (const auto &[name, isDir] : directories)
        EXPECT_EQ(isDirectory(name), isDir) << name.toStdString();
}

TEST_F(ProgramStarts, FailuresAreBelowThirtyThreeWithADescription)
{
    using F = std::tuple<QString, QString, std::int64_t>; // program, working directory, result
    const F cases[] = {F{"no-such-program-kestrel", QString(), kFileNotFound},
                       F{path("missing.sh"), QString(), kFileNotFound},
                       F{QString(), QString(), kFileNotFound},
                       F{path("doc.txt"), QString(), kAccessDenied},
                       F{path("sub"), QString(), kAccessDenied},
                       F{"sh", path("missing"), kPathNotFound}};
    for (const auto &[program, workingDirectory, expected] : cases) {
        const auto result = ProgramStarter().startProgram(program, {}, workingDirectory);
        EXPECT_EQ(result.value, expected) << program.toStdString();
        EXPECT_FALSE(result.ok());
        EXPECT_FALSE(result.description.isEmpty()) << program.toStdString();
    }
    ProgramStarter openers(path("record.sh"));
    EXPECT_EQ(openers.open(path("missing.txt"), QString()).value, kFileNotFound);
    EXPECT_EQ(openers.open(QString(), QString()).value, kFileNotFound);
    EXPECT_EQ(openers.open("doc.txt", path("missing")).value, kPathNotFound);
    EXPECT_EQ(ProgramStarter("no-such-opener-kestrel").open(path("doc.txt"), QString()).value, kStartFailed);
}

TEST_F(ProgramStarts, StartsWithArgumentsAndNoShell)
{
    const auto result =
        ProgramStarter().startProgram(path("record.sh"), {"a b", "$HOME;echo x", "*"}, m_dir.path());
    ASSERT_TRUE(result.ok()) << result.description.toStdString();
    EXPECT_EQ(result.value, kStarted);
    EXPECT_GT(result.processId, 0);
    EXPECT_EQ(awaitFile(path("out.txt")), QByteArray("a b\n$HOME;echo x\n*\n"));
}

// A program in the working directory, named without a path: the launch found
// it there, so it must start from there, not fail for want of it on the PATH.
TEST_F(ProgramStarts, ABareNameInTheWorkingDirectoryStarts)
{
    const test::ScopedWorkingDirectory here(false);
    QFile::copy(path("record.sh"), here.path("backup.sh"));
    QFile::copy(path("doc.txt"), here.path("doc.txt"));
    for (const QString &workingDirectory : {QString(), path("sub")}) {
        SCOPED_TRACE(workingDirectory.toStdString());
        QFile::remove(path("out.txt"));
        const auto result = ProgramStarter().startProgram("backup.sh", {"a b"}, workingDirectory);
        ASSERT_TRUE(result.ok()) << result.description.toStdString();
        EXPECT_EQ(awaitFile(path("out.txt")), QByteArray("a b\n"));
    }
    EXPECT_EQ(ProgramStarter().startProgram("doc.txt", {}, QString()).value, kFileNotFound);
}

// The launch looks for a relative path from this program's own folder, and the
// start must take the file it found there. Taken from the folder the row names
// for the program to work in, it was another file or none, and the start failed
// without a word after the launch had found the file.
TEST_F(ProgramStarts, ARelativePathIsTheFileFoundFromThisProgramsFolderWhateverFolderTheProgramWorksIn)
{
    const test::ScopedWorkingDirectory here(false);
    QDir(here.path("")).mkdir(QStringLiteral("tools"));
    QFile::copy(path("record.sh"), here.path("tools/run me.sh"));
    writeFile(here.path("tools/note.txt"), "x");
    writeFile(here.path("plain.txt"), "x");
    writeFile(path("sub/note.txt"), "elsewhere");
    const struct
    {
        const char *name;
        std::function<Desktop::StartResult()> start;
        QByteArray recorded;
    } cases[] = {
        {"a program", [] { return ProgramStarter().startProgram("tools/run me.sh", {"a b"}, QString()); },
         "a b\n"},
        {"a program working elsewhere",
         [&] { return ProgramStarter().startProgram("tools/run me.sh", {"a b"}, path("sub")); }, "a b\n"},
        {"a document working elsewhere",
         [&] { return ProgramStarter(path("record.sh")).open("tools/note.txt", path("sub")); },
         here.path("tools/note.txt").toUtf8() + '\n'},
        {"a bare document working elsewhere",
         [&] { return ProgramStarter(path("record.sh")).open("plain.txt", path("sub")); },
         here.path("plain.txt").toUtf8() + '\n'},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path("out.txt"));
        const auto result = c.start();
        ASSERT_TRUE(result.ok()) << result.description.toStdString();
        EXPECT_EQ(awaitFile(path("out.txt")), c.recorded);
    }
    writeFile(here.path("tools/data.txt"), "x");
    EXPECT_EQ(ProgramStarter().startProgram("tools/data.txt", {}, path("sub")).value, kAccessDenied);
    EXPECT_EQ(ProgramStarter().startProgram("tools/missing.sh", {}, path("sub")).value, kFileNotFound);
}

TEST_F(ProgramStarts, OpenerReceivesTheResolvedTarget)
{
    using O = std::tuple<QString, QString, QString>; // target, working directory, what the opener gets
    const O cases[] = {O{path("my file [1].txt"), QString(), path("my file [1].txt")},
                       // Web and mail addresses go as they are; "www." gets its scheme.
                       O{"https://example.org/a?b=c", QString(), "https://example.org/a?b=c"},
                       O{"www.example.org", QString(), "http://www.example.org"},
                       O{"mailto:someone@example.org", QString(), "mailto:someone@example.org"}};
    for (const auto &[target, workingDirectory, expected] : cases) {
        QFile::remove(path("out.txt"));
        const auto result = ProgramStarter(path("record.sh")).open(target, workingDirectory);
        ASSERT_TRUE(result.ok()) << target.toStdString() << ": " << result.description.toStdString();
        EXPECT_EQ(awaitFile(path("out.txt")), expected.toUtf8() + '\n') << target.toStdString();
    }
}

// xdg-open ends with a failure when it finds no program for the document, and
// a program may end with one before it shows a window (a browser wrapper that
// finds no browser, a crash): the launch must learn of it rather than wait for
// a window that cannot come, and then take the window in front for its own.
TEST_F(ProgramStarts, AStartThatEndsInFailureIsReportedAsFailed)
{
    writeFile(path("no-program.sh"), "#!/bin/sh\nexit 4\n", true);
    writeFile(path("opens.sh"), "#!/bin/sh\nexit 0\n", true);
    writeFile(path("waits.sh"), "#!/bin/sh\nexec sleep 30 >/dev/null 2>&1\n", true);
    writeFile(path("crashes.sh"), "#!/bin/sh\nkill -SEGV $$\n", true);
    const struct
    {
        const char *script;
        bool asOpener;
        bool fails;
    } cases[] = {
        {"no-program.sh", true, true}, {"opens.sh", true, false},     {"waits.sh", true, false},
        {"no-program.sh", false, true}, {"opens.sh", false, false},   {"waits.sh", false, false},
        {"crashes.sh", false, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.script) + (c.asOpener ? " as opener" : " as program"));
        ProgramStarter starter(path(c.script));
        const auto result = c.asOpener ? starter.open(path("doc.txt"), QString())
                                       : starter.startProgram(path(c.script), {}, QString());
        ASSERT_TRUE(result.ok()) << result.description.toStdString();
        ASSERT_GT(result.processId, 0);
        const bool failed = QTest::qWaitFor([&] { return starter.endedInFailure(result.processId); }, 1500);
        EXPECT_EQ(failed, c.fails);
        EXPECT_FALSE(starter.endedInFailure(result.processId + 1)) << "only the start it made";
    }
}

// Whatever KESTREL starts lives on when KESTREL ends, also when it was started
// from a terminal that is then closed (the hang-up goes to the terminal's whole
// session): a document being edited must not go down with it.
TEST_F(ProgramStarts, StartedProgramsAndOpenersHaveASessionOfTheirOwn)
{
    writeFile(path("session.sh"), "#!/bin/sh\nset -- $(cat /proc/$$/stat)\necho $6 > \"$OUT\"\n", true);
    const QByteArray ours = QByteArray::number(qint64(::getsid(0)));
    const std::pair<const char *, std::function<Desktop::StartResult()>> starts[] = {
        {"program", [&] { return ProgramStarter().startProgram(path("session.sh"), {}, QString()); }},
        {"opener", [&] { return ProgramStarter(path("session.sh")).open(path("doc.txt"), QString()); }},
    };
    for (const auto &[name, start] : starts) {
        SCOPED_TRACE(name);
        QFile::remove(path("out.txt"));
        ASSERT_TRUE(start().ok());
        const QByteArray session = awaitFile(path("out.txt")).trimmed();
        ASSERT_FALSE(session.isEmpty());
        EXPECT_NE(session, ours);
    }
}

// Only the start of the launch that is waiting can have failed: an earlier
// one's failure (or its pid, used again by a later program) must not end it.
TEST_F(ProgramStarts, OnlyTheLatestStartCanHaveFailed)
{
    writeFile(path("no-program.sh"), "#!/bin/sh\nexit 4\n", true);
    writeFile(path("waits.sh"), "#!/bin/sh\nexec sleep 30 >/dev/null 2>&1\n", true);
    ProgramStarter failing(path("no-program.sh"));
    const qint64 first = failing.open(path("doc.txt"), QString()).processId;
    ASSERT_TRUE(QTest::qWaitFor([&] { return failing.endedInFailure(first); }, 3000));
    const qint64 second = failing.open(path("doc.txt"), QString()).processId;
    EXPECT_FALSE(failing.endedInFailure(first)) << "not the opener of the latest launch";
    EXPECT_TRUE(QTest::qWaitFor([&] { return failing.endedInFailure(second); }, 3000));
    ASSERT_TRUE(failing.startProgram(path("waits.sh"), {}, QString()).ok());
    EXPECT_FALSE(failing.endedInFailure(second)) << "a program started directly since";
}

QString uniqueName(const char *suffix)
{
    return "kestrel-test-" + QString::number(QCoreApplication::applicationPid()) + '-' + suffix;
}

TEST(SingleInstance, SecondGuardOnTheSameNameIsRefusedUntilTheFirstEnds)
{
    EXPECT_EQ(SingleInstance::defaultName(), QStringLiteral("kestrel-%1").arg(getuid())) << "one per user";
    const QString name = uniqueName("guard");
    std::optional<SingleInstance> first(name);
    ASSERT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire()) << "taking a held guard again is harmless";
    // No file is left that another listener could take over.
    EXPECT_FALSE(QFile::exists(QDir::temp().filePath(name)));
    EXPECT_FALSE(QFile::exists(name));

    SingleInstance second(name);
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isHeld());

    SingleInstance other(uniqueName("other"));
    EXPECT_TRUE(other.acquire()) << "another name is another guard";

    first.reset();
    SingleInstance third(name);
    EXPECT_TRUE(third.acquire()) << "the name is free again once its holder is gone";
}

TEST(BringExistingInstanceForward, ActivatesOnlyTheWindowTitledExactlyKestrel)
{
    test::RecordingDesktop desktop;
    for (WindowId window : {7, 42, 43})
        desktop.addWindow(window);
    desktop.setWindowTitle(7, "KESTREL - other");
    desktop.setWindowTitle(43, "kestrel");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
    EXPECT_TRUE(desktop.actions().isEmpty());

    desktop.setWindowTitle(42, "KESTREL");
    EXPECT_TRUE(bringExistingInstanceForward(desktop));
    EXPECT_EQ(desktop.actions(), QStringList{"activate 0x2a"});

    // A window that goes while it is brought forward is no instance to defer to.
    desktop.failOn("activate", "gone");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
}

TEST(ClaimStart, TheGuardDecidesAndOnlyASecondInstanceBringsTheWindowForward)
{
    const struct
    {
        const char *name;
        bool guardHeldElsewhere;
        const char *windowTitle; ///< of a window already on the desktop; empty: none
        StartClaim claim;
        QStringList actions;
    } cases[] = {
        {"first, nothing else open", false, "", StartClaim::First, {}},
        // A file manager showing a folder named KESTREL is no instance.
        {"first, a foreign window titled KESTREL", false, "KESTREL", StartClaim::First, {}},
        {"second, first's window shown", true, "KESTREL", StartClaim::OtherBroughtForward, {"activate 0x2a"}},
        {"second, first's window not found", true, "", StartClaim::OtherRunning, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = uniqueName("claim");
        SingleInstance elsewhere(name);
        if (c.guardHeldElsewhere) {
            ASSERT_TRUE(elsewhere.acquire());
        }
        test::RecordingDesktop desktop;
        if (*c.windowTitle) {
            desktop.addWindow(42);
            desktop.setWindowTitle(42, c.windowTitle);
        }
        SingleInstance guard(name);
        EXPECT_EQ(claimStart(guard, desktop), c.claim);
        EXPECT_EQ(guard.isHeld(), c.claim == StartClaim::First);
        EXPECT_EQ(desktop.actions(), c.actions);
    }
}

} // namespace
} // namespace kestrel::x11
