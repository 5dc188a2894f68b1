#include "speech_platform/sphinx/CommandGrammar.h"

#include "common/PhraseWords.h"
#include "speech_platform/SpokenNumbers.h"
#include "speech_platform/sphinx/CommandLanguageModel.h"

#include <QRegularExpression>
#include <QSet>

namespace kestrel {
namespace {

const char *const kNumberRules = R"(<digit> = one | two | three | four | five | six | seven | eight | nine;
<teen> = ten | eleven | twelve | thirteen | fourteen | fifteen | sixteen | seventeen | eighteen | nineteen;
<tens> = twenty | thirty | forty | fifty | sixty | seventy | eighty | ninety;
<under100> = <digit> | <teen> | <tens> [<digit>];
<under1000> = <digit> hundred [<under100>] | <under100>;
<number> = zero | <digit> thousand [<under1000>] | <under1000>;
<select> = select <number>;
)";

// The yes- and no-words include what the recogniser often hears for them.
const char *const kYesWords[] = {"yes", "us", "this"};
const char *const kNoWords[] = {"no", "now", "know"};
const char *const kDirections[] = {"up", "down", "left", "right"};

// The number rules spell each number one way only, the way numberWords does:
// "ten hundred" has a value, but no rule says it, so the command model hearing
// it has not heard a command.
bool isNumber(const QStringList &words)
{
    const qint64 value = spokenNumberValue(words);
    return value >= 0 && value <= 9999 && words == CommandLanguageModel::numberWords(int(value));
}

QStringList wordsOfRules(const QString &rules)
{
    // Never destroyed: when exit() ends the program, worker threads still read it.
    static const auto &word = *new const QRegularExpression(QStringLiteral("(?<![<\\w])([a-z]+)(?![>\\w])"));
    QStringList words;
    auto it = word.globalMatch(rules);
    while (it.hasNext())
        words << it.next().captured(1);
    return words;
}

} // namespace

// The words of a yes- or no-rule. A search cannot tell apart two words
// pronounced alike, so which of them it returns is a coin toss; and a
// sound-alike is never taken as a command, so "no" said clearly was refused
// whenever the toss fell on "know". Only the word itself is kept then.
static QString answerRule(const QStringList &answerWords, const CommandGrammar::Pronunciation &pronunciation)
{
    QStringList said{answerWords.first()};
    const QString own = pronunciation ? pronunciation(answerWords.first()) : QString();
    for (const QString &w : answerWords.mid(1)) {
        if (own.isEmpty() || pronunciation(w) != own)
            said << w;
    }
    return said.join(QStringLiteral(" | "));
}

CommandGrammar CommandGrammar::build(const QStringList &commandPhrases, const Pronunciation &pronunciation)
{
    CommandGrammar grammar;
    QSet<QString> words;
    for (const QString &phrase : commandPhrases) {
        // Cleaned as the command lookup cleans stored phrases, so a phrase heard
        // is a phrase found.
        const QStringList said = phraseWords(phrase);
        if (said.isEmpty())
            continue;
        const QString joined = said.join(QLatin1Char(' '));
        if (grammar.phraseSet.contains(joined))
            continue;
        grammar.phrases << joined;
        grammar.phraseSet.insert(joined);
        for (const QString &w : said)
            words.insert(w);
    }
    for (const char *w : kYesWords)
        grammar.yesWords << QString::fromLatin1(w);
    for (const char *w : kNoWords)
        grammar.noWords << QString::fromLatin1(w);
    for (const char *w : kDirections)
        grammar.directions << QString::fromLatin1(w);
    QString rules = QString::fromLatin1(kNumberRules);
    rules += QStringLiteral("<cursor> = cursor (") + grammar.directions.join(QStringLiteral(" | ")) +
             QStringLiteral(" | <number> comma <number>);\n");
    rules += QStringLiteral("<yes> = ") + answerRule(grammar.yesWords, pronunciation) + QStringLiteral(";\n");
    rules += QStringLiteral("<no> = ") + answerRule(grammar.noWords, pronunciation) + QStringLiteral(";\n");
    // Every yes- and no-word, in a rule or not, is a word the command model can say.
    for (const QString &w : wordsOfRules(rules) + grammar.yesWords + grammar.noWords)
        words.insert(w);

    QString jsgf = QStringLiteral("#JSGF V1.0;\ngrammar kestrel;\n");
    // "spell it" with a run of letters stays out of the command rule: a letter
    // loop can be bent to fit almost any audio ("select five" came out as "spell
    // it f i u m", whatever its weight), so spelling reaches the interpreter
    // through the dictation result instead.
    QStringList alternatives{QStringLiteral("<cursor>"), QStringLiteral("<select>"), QStringLiteral("<yes>"),
                             QStringLiteral("<no>")};
    if (!grammar.phrases.isEmpty()) {
        alternatives.prepend(QStringLiteral("<phrase>"));
        jsgf += QStringLiteral("<phrase> = ") + grammar.phrases.join(QStringLiteral(" | ")) +
                QStringLiteral(";\n");
    }
    jsgf += rules;
    jsgf += QStringLiteral("public <command> = ") + alternatives.join(QStringLiteral(" | ")) +
            QStringLiteral(";\n");
    grammar.jsgf = jsgf;
    grammar.words = QStringList(words.begin(), words.end());
    grammar.words.sort();
    return grammar;
}

bool CommandGrammar::accepts(const QStringList &said, SoundAlikes soundAlikes) const
{
    if (said.isEmpty())
        return false;
    if (said.size() == 1 && (yesWords.contains(said.first()) || noWords.contains(said.first()))) {
        return soundAlikes == SoundAlikes::Count || said.first() == yesWords.first() ||
               said.first() == noWords.first();
    }
    const QString &first = said.first();
    if (first == QLatin1String("cursor")) {
        if (said.size() == 2 && directions.contains(said[1]))
            return true;
        const qsizetype comma = said.indexOf(QLatin1String("comma"));
        if (comma > 1 && isNumber(said.mid(1, comma - 1)) && isNumber(said.mid(comma + 1)))
            return true;
    }
    if (first == QLatin1String("select") && isNumber(said.mid(1)))
        return true;
    return phraseSet.contains(said.join(QLatin1Char(' ')));
}

bool CommandGrammar::isNumberForm(const QStringList &said) const
{
    if (said.size() < 2 || phraseSet.contains(said.join(QLatin1Char(' '))))
        return false;
    return said[0] == QLatin1String("select") ||
           (said[0] == QLatin1String("cursor") && !directions.contains(said[1]));
}

} // namespace kestrel
