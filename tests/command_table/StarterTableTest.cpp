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
    const struct
    {
        QStringList installed;
        QStringList expected; ///< terminal, editor, browser
    } cases[] = {
        {{"x-terminal-emulator", "xterm", "mousepad", "x-www-browser"},
         {"x-terminal-emulator", "mousepad", "x-www-browser"}},
        {{"xterm", "kate", "gedit", "firefox-esr"}, {"xterm", "gedit", "firefox-esr"}},
        // Nothing installed: the usual names, so a launch says what is missing.
        {{}, {"x-terminal-emulator", "mousepad", "x-www-browser"}},
    };
    for (const auto &c : cases) {
        const QList<CommandRow> rows = starterRows(finderFor(c.installed));
        QStringList actions;
        for (const char *phrase : {StarterTerminalPhrase, StarterEditorPhrase, StarterBrowserPhrase}) {
            EXPECT_EQ(findRow(rows, phrase).Type, QStringLiteral("OPEN"));
            actions << findRow(rows, phrase).Action;
        }
        EXPECT_EQ(actions, c.expected);
    }
}

TEST(StarterTable, RowsReachEveryBuiltInPhraseAndFollowTheLookupsRules)
{
    const QList<CommandRow> rows = starterRows(finderFor({}));
    // Built-in rows; the pointer rows are only reached with a non-empty action.
    const struct
    {
        const char *phrase;
        const char *type;
        const char *action; ///< "*": any non-empty text
    } builtIns[] = {
        {"LEFT CLICK", "FUNCTION", "*"},
        {"RIGHT CLICK", "FUNCTION", "*"},
        {"CURSOR", "FUNCTION", "*"},
        {"SELECT", "FUNCTION", ""},
        {"CONFIRMATION", "FUNCTION", ""},
        {"QUIT", "FUNCTION", "{QUIT}"},
        {"STOP RECOGNITION", "FUNCTION", "{STOP RECOGNITION}"},
        {"BROWSER", "OPEN", "*"},
    };
    for (const auto &b : builtIns) {
        const CommandRow r = findRow(rows, b.phrase);
        EXPECT_EQ(r.Type, QLatin1String(b.type)) << b.phrase;
        if (QLatin1String(b.action) == QLatin1String("*")) {
            EXPECT_FALSE(r.Action.isEmpty()) << b.phrase;
        } else if (*b.action) {
            EXPECT_EQ(r.Action, QLatin1String(b.action)) << b.phrase;
        }
    }

    QSet<QString> phrases;
    QSet<QString> opened;
    QSet<QString> types;
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
