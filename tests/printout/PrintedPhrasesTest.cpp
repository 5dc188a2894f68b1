#include "main_window/printout/PrintedPhrases.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace kestrel::test {
namespace {

TEST(PrintedPhrases, FindsOnlyWholePhrasesWithTheirCase)
{
    struct Case
    {
        QStringList added;
        QString query;
        bool found;
    };
    const Case cases[] = {
        {{}, "OPEN", false},
        {{"OPEN"}, "OPEN", true},
        {{"OPEN"}, "open", false},
        {{"OPEN NOTEPAD"}, "OPEN", false},
        {{"OPEN NOTEPAD"}, "NOTEPAD", false},
        {{"OPEN", "NOTEPAD"}, "NOTEPAD", true},
        {{"OPEN"}, "OPEN ", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.query.toStdString() + " in " + c.added.join(',').toStdString());
        PrintedPhrases memory;
        for (const QString &phrase : c.added)
            memory.add(phrase);
        EXPECT_EQ(memory.contains(c.query), c.found);
    }
}

TEST(PrintedPhrases, KeepsTheLastCharactersOnceItGrowsTooLong)
{
    struct Case
    {
        int phrases;
        qsizetype size;
        bool firstKept;
    };
    // Each phrase adds 5 characters to the leading "|": 399 make 1996, 400 make
    // 2001, which is cut back to the last 1996 and loses "|P000".
    const Case cases[] = {{399, 1996, true}, {400, 1996, false}, {401, 1996, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.phrases);
        PrintedPhrases memory;
        for (int i = 0; i < c.phrases; ++i)
            memory.add(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')));
        EXPECT_EQ(memory.text().size(), c.size);
        EXPECT_EQ(memory.contains(QStringLiteral("P000")), c.firstKept);
        EXPECT_TRUE(
            memory.text().endsWith(QStringLiteral("|P%1|").arg(c.phrases - 1, 3, 10, QLatin1Char('0'))));
    }

    PrintedPhrases memory;
    memory.add(QStringLiteral("P399"));
    memory.clear();
    EXPECT_EQ(memory.text(), QStringLiteral("|"));
    EXPECT_FALSE(memory.contains(QStringLiteral("P399")));
}

} // namespace
} // namespace kestrel::test
