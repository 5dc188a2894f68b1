#include "CommandTableTestSupport.h"

#include "command_table/StarterTable.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

CommandRow findRow(const QList<CommandRow> &rows, const char *phrase)
{
    for (const CommandRow &r : rows) {
        if (r.WordPhrase == QLatin1String(phrase))
            return r;
    }
    return {};
}

TEST(StarterTable, OpenRowsNameAProgramThatIsInstalled)
{
    // What is installed; the terminal, editor and browser chosen.
    const std::pair<QStringList, QStringList> cases[] = {
        {{"x-terminal-emulator", "xterm", "mousepad", "x-www-browser"},
         {"x-terminal-emulator", "mousepad", "x-www-browser"}},
        {{"xterm", "kate", "gedit", "firefox-esr"}, {"xterm", "gedit", "firefox-esr"}},
        // Nothing installed: the usual names, so a launch says what is missing.
        {{}, {"x-terminal-emulator", "mousepad", "x-www-browser"}},
    };
    for (const auto &[installed, expected] : cases) {
        const QList<CommandRow> rows = starterRows(finderFor(installed));
        QStringList actions;
        for (const char *phrase : {StarterTerminalPhrase, StarterEditorPhrase, StarterBrowserPhrase}) {
            EXPECT_EQ(findRow(rows, phrase).Type, QStringLiteral("OPEN"));
            actions << findRow(rows, phrase).Action;
        }
        EXPECT_EQ(actions, expected);
    }
}

TEST(StarterTable, RowsReachEveryBuiltInPhraseAndFollowTheLookupsRules)
{
    const QList<CommandRow> rows = starterRows(finderFor({}));
    // Built-in rows, all of type FUNCTION; the pointer rows are only reached with a
    // non-empty action ("*"), the others need none ("") or exactly their own.
    const std::pair<const char *, const char *> builtIns[] = {
        {"LEFT CLICK", "*"},
        {"RIGHT CLICK", "*"},
        {"CURSOR", "*"},
        {"SELECT", ""},
        {"CONFIRMATION", ""},
        {"QUIT", "{QUIT}"},
        {"STOP RECOGNITION", "{STOP RECOGNITION}"},
    };
    for (const auto &[phrase, action] : builtIns) {
        const CommandRow r = findRow(rows, phrase);
        EXPECT_EQ(r.Type, QStringLiteral("FUNCTION")) << phrase;
        if (QLatin1String(action) == QLatin1String("*")) {
            EXPECT_FALSE(r.Action.isEmpty()) << phrase;
        } else if (*action) {
            EXPECT_EQ(r.Action, QLatin1String(action)) << phrase;
        }
    }

    QSet<QString> phrases, opened, types;
    for (const CommandRow &r : rows) {
        // The lookup stops at an empty phrase, lets the first of two equal ones
        // win, and cuts a phrase holding SELECT or CURSOR down to that word.
        EXPECT_FALSE(r.WordPhrase.isEmpty());
        EXPECT_FALSE(phrases.contains(r.WordPhrase)) << r.WordPhrase.toStdString();
        phrases.insert(r.WordPhrase);
        for (const char *word : {"SELECT", "CURSOR", "QUIT", "STOP RECOGNITION", "."}) {
            if (r.WordPhrase.contains(QLatin1String(word))) {
                EXPECT_EQ(r.WordPhrase, QLatin1String(word));
            }
        }
        if (r.Type == QLatin1String("OPEN"))
            opened.insert(r.WordPhrase);
        types.insert(r.Type + (r.Parent.isEmpty() ? QString() : QStringLiteral(" with parent")));
    }
    for (const CommandRow &r : rows) {
        if (!r.Parent.isEmpty()) {
            EXPECT_TRUE(opened.contains(r.Parent)) << r.Parent.toStdString();
        }
    }
    EXPECT_EQ(types,
              QSet<QString>({"OPEN", "CLOSE with parent", "FUNCTION", "FUNCTION with parent", "TEXT"}));
}

} // namespace
