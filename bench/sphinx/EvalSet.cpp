#include "EvalSet.h"

namespace kestrel::bench {

QStringList evalCommandPhrases()
{
    return {
        QStringLiteral("OPEN NOTEPAD"),    QStringLiteral("CLOSE NOTEPAD"), QStringLiteral("OPEN FIREFOX"),
        QStringLiteral("OPEN CALCULATOR"), QStringLiteral("OPEN TERMINAL"), QStringLiteral("LEFT CLICK"),
        QStringLiteral("RIGHT CLICK"),     QStringLiteral("DOUBLE CLICK"),  QStringLiteral("SCROLL DOWN"),
        QStringLiteral("SCROLL UP"),       QStringLiteral("PAGE DOWN"),     QStringLiteral("NEW TAB"),
        QStringLiteral("CLOSE WINDOW"),    QStringLiteral("SAVE FILE"),     QStringLiteral("COPY THAT"),
        QStringLiteral("PASTE THAT"),      QStringLiteral("UNDO THAT"),     QStringLiteral("GO BACK"),
        QStringLiteral("STOP LISTENING"),  QStringLiteral("CONFIRMATION"),  QStringLiteral("TYPE MY ADDRESS"),
        QStringLiteral("CURSOR"),          QStringLiteral("SELECT"),        QStringLiteral("OPEN KESTREL"),
    };
}

QList<InTableCase> evalInTable()
{
    QList<InTableCase> cases;
    for (const QString &p : evalCommandPhrases()) {
        if (p != QLatin1String("CURSOR") && p != QLatin1String("SELECT"))
            cases << InTableCase{p.toLower(), p.toLower()};
    }
    cases << InTableCase{QStringLiteral("cursor down"), QStringLiteral("cursor down")}
          << InTableCase{QStringLiteral("cursor one hundred comma two hundred"),
                         QStringLiteral("cursor 100, 200")}
          << InTableCase{QStringLiteral("select five"), QStringLiteral("select 5")}
          << InTableCase{QStringLiteral("yes"), QStringLiteral("yes")}
          << InTableCase{QStringLiteral("no"), QStringLiteral("no")};
    return cases;
}

QStringList evalOutOfTable()
{
    return {
        QStringLiteral("what time is it"),
        QStringLiteral("the weather is nice today"),
        QStringLiteral("i would like a cup of coffee"),
        QStringLiteral("send an email to my brother"),
        QStringLiteral("turn off the lights in the kitchen"),
        QStringLiteral("how much does this cost"),
        QStringLiteral("my computer is very slow"),
        QStringLiteral("please call me back later"),
        QStringLiteral("the meeting starts at noon"),
        QStringLiteral("where did you put the keys"),
        QStringLiteral("good morning everybody"),
        QStringLiteral("let us go to the park"),
        QStringLiteral("remember to buy some milk"),
        QStringLiteral("this sentence is not a command"),
        QStringLiteral("hello"),
        QStringLiteral("thank you very much"),
    };
}

QStringList evalVoices()
{
    return {QStringLiteral("en-us"), QStringLiteral("en-us+f3"), QStringLiteral("en-gb-x-rp"),
            QStringLiteral("en-us+m5"), QStringLiteral("en-029")};
}

QList<int> evalSpeeds()
{
    return {140, 175, 210};
}

} // namespace kestrel::bench
