#include "X11Fixture.h"

#include "common/Failure.h"
#include "desktop/x11/KeyPlan.h"
#include "desktop/x11/X11Connection.h"
#include "desktop/x11/X11Keyboard.h"

#include <QCoreApplication>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace kestrel::test {
namespace {

/// One shared target for the key checks: starting a Qt window per case would make
/// the suite slow without testing anything more.
class X11Keys : public X11Fixture
{
protected:
    static void SetUpTestSuite()
    {
        if (!qEnvironmentVariableIsEmpty("DISPLAY"))
            s_target = std::make_unique<TargetProcess>(QStringLiteral("kestrel keys target"));
    }
    static void TearDownTestSuite()
    {
        s_target.reset();
        s_warmedUp = false;
    }

    void SetUp() override
    {
        X11Fixture::SetUp();
        if (IsSkipped())
            return;
        ASSERT_TRUE(s_target && bringUp(*s_target)) << "the key-log target did not come up";
        if (!s_warmedUp) {
            // A fresh Qt window sets up its input handling on its first key and may
            // answer pings before that key reaches the text box; the checks here are
            // about the steady state, so the first key is typed and awaited once.
            m_desktop->typeText(QStringLiteral("w"));
            ASSERT_TRUE(
                s_target->waitForLine([](const QString &line) { return line == QLatin1String("LEN 1"); }));
            s_warmedUp = true;
        }
        s_target->clearText();
    }

    /// The non-modifier keys the target saw, as "name modifiers".
    static QStringList keysSeen()
    {
        static const QStringList modifierKeys{QStringLiteral("Shift"), QStringLiteral("Control"),
                                              QStringLiteral("Ctrl"),  QStringLiteral("Alt"),
                                              QStringLiteral("Meta"),  QStringLiteral("AltGr")};
        QStringList keys;
        for (const QString &line : s_target->linesStartingWith(QStringLiteral("KEY "))) {
            const QStringList fields = line.split(QLatin1Char(' '));
            if (fields.size() < 5 || modifierKeys.contains(fields[1]))
                continue;
            // Keys Qt has no name for are shown by their X keysym.
            const QString name =
                fields[1] == QLatin1String("0x0") ? QLatin1String("sym:") + fields[4] : fields[1];
            keys << name + QLatin1Char(' ') + fields[2];
        }
        return keys;
    }

    static inline std::unique_ptr<TargetProcess> s_target;
    static inline bool s_warmedUp = false;
};

struct NamedKeyCase
{
    const char *notation;
    const char *expected; ///< keys the target sees, comma separated
};

class X11NamedKeys : public X11Keys, public ::testing::WithParamInterface<NamedKeyCase>
{
};

TEST_P(X11NamedKeys, ArriveWithTheirModifiers)
{
    const NamedKeyCase &c = GetParam();
    m_desktop->sendKeys(QString::fromUtf8(c.notation), true);
    const QStringList expected = QString::fromUtf8(c.expected).split(QStringLiteral(", "));
    s_target->waitForCount(QStringLiteral("KEY "), static_cast<int>(expected.size()));
    EXPECT_EQ(keysSeen(), expected) << c.notation << "\n"
                                    << s_target->lines().join(QLatin1Char('\n')).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Keys, X11NamedKeys,
    ::testing::Values(
        NamedKeyCase{"{ENTER}~", "Return -, Return -"}, NamedKeyCase{"{TAB}", "Tab -"},
        NamedKeyCase{"{ESC}{ESCAPE}", "Esc -, Esc -"},
        NamedKeyCase{"{BACKSPACE}{BS}{BKSP}", "Backspace -, Backspace -, Backspace -"},
        NamedKeyCase{"{DELETE}{DEL}", "Del -, Del -"}, NamedKeyCase{"{INSERT}{INS}", "Ins -, Ins -"},
        NamedKeyCase{"{HOME}{END}{PGUP}{PGDN}", "Home -, End -, PgUp -, PgDown -"},
        NamedKeyCase{"{UP}{DOWN}{LEFT}{RIGHT}", "Up -, Down -, Left -, Right -"},
        NamedKeyCase{"{F1}{F2}{F3}{F4}{F5}{F6}{F7}{F8}", "F1 -, F2 -, F3 -, F4 -, F5 -, F6 -, F7 -, F8 -"},
        NamedKeyCase{"{F9}{F10}{F11}{F12}", "F9 -, F10 -, F11 -, F12 -"},
        NamedKeyCase{"{F13}{F14}{F15}{F16}", "F13 -, F14 -, F15 -, F16 -"},
        // Lock keys go twice, so the lock ends as it was.
        NamedKeyCase{"{CAPSLOCK}{CAPSLOCK}", "CapsLock -, CapsLock -"},
        NamedKeyCase{"{NUMLOCK}{NUMLOCK}", "NumLock -, NumLock -"},
        NamedKeyCase{"{SCROLLLOCK}{SCROLLLOCK}", "ScrollLock -, ScrollLock -"},
        // No {PRTSC} here: openbox grabs Print for its screenshot binding.
        NamedKeyCase{"{HELP}", "Help -"}, NamedKeyCase{"{BREAK}", "sym:ff6b -"},
        NamedKeyCase{"{ADD}{SUBTRACT}{MULTIPLY}{DIVIDE}", "+ M, - M, * M, / M"},
        NamedKeyCase{"{RIGHT 3}", "Right -, Right -, Right -"}, NamedKeyCase{"+{LEFT 2}", "Left S, Left S"},
        NamedKeyCase{"^+{END}", "End CS"}, NamedKeyCase{"^{HOME}", "Home C"}, NamedKeyCase{"%x", "X A"},
        NamedKeyCase{"+%^{F5}", "F5 CAS"}, NamedKeyCase{"+(ab)c", "A S, B S, C -"},
        NamedKeyCase{"^(a%(b))", "A C, B CA"}, NamedKeyCase{"+{F13}", "F13 S"}));

struct TextCase
{
    const char *text;
    bool notation; ///< sent with sendKeys instead of typeText
    const char *expected;
};

class X11Text : public X11Keys, public ::testing::WithParamInterface<TextCase>
{
};

TEST_P(X11Text, ArrivesWhole)
{
    const TextCase &c = GetParam();
    const QString text = QString::fromUtf8(c.text);
    if (c.notation)
        m_desktop->sendKeys(text, true);
    else
        m_desktop->typeText(text);
    EXPECT_EQ(s_target->text(), QString::fromUtf8(c.expected ? c.expected : c.text));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, X11Text,
    ::testing::Values(TextCase{"Hello, World!", false, nullptr},
                      TextCase{"`~!@#$%^&*()_+-=[]{}\\|;:'\",.<>/? 0123456789", false, nullptr},
                      TextCase{"café Ünïcödé ß €", false, nullptr},
                      TextCase{"Ελληνικά кириллица 中文 😀 ½", false, nullptr},
                      TextCase{"line one\nline\ttwo\r\nthree", false, "line one\nline\ttwo\nthree"},
                      TextCase{"+(abc)d{a 3}{+}{%}{^}{~}{(}{)}{{}{}}{[}{]}~x", true, "ABCdaaa+%^~(){}[]\nx"},
                      TextCase{"{é 2}{€}ñ+(ä)", true, "éé€ñÄ"},
                      TextCase{"ab{BACKSPACE}c{LEFT}X", true, "aXc"}));

TEST_F(X11Keys, ManyCharactersMissingFromTheMapNeedSeveralBatches)
{
    const std::size_t spares = m_desktop->spareKeycodes().size();
    ASSERT_GT(spares, 0u);
    // A few more distinct characters than spare keycodes, each typed twice, so
    // that the second batch reuses nothing the first one left behind.
    QString text;
    for (char32_t c = 0x4e00; c < 0x4e00 + spares + 4; ++c)
        text += QString::fromUcs4(&c, 1);
    text += text;
    m_desktop->typeText(text);
    EXPECT_EQ(s_target->text(), text);
}

TEST_F(X11Keys, LongTextLosesNothing)
{
    QString text;
    for (int i = 0; text.size() < 3000; ++i)
        text += QStringLiteral("The quick brown fox %1 jumps; ").arg(i);
    m_desktop->typeText(text);
    EXPECT_EQ(s_target->text(), text);
}

TEST_F(X11Keys, SendKeysWaitsForAnApplicationThatIsBusy)
{
    ASSERT_TRUE(m_desktop->answersPing(s_target->window())) << "Qt windows answer _NET_WM_PING";
    // While the target sleeps, the keys sit in its queue; returning before it woke
    // and handled them would leave the report below empty.
    ASSERT_TRUE(s_target->makeBusy(400));
    m_desktop->sendKeys(QStringLiteral("abcé{F13}"), true);
    s_target->readAvailable(); // no waiting: the lines must already be there
    EXPECT_EQ(keysSeen(), (QStringList{QStringLiteral("A -"), QStringLiteral("B -"), QStringLiteral("C -"),
                                       QStringLiteral("É -"), QStringLiteral("F13 -")}));
}

TEST_F(X11Keys, TypesIntoAWindowOfThisVeryProcess)
{
    // Our own window answers pings only from our own event loop, so the backend
    // must let it run while it waits; a blocking wait would time out and restore
    // the spare keys before the text box read them.
    QLineEdit edit;
    const QString title = QStringLiteral("kestrel own window %1").arg(QCoreApplication::applicationPid());
    edit.setWindowTitle(title);
    edit.show();
    const WindowId window = edit.winId();
    ASSERT_TRUE(waitUntil([&] {
        QCoreApplication::processEvents();
        return m_desktop->findTopLevelWindow(title) == window && isShown(window);
    }));
    m_desktop->activateWindow(window);
    m_desktop->typeText(QStringLiteral("own €ŵ"));
    EXPECT_EQ(edit.text(), QStringLiteral("own €ŵ"));
}

TEST_F(X11Keys, MalformedNotationSendsNothing)
{
    EXPECT_THROW(m_desktop->sendKeys(QStringLiteral("abc{NOSUCHKEY}"), true), Failure);
    EXPECT_THROW(m_desktop->sendKeys(QStringLiteral("abc+"), true), Failure);
    m_desktop->sendKeys(QStringLiteral("z"), true);
    EXPECT_EQ(s_target->text(), QStringLiteral("z"));
}

TEST_F(X11Keys, SpareKeycodesAreEmptyAgainAfterTyping)
{
    m_desktop->typeText(QStringLiteral("ŵŷ€Ж"));
    ASSERT_EQ(s_target->text(), QStringLiteral("ŵŷ€Ж"));
    x11::X11Connection connection;
    x11::X11Keyboard keyboard(connection);
    const x11::KeyboardMap map = keyboard.currentMap();
    ASSERT_FALSE(m_desktop->spareKeycodes().empty());
    for (int keycode : m_desktop->spareKeycodes())
        EXPECT_TRUE(map.isEmpty(keycode)) << keycode;
    EXPECT_TRUE(connection.property32(connection.root(), "_KESTREL_REMAPPED_KEYS").empty());
}

TEST_F(X11Keys, KeysLeftRemappedByACrashAreRestoredAtStart)
{
    const std::vector<int> spares = m_desktop->spareKeycodes();
    ASSERT_GE(spares.size(), 2u);
    const int ours = spares.back();
    const int changedSince = spares.front();
    x11::X11Connection connection;
    Display *display = connection.display();
    // What a crash mid-typing leaves: a remapped key and its record; plus a listed
    // key that someone has since given another keysym, which must be left alone.
    KeySym euro[2] = {0x10020ac, 0x10020ac};
    KeySym other[2] = {0x1000417, 0x1000417};
    XChangeKeyboardMapping(display, ours, 2, euro, 1);
    XChangeKeyboardMapping(display, changedSince, 2, other, 1);
    long record[4] = {ours, 0x10020ac, changedSince, 0x1000416};
    XChangeProperty(display, connection.root(), connection.atom("_KESTREL_REMAPPED_KEYS"), XA_INTEGER, 32,
                    PropModeReplace, reinterpret_cast<unsigned char *>(record), 4);
    connection.sync();

    X11Desktop restarted(m_wait);
    x11::X11Keyboard reader(connection);
    const x11::KeyboardMap map = reader.currentMap();
    EXPECT_TRUE(map.isEmpty(ours));
    EXPECT_EQ(map.row(changedSince).at(0), 0x1000417u);
    EXPECT_TRUE(connection.property32(connection.root(), "_KESTREL_REMAPPED_KEYS").empty());

    KeySym none[2] = {NoSymbol, NoSymbol};
    XChangeKeyboardMapping(display, changedSince, 2, none, 1);
    connection.sync();
}

TEST_F(X11Keys, TerminalWithoutPingGetsTheTextAfterASettleDelay)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath(QStringLiteral("line.txt"));
    const QString title = QStringLiteral("kestrel xterm %1").arg(QCoreApplication::applicationPid());
    QProcess xterm;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    xterm.setProcessEnvironment(environment);
    xterm.start(QStringLiteral("xterm"),
                {QStringLiteral("-T"), title, QStringLiteral("-e"), QStringLiteral("/bin/sh"),
                 QStringLiteral("-c"), QStringLiteral("IFS= read -r line; printf '%s' \"$line\" > \"$0\""),
                 out});
    ASSERT_TRUE(xterm.waitForStarted()) << "xterm is not installed";
    WindowId window = 0;
    ASSERT_TRUE(waitUntil([&] { return (window = m_desktop->findTopLevelWindow(title)) != 0; }));
    ASSERT_TRUE(showAndActivate(window));
    EXPECT_FALSE(m_desktop->answersPing(window));

    m_desktop->typeText(QStringLiteral("héllo wörld € ~{x}+\n"));
    EXPECT_TRUE(xterm.waitForFinished(10000));
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QStringLiteral("héllo wörld € ~{x}+"));
}

} // namespace
} // namespace kestrel::test
