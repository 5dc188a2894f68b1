// Pure text of the recogniser: replacements, phone names, eSpeak phoneme
// conversion, the command grammar as text, sentences and language model, the
// rejection rule, and the SRGS grammar loader.

#include "common/Failure.h"
#include "common/PhraseWords.h"
#include "speech_platform/SpokenNumbers.h"
#include "speech_platform/SrgsGrammar.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/CommandLanguageModel.h"
#include "speech_platform/sphinx/CommandRejection.h"
#include "speech_platform/sphinx/EspeakPronouncer.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrel {
namespace {

QStringList words(const char *text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(Replacements, turnNumberWordsIntoDigits)
{
    const std::pair<const char *, const char *> cases[] = {
        {"cursor one hundred comma two hundred", "cursor 100, 200"},
        {"select five", "select 5"},
        {"open notepad", "open notepad"},
        {"", ""},
        {"twenty one", "21"},
        {"nine hundred ninety nine", "999"},
        {"one thousand two hundred eighty", "1280"},
        {"two thousand", "2000"},
        {"seven thousand nineteen", "7019"},
        {"one million two thousand", "1002000"},
        {"ten hundred", "1000"},
        // Two units in a row are two numbers, as a speaker listing digits means.
        {"one two three", "1 2 3"},
        {"twelve five", "12 5"},
        // A year is said in two halves; an hour and its minutes are not a year.
        {"twenty nineteen", "2019"},
        {"nineteen eighty four", "1984"},
        {"open office twenty nineteen", "open office 2019"},
        {"twenty twenty six", "2026"},
        {"twenty thirty", "2030"},
        {"twenty ten", "2010"},
        {"twelve fifteen", "12 15"},
        {"nineteen five", "19 5"},
        {"twenty five thirty", "25 30"},
        {"nineteen hundred", "1900"},
        {"twenty nineteen twenty", "20 19 20"},
        {"in nineteen eighty four we", "in 1984 we"},
        {"ten twenty thirty forty", "10 20 30 40"},
        {"thirteen fourteen fifteen sixteen", "13 14 15 16"},
        {"rows thirteen fourteen and fifteen", "rows 13 14 and 15"},
        {"sizes fifteen twenty twenty five", "sizes 15 20 25"},
        {"sizes fifteen twenty and twenty five", "sizes 15 20 and 25"},
        {"between nineteen eighty four and nineteen eighty five", "between 1984 and 1985"},
        {"nineteen ninety nine or two thousand", "1999 or 2000"},
        {"twenty nineteen or twenty twenty", "2019 or 2020"},
        {"nineteen eighty four or eighty five", "1984 or 85"},
        {"nineteen ninety nine thousand", "19 99000"},
        {"cursor twenty comma thirty", "cursor 20, 30"},
        // An ordinal ends the number it belongs to; alone it stays a word.
        {"the twenty first of june", "the 21st of june"},
        {"the twenty second of may", "the 22nd of may"},
        {"on the forty second floor", "on the 42nd floor"},
        {"a thirty second pause", "a 30 second pause"},
        {"twenty second", "20 second"},
        {"on june twenty second", "on june 22nd"},
        {"twenty first and twenty second", "21st and 22nd"},
        {"one hundred and first", "101st"},
        {"one hundred and fiftieth", "150th"},
        {"one hundred and second", "100 and second"},
        {"thirty third", "33rd"},
        {"one hundred first", "101st"},
        {"one hundred eleventh", "111th"},
        {"one hundredth", "100th"},
        {"two thousandth", "2000th"},
        {"the first time", "the first time"},
        {"five first", "5 first"},
        // "a hundred" is a number when more of it follows.
        {"a hundred and fifty dollars", "150 dollars"},
        {"a thousand five hundred", "1500"},
        {"A hundred twenty", "120"},
        {"a hundred dollars", "a hundred dollars"},
        {"a thousand times", "a thousand times"},
        {"a hundred and", "a hundred and"},
        {"select a hundred", "select 100"},
        {"cursor a hundred comma a hundred", "cursor 100, 100"},
        {"zero zero", "0 0"},
        {"hundred", "hundred"},
        {"thousand of them", "thousand of them"},
        {"one hundred hundred", "100 hundred"},
        {"two thousand three thousand", "2003 thousand"},
        {"Cursor One Hundred Comma Fifty", "Cursor 100, 50"},
        {"comma", ","},
        {"a comma b", "a, b"},
        {"someone won", "someone won"},
        // "and" joins a number only after hundred, thousand or million.
        {"one hundred and five", "105"},
        {"two thousand and six", "2006"},
        {"one hundred And twenty three", "123"},
        {"five and six", "5 and 6"},
        {"one hundred and", "100 and"},
        {"rock and roll", "rock and roll"},
        {"two hundred and one thousand", "201000"},
        {"one hundred and comma", "100 and,"},
        // "one" alone is mostly the pronoun; a number where a command takes one.
        {"no one knows", "no one knows"},
        {"One of them", "One of them"},
        {"this one", "this one"},
        {"one", "one"},
        {"select one", "select 1"},
        {"Select One", "Select 1"},
        {"cursor one comma one", "cursor 1, 1"},
        {"cursor one hundred comma one", "cursor 100, 1"},
        {"one comma", "1,"},
        {"one two", "1 2"},
        {"twenty one", "21"},
        {"one hundred", "100"},
        {"one thousand and one", "1001"},
        {"page one", "page one"},
        {"page two", "page 2"},
        {"spell it a one b", "spell it a 1 b"},
        {"spell it one", "spell it 1"},
        {"between one and two", "between 1 and 2"},
        {"one or two", "1 or 2"},
        {"two or one", "2 or 1"},
        {"one and only", "one and only"},
        {"one and a half", "one and a half"}};
    for (const auto &[spoken, expected] : cases)
        EXPECT_EQ(applyReplacements(words(spoken)), QString::fromLatin1(expected)) << spoken;

    const std::pair<const char *, int> values[] = {
        {"three hundred forty two", 342}, {"zero", 0}, {"two three", -1}, {"five apples", -1}, {"", -1}};
    for (const auto &[spoken, value] : values)
        EXPECT_EQ(spokenNumberValue(words(spoken)), value) << spoken;
}

// The words a stored phrase is listened for: what a user would say for it.
TEST(PhraseWords, AreTheWordsAUserSaysForAStoredPhrase)
{
    const std::pair<const char *, QStringList> cases[] = {
        {"OPEN EDITOR", {"open", "editor"}},
        {"SAVE-FILE", {"save", "file"}},
        {"  NEW   TAB ", {"new", "tab"}},
        {"What's up?", {"what's", "up"}},
        {"U.S. MAP", {"u.s", "map"}},
        {"DON\u2019T SAVE", {"don't", "save"}},
        {"IT\u2018S", {"it's"}},
        {"CAN\u02BCT", {"can't"}},
        {"\u2018QUOTED\u2019", {"quoted"}},
        {"R&D", {"r", "and", "d"}},
        {"SALT & PEPPER", {"salt", "and", "pepper"}},
        {"&", {"and"}},
        {"", {}},
        // Letters outside ASCII belong to their words, however they were typed.
        {"OPEN MY R\u00c9SUM\u00c9", {"open", "my", "r\u00e9sum\u00e9"}},
        {"Stra\u00dfe", {"stra\u00dfe"}},
        {"Zu\u0308rich", {"z\u00fcrich"}},
        // Signs that are said aloud become the words said.
        {"ZOOM 150%", {"zoom", "150", "percent"}},
        {"C++", {"c", "plus", "plus"}},
        {"ZOOM +", {"zoom", "plus"}},
        {"CTRL+C", {"ctrl", "c"}},
        {"ALT+F4", {"alt", "f4"}},
        {"\u0130STANBUL", {"i\u0307stanbul"}},
        {"\u0928\u092e\u0938\u094d\u0924\u0947 KESTREL", {"\u0928\u092e\u0938\u094d\u0924\u0947", "kestrel"}},
        {"MAIL@HOME", {"mail", "at", "home"}},
    };
    for (const auto &[phrase, expected] : cases)
        EXPECT_EQ(phraseWords(QString::fromUtf8(phrase)), expected) << phrase;
}

TEST(CmuPhones, idsAndNamesRoundTripAndEspeakMnemonicsBecomeThem)
{
    EXPECT_EQ(CmuPhones::all().size(), 39);
    for (const QString &phone : CmuPhones::all())
        EXPECT_EQ(CmuPhones::name(CmuPhones::id(phone)), phone);
    EXPECT_EQ(CmuPhones::name(1), QStringLiteral("SIL"));
    EXPECT_EQ(CmuPhones::id(QStringLiteral("aa1")), CmuPhones::id(QStringLiteral("AA")));
    EXPECT_EQ(CmuPhones::id(QStringLiteral("QQ")), 0);
    EXPECT_TRUE(CmuPhones::name(0).isEmpty());
    EXPECT_TRUE(CmuPhones::name(41).isEmpty());
    const QList<int> ids = CmuPhones::idsFromText(QStringLiteral("N OW T P AE D"));
    ASSERT_EQ(ids.size(), 6);
    EXPECT_EQ(CmuPhones::name(ids[1]), QStringLiteral("OW"));

    CmuPhoneConverter converter;
    EXPECT_EQ(converter.idToPhone(0x409, CmuPhones::id(QStringLiteral("ZH"))), QStringLiteral("ZH"));
    EXPECT_THROW(converter.idToPhone(0x407, 2), Failure);
    EXPECT_THROW(converter.idToPhone(0x409, 99), Failure);

    const std::pair<const char *, const char *> mnemonics[] = {{"n'oUtpad", "N OW T P AE D"},
                                                               {"k'Estr@L", "K EH S T R AH L"},
                                                               {"dZ'EdIt", "JH EH D IH T"},
                                                               {"f'aI@f0ks", "F AY ER F AA K S"},
                                                               {"T'INk", "TH IH NG K"},
                                                               {"f'o@", "F AO R"},
                                                               {"n'o@d", "N AO R D"},
                                                               {"tS'3:tS", "CH ER CH"},
                                                               {"", ""},
                                                               {"'',,_:", ""}};
    for (const auto &[espeak, cmu] : mnemonics)
        EXPECT_EQ(espeakToCmu(QString::fromLatin1(espeak)), QString::fromLatin1(cmu)) << espeak;
}

// Qt and Xlib end the program with exit() when the X server goes away, while
// the capture and grammar threads still run. exit() tears down every table built
// after the program's exit handler was registered before that handler runs: a
// thread still turning words into text must not read a freed table meanwhile.
// Reading freed memory is certain to fail only under AddressSanitizer
// (-DKESTREL_SANITIZE=ON); without it, the freed tables read wrong or crash.
bool textTablesStillRead()
{
    const CommandGrammar g = CommandGrammar::build({QStringLiteral("open notepad")});
    return applyReplacements(words("cursor one hundred comma two")) == QLatin1String("cursor 100, 2") &&
           applyReplacements(words("on june twenty second")) == QLatin1String("on june 22nd") &&
           CmuPhones::name(CmuPhones::id(QStringLiteral("OW"))) == QLatin1String("OW") &&
           phraseWords(QStringLiteral("Open, Notepad!")) == QStringList({"open", "notepad"}) &&
           g.words.contains(QStringLiteral("notepad"));
}

TEST(TextTables, AreStillReadableWhileTheProgramIsEndedByExit)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe"); // a fresh process: no table is built yet
    EXPECT_EXIT(
        {
            std::atexit([] { ::_exit(textTablesStillRead() ? 0 : 3); });
            if (!textTablesStillRead())
                ::_exit(2);
            std::exit(1);
        },
        testing::ExitedWithCode(0), "");
}

TEST(EspeakPronouncer, aWordThatGetsNoPhonemesIsAnsweredWithNoPronunciation)
{
    // eSpeak says nothing for punctuation typed into the emulation box: an
    // answer, empty. A program that prints nothing at all answers no word, so
    // its words are not taken for punctuation.
    const struct
    {
        const char *program;
        QStringList words;
        QHash<QString, QString> pronounced;
    } cases[] = {
        {"espeak-ng", {","}, {{",", ""}}},
        {"espeak-ng", {"notepad", ","}, {{"notepad", "N OW T P AE D"}, {",", ""}}},
        {"espeak-ng", {"?", "notepad", "-"}, {{"?", ""}, {"notepad", "N OW T P AE D"}, {"-", ""}}},
        {"true", {"notepad"}, {}},
        {"true", {"notepad", "kestrel"}, {}},
        {"false", {","}, {}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(EspeakPronouncer(QString::fromLatin1(c.program)).pronounce(c.words), c.pronounced)
            << c.program << " " << qPrintable(c.words.join(QLatin1Char(' ')));
    }
}

// Lines were paired with words by counting them. A word eSpeak says as two
// clauses next to one it says nothing for kept the count right and paired
// every word after with the wrong phones.
TEST(EspeakPronouncer, eachWordOfABatchIsPronouncedAsItIsAlone)
{
    const QList<QStringList> batches{
        {"wait...what", "-", "hello"},
        {"a,b", "world", "x.y", "?", "kestrel"},
        {"notepad", "end.", "--", "e-mail", "don't", "2024", "caf\u00e9"},
        {"\u043f\u0440\u0438\u0432\u0435\u0442", "\u03bb\u03cc\u03b3\u03bf\u03c2", "\u6f22\u5b57", "x\u00b2",
         "\u00bd", "notepad", QString(500, QLatin1Char('7')), "hello"},
        // Clauses said like the word that tells the others apart.
        {"wait...q", "'q'", "q", "hello", "q...wait"},
    };
    const EspeakPronouncer espeak;
    for (const QStringList &batch : batches) {
        const QHash<QString, QString> together = espeak.pronounce(batch);
        for (const QString &word : batch) {
            EXPECT_EQ(together.value(word).toStdString(), espeak.pronounce({word}).value(word).toStdString())
                << qPrintable(word) << " in " << qPrintable(batch.join(QLatin1Char(' ')));
        }
        EXPECT_TRUE(together.contains(batch.first())) << qPrintable(batch.first());
    }
    // Those still get their phones, and the words beside them theirs.
    EXPECT_EQ(espeak.pronounce({QStringLiteral("q")}).value("q").toStdString(), "K Y UW");
    EXPECT_EQ(espeak.pronounce({QStringLiteral("wait...q")}).value("wait...q").toStdString(),
              "W EY T K Y UW");
}

// A large table can hold thousands of words the dictionary lacks: they are
// asked for in batches, so that no single run can time out for all of them, and
// one word eSpeak says as two clauses ("wait...go") costs no run of its own.
TEST(EspeakPronouncer, manyWordsGoInBatchesAndAnOddWordCostsNoRunOfItsOwn)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString runs = dir.filePath(QStringLiteral("runs"));
    const QString stub = dir.filePath(QStringLiteral("espeak-stub"));
    {
        QFile file(stub);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Notes how many words each run is given (each line of one is followed
        // by a line of the separator, which also comes first), then lets eSpeak answer.
        file.write("#!/bin/sh\nin=$(mktemp)\ncat > \"$in\"\necho $(( ($(wc -l < \"$in\") - 1) / 2 )) >> '" +
                   QFile::encodeName(runs) +
                   "'\nespeak-ng \"$@\" < \"$in\"\nstatus=$?\nrm -f \"$in\"\nexit $status\n");
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QStringList plain;
    for (int n = 0; n < 1000; ++n) {
        QString word = QStringLiteral("zub");
        for (int rest = n; rest > 0; rest /= 26)
            word += QChar(u'a' + rest % 26);
        plain << word;
    }
    for (const bool oddWord : {false, true}) {
        SCOPED_TRACE(oddWord ? "with wait...go" : "plain words");
        QFile::remove(runs);
        QStringList words = plain;
        if (oddWord)
            words.insert(500, QStringLiteral("wait...go"));
        const QHash<QString, QString> pronounced = EspeakPronouncer(stub).pronounce(words);
        for (const QString &word : std::as_const(plain))
            EXPECT_TRUE(pronounced.contains(word)) << qPrintable(word);
        if (oddWord) {
            EXPECT_EQ(pronounced.value(QStringLiteral("wait...go")).toStdString(), "W EY T G OW");
        }
        QFile record(runs);
        ASSERT_TRUE(record.open(QIODevice::ReadOnly));
        const QList<QByteArray> counts = record.readAll().split('\n');
        int runCount = 0;
        for (const QByteArray &count : counts) {
            if (count.trimmed().isEmpty())
                continue;
            ++runCount;
            EXPECT_LE(count.trimmed().toInt(), EspeakPronouncer::kBatchWords);
        }
        // Four batches; the odd word needs no run of its own.
        EXPECT_EQ(runCount, 4);
    }
}

TEST(CommandGrammar, phrasesBecomeLowerCaseWordsOfOneRule)
{
    const CommandGrammar g = CommandGrammar::build(
        {QStringLiteral("OPEN NOTEPAD"), QStringLiteral("open   notepad"), QStringLiteral("Left Click"),
         QStringLiteral("   "), QStringLiteral("SAVE|QUIT"), QStringLiteral("<evil>;"),
         QStringLiteral("U.S.")});
    EXPECT_EQ(g.phrases,
              (QStringList{QStringLiteral("open notepad"), QStringLiteral("left click"),
                           QStringLiteral("save quit"), QStringLiteral("evil"), QStringLiteral("u.s")}));
    EXPECT_TRUE(g.jsgf.startsWith(QStringLiteral("#JSGF V1.0;")));
    EXPECT_TRUE(
        g.jsgf.contains(QStringLiteral("<phrase> = open notepad | left click | save quit | evil | u.s;")));
    EXPECT_TRUE(g.jsgf.contains(QStringLiteral("public <command> = <phrase> | <cursor> | <select>")));
    for (const QString &w : g.words)
        EXPECT_EQ(w, w.toLower());
    for (const char *w :
         {"open", "notepad", "cursor", "comma", "hundred", "select", "yes", "know", "thousand"})
        EXPECT_TRUE(g.words.contains(QString::fromLatin1(w))) << w;
    EXPECT_FALSE(g.words.contains(QStringLiteral("digit"))) << "rule names are not words";

    const CommandGrammar empty = CommandGrammar::build({});
    EXPECT_TRUE(empty.phrases.isEmpty());
    EXPECT_FALSE(empty.jsgf.contains(QStringLiteral("<phrase>")));
    EXPECT_TRUE(
        empty.jsgf.contains(QStringLiteral("public <command> = <cursor> | <select> | <yes> | <no>;")));
    EXPECT_FALSE(empty.jsgf.contains(QStringLiteral("spell"))) << "a letter loop swallows other commands";
}

TEST(CommandGrammar, soundAlikesPronouncedLikeTheAnswerStayOutOfItsRule)
{
    // "know" is "no" to the ear: in the rule beside it the search picks either.
    const QHash<QString, QString> usDictionary{{"yes", "Y EH S"}, {"us", "AH S"},  {"this", "DH IH S"},
                                               {"no", "N OW"},    {"now", "N AW"}, {"know", "N OW"}};
    QHash<QString, QString> allAlike = usDictionary;
    allAlike.insert({{"now", "N OW"}, {"us", "Y EH S"}});
    QHash<QString, QString> noAnswer = usDictionary;
    noAnswer.remove(QStringLiteral("no"));
    const struct
    {
        const char *name;
        QHash<QString, QString> dictionary;
        bool withPronunciation;
        const char *yesRule;
        const char *noRule;
    } cases[] = {
        {"US dictionary", usDictionary, true, "<yes> = yes | us | this;", "<no> = no | now;"},
        {"more homophones", allAlike, true, "<yes> = yes | this;", "<no> = no;"},
        {"answer itself unknown", noAnswer, true, "<yes> = yes | us | this;", "<no> = no | now | know;"},
        {"no dictionary at hand", usDictionary, false, "<yes> = yes | us | this;", "<no> = no | now | know;"},
    };
    for (const auto &c : cases) {
        const auto lookUp = [&c](const QString &word) { return c.dictionary.value(word); };
        const CommandGrammar g = CommandGrammar::build(
            {QStringLiteral("OPEN NOTEPAD")},
            c.withPronunciation ? CommandGrammar::Pronunciation(lookUp) : CommandGrammar::Pronunciation());
        EXPECT_TRUE(g.jsgf.contains(QLatin1String(c.yesRule))) << c.name << "\n" << g.jsgf.toStdString();
        EXPECT_TRUE(g.jsgf.contains(QLatin1String(c.noRule))) << c.name << "\n" << g.jsgf.toStdString();
        // Left out of the rule, a sound-alike still answers when heard.
        EXPECT_TRUE(g.accepts(words("know"))) << c.name;
        EXPECT_TRUE(g.words.contains(QStringLiteral("know"))) << c.name;
    }
}

// Feature rows as kestrel_sphinx_eval recorded them for real clips.
RejectionFeatures measured(bool heardCommand, double agreement, int common, int frames, bool numberForm,
                           qint64 phraseScore, qint64 heardScore, int phraseWordFrames, int heardWordFrames,
                           qint64 grammarScore, bool soundAlike = false)
{
    return {.heardCommand = heardCommand,
            .agreement = agreement,
            .commonPhones = common,
            .frames = frames,
            .numberForm = numberForm,
            .soundAlike = soundAlike,
            .heardWords = heardWordFrames > 0,
            .phraseScore = phraseScore,
            .heardScore = heardScore,
            .phraseWordFrames = phraseWordFrames,
            .heardWordFrames = heardWordFrames,
            .grammarScore = grammarScore};
}

TEST(Rejection, calibratedRuleTellsCommandsFromOtherSpeech)
{
    const struct
    {
        const char *name;
        RejectionFeatures features;
        bool accepted;
    } cases[] = {
        {"heard exactly", measured(true, 1.0, 10, 259, false, -2465, -2523, 112, 112, -2495), true},
        // The command model misheard ("luigi know you", "do you file your"), but
        // the phrase explains the audio better than its words did and covers as
        // much of it.
        {"misheard page down", measured(false, 0.22, 2, 180, false, -2953, -3360, 101, 87, -3741), true},
        {"misheard save file", measured(false, 0.3, 3, 176, false, -3639, -3976, 94, 105, -4607), true},
        // A whole sentence: the phrase covers a third of what the heard words do.
        {"sentence", measured(false, 0.18, 3, 280, false, -5903, -4091, 76, 192, -10410), false},
        {"sentence as numbers", measured(false, 0.27, 4, 193, true, -4366, -3374, 109, 91, -6049), false},
        // Noise the command model heard nothing in; the grammar forced "now" onto
        // six frames of it.
        {"noise", measured(false, 0.0, 0, 146, false, -1137, 0, 6, 0, -1809), false},
        // White noise: the heard "ah" and the phrase "know" both squeezed into a
        // few frames, so the phrase even looks better than what was heard.
        {"noise as short word", measured(false, 0.0, 0, 219, false, -1301, -1343, 6, 3, -3195), false},
        // White noise heard as "this" both ways; a sound-alike alone is no command.
        {"noise as sound-alike", measured(false, 1, 3, 160, false, -2228, -2602, 119, 16, -1453, true),
         false},
        {"too short", measured(true, 1.0, 10, 19, false, -800, -800, 15, 15, -900), false},
        {"nothing aligned", measured(true, 1.0, 10, 200, false, 0, -2000, 0, 100, -2500), false},
    };
    const CommandRejection rule = CommandRejection::calibrated();
    for (const auto &c : cases)
        EXPECT_EQ(rule.accept(c.features), c.accepted)
            << c.name << ", confidence " << rule.confidence(c.features);
}

TEST(Rejection, strongerEvidenceNeverLowersConfidenceAndNumberFormsNeedMore)
{
    const RejectionFeatures base = measured(false, 0.4, 4, 190, false, -4000, -3500, 90, 110, -6000);
    const struct
    {
        const char *name;
        void (*strengthen)(RejectionFeatures &);
    } cases[] = {
        {"heard command", [](RejectionFeatures &f) { f.heardCommand = true; }},
        {"agreement", [](RejectionFeatures &f) { f.agreement = 0.8; }},
        {"common phones", [](RejectionFeatures &f) { f.commonPhones = 8; }},
        {"score margin", [](RejectionFeatures &f) { f.phraseScore = -3600; }},
        {"word share", [](RejectionFeatures &f) { f.heardWordFrames = 95; }},
        {"grammar fits", [](RejectionFeatures &f) { f.grammarScore = -4000; }},
    };
    const CommandRejection rule = CommandRejection::calibrated();
    for (const auto &c : cases) {
        RejectionFeatures stronger = base;
        c.strengthen(stronger);
        EXPECT_GT(rule.confidence(stronger), rule.confidence(base)) << c.name;
    }

    const RejectionFeatures phrase = measured(false, 0.5, 6, 190, false, -3800, -3700, 100, 105, -5000);
    RejectionFeatures number = phrase;
    number.numberForm = true;
    EXPECT_LT(rule.confidence(number), rule.confidence(phrase));
    // Nothing heard: the margin is the floor and there is no share, however the
    // scores happen to stand.
    RejectionFeatures deaf = phrase;
    deaf.heardWords = false;
    EXPECT_LT(rule.confidence(deaf), rule.confidence(phrase));
}

TEST(PhoneAgreement, isCommonSubsequenceOverLongerLength)
{
    const QStringList a = words("N OW T P AE D");
    EXPECT_DOUBLE_EQ(phoneAgreement(a, a), 1.0);
    EXPECT_DOUBLE_EQ(phoneAgreement(a, words("N OW T")), 0.5);
    EXPECT_DOUBLE_EQ(phoneAgreement(a, {}), 0.0);
    EXPECT_DOUBLE_EQ(phoneAgreement(words("A B C"), words("C B A")), 1.0 / 3.0);
    EXPECT_EQ(commonPhones(a, words("N AA T P AE D Z")), 5);
    EXPECT_EQ(commonPhones({}, a), 0);
}

CommandGrammar table()
{
    return CommandGrammar::build({QStringLiteral("OPEN NOTEPAD"), QStringLiteral("Close Notepad"),
                                  QStringLiteral("LEFT CLICK"), QStringLiteral("TYPE MY ADDRESS")});
}

TEST(GrammarSentences, areCommandsExactlyWhenTheGrammarCanSayThem)
{
    const std::pair<const char *, bool> cases[] = {
        {"open notepad", true},
        {"close notepad", true},
        {"type my address", true},
        {"open", false},
        {"open notepad now", false},
        {"close notepad notepad", false},
        {"left", false},
        {"", false},
        {"yes no", false},
        {"cursor down", true},
        {"cursor", false},
        {"cursor up down", false},
        {"cursor one hundred comma two hundred", true},
        {"cursor one comma", false},
        {"cursor comma two", false},
        {"cursor zero comma nine thousand nine hundred ninety nine", true},
        {"cursor one two comma three", false},
        {"select five", true},
        {"select", false},
        {"select five million", false},
        {"select ten thousand", false},
        {"select notepad", false},
        // Numbers are sentences only as the grammar spells them: "ten hundred"
        // is a thousand, but no rule says it.
        {"select ten hundred", false},
        {"select twenty hundred five", false},
        {"select one thousand", true},
        {"cursor ninety nine hundred comma five", false},
        {"cursor five comma zero", true},
        {"select zero zero", false}};
    const CommandGrammar g = table();
    for (const auto &[said, command] : cases)
        EXPECT_EQ(g.accepts(words(said)), command) << said;
    // The sound-alike answers count only when asked to.
    for (const char *w : {"us", "this", "now", "know"}) {
        EXPECT_TRUE(g.accepts(words(w))) << w;
        EXPECT_FALSE(g.accepts(words(w), CommandGrammar::SoundAlikes::Ignore)) << w;
    }
    for (const char *w : {"yes", "no", "open notepad", "select five"})
        EXPECT_TRUE(g.accepts(words(w), CommandGrammar::SoundAlikes::Ignore)) << w;
}

TEST(GrammarSentences, numberFormsAreTheCursorAndSelectFamiliesNotTablePhrases)
{
    const CommandGrammar g = CommandGrammar::build(
        {QStringLiteral("SELECT ALL"), QStringLiteral("OPEN NOTEPAD"), QStringLiteral("CURSOR HOME")});
    const std::pair<const char *, bool> cases[] = {{"select five", true},   {"cursor one comma two", true},
                                                   {"select all", false},   {"cursor home", false},
                                                   {"cursor down", false},  {"select", false},
                                                   {"open notepad", false}, {"", false}};
    for (const auto &[said, numberForm] : cases)
        EXPECT_EQ(g.isNumberForm(words(said)), numberForm) << said;
}

TEST(NumberWords, spellNumbersAsTheGrammarSaysThem)
{
    const std::pair<int, const char *> cases[] = {{0, "zero"},
                                                  {7, "seven"},
                                                  {13, "thirteen"},
                                                  {40, "forty"},
                                                  {42, "forty two"},
                                                  {100, "one hundred"},
                                                  {105, "one hundred five"},
                                                  {1204, "one thousand two hundred four"},
                                                  {9999, "nine thousand nine hundred ninety nine"},
                                                  {10000, ""},
                                                  {-1, ""}};
    for (const auto &[value, spelled] : cases)
        EXPECT_EQ(CommandLanguageModel::numberWords(value), words(spelled)) << value;
    const CommandGrammar g = table();
    for (int n = 0; n <= 9999; n += 37)
        EXPECT_TRUE(g.accepts(QStringList{QStringLiteral("select")} + CommandLanguageModel::numberWords(n)))
            << n;
}

/// An ARPA bigram model read back: log10 probabilities and backoff weights.
struct ReadModel
{
    QHash<QString, double> unigram, backoff;
    QHash<QString, QHash<QString, double>> bigram;
    QHash<int, int> declared; ///< n-gram order to the count the header declares

    explicit ReadModel(const QString &text)
    {
        static const QRegularExpression count(QStringLiteral("^ngram (\\d)=(\\d+)$"));
        int section = 0;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            const QStringList f =
                line.split(QRegularExpression(QStringLiteral("[\\t ]+")), Qt::SkipEmptyParts);
            if (const auto match = count.match(line); match.hasMatch()) {
                declared[match.captured(1).toInt()] = match.captured(2).toInt();
            } else if (line == QLatin1String("\\1-grams:") || line == QLatin1String("\\2-grams:")) {
                section = line.at(1).digitValue();
            } else if (section == 1 && f.size() >= 2) {
                unigram[f[1]] = f[0].toDouble();
                if (f.size() == 3)
                    backoff[f[1]] = f[2].toDouble();
            } else if (section == 2 && f.size() == 3) {
                bigram[f[1]][f[2]] = f[0].toDouble();
            }
        }
    }

    double probability(const QString &history, const QString &word) const
    {
        const auto seen = bigram.value(history);
        return std::pow(10.0, seen.contains(word) ? seen.value(word)
                                                  : backoff.value(history) + unigram.value(word));
    }

    double sentence(const char *text) const
    {
        QString previous = QStringLiteral("<s>");
        double p = 1.0;
        for (const QString &w : words(text) + QStringList{QStringLiteral("</s>")})
            p *= probability(std::exchange(previous, w), w);
        return p;
    }
};

TEST(CommandLanguageModel, everyHistoryAddsUpToOneAndPhrasesOutweighWordsOfOtherCommands)
{
    const ReadModel m(CommandLanguageModel::arpa(table()));
    int bigrams = 0;
    for (const auto &next : m.bigram)
        bigrams += int(next.size());
    EXPECT_EQ(m.declared.value(1), m.unigram.size());
    EXPECT_EQ(m.declared.value(2), bigrams);
    ASSERT_TRUE(m.unigram.contains(QStringLiteral("</s>")));
    for (auto h = m.bigram.cbegin(); h != m.bigram.cend(); ++h) {
        ASSERT_TRUE(m.unigram.contains(h.key())) << "history without a unigram: " << qPrintable(h.key());
        double total = 0.0;
        for (auto w = m.unigram.cbegin(); w != m.unigram.cend(); ++w) {
            if (w.key() != QLatin1String("<s>"))
                total += m.probability(h.key(), w.key());
        }
        EXPECT_NEAR(total, 1.0, 1e-3) << qPrintable(h.key());
    }

    EXPECT_GT(m.sentence("open notepad"), 10 * m.sentence("open address"));
    EXPECT_GT(m.sentence("left click"), 10 * m.sentence("left notepad"));
    EXPECT_GT(m.sentence("cursor one hundred comma two hundred"),
              10 * m.sentence("cursor one notepad comma two hundred"));
    EXPECT_GT(m.sentence("select five"), 0.0);
    EXPECT_GT(m.sentence("type my address"), 10 * m.sentence("type my"));
}

QByteArray grammar(const char *body, const char *root = "main")
{
    return QByteArray("<?xml version=\"1.0\"?>\n<grammar xmlns=\"http://www.w3.org/2001/06/grammar\" "
                      "version=\"1.0\" "
                      "xml:lang=\"en-US\" root=\"") +
           root + "\">" + body + "</grammar>";
}

TEST(SrgsGrammar, rootRuleSentences)
{
    const struct
    {
        const char *body;
        QStringList sentences;
    } cases[] = {
        {"<rule id=\"main\">open  notepad</rule>", {"open notepad"}},
        {"<rule id=\"main\">open <one-of><item>notepad</item><item>firefox</item></one-of></rule>",
         {"open notepad", "open firefox"}},
        {"<rule id=\"main\"><item repeat=\"0-1\">please</item> stop</rule>", {"stop", "please stop"}},
        {"<rule id=\"main\">go <ruleref uri=\"#dir\"/><tag>out=1</tag></rule>"
         "<rule id=\"dir\"><one-of><item>up<tag>x</tag></item><item>down</item></one-of></rule>",
         {"go up", "go down"}},
        {"<rule id=\"main\"><item repeat=\"2\">la</item></rule>", {"la la"}},
        {"<rule id=\"main\"><item repeat=\"1-\">go</item></rule>",
         {"go", "go go"}}, // open repeats list up to two
        {"<rule id=\"main\"><token>new york</token> city</rule>", {"new york city"}},
        {"<rule id=\"main\">a <ruleref special=\"NULL\"/> b</rule>", {"a b"}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(SrgsGrammar::parse(grammar(c.body)).sentences(QStringLiteral("main")), c.sentences)
            << c.body;
}

TEST(SrgsGrammar, refusesBadDocumentsWithAFailureNamingTheProblem)
{
    const struct
    {
        QByteArray xml;
        const char *messagePart;
    } cases[] = {
        {QByteArray(), "empty"},
        {QByteArray("open notepad"), "line"},
        {grammar("<rule id=\"main\">open"), "line"},
        {QByteArray("<html><body/></html>"), "not an SRGS grammar"},
        {grammar("<rule id=\"main\"><ruleref uri=\"#nope\"/></rule>"), "nope"},
        {grammar("<rule id=\"main\"><ruleref uri=\"x.xml#a\"/></rule>"), "local"},
        {grammar("<rule id=\"main\">a</rule><rule id=\"main\">b</rule>"), "duplicate"},
        {grammar("<rule>a</rule>", ""), "without id"},
        {grammar("<rule id=\"other\">a</rule>"), "root rule"},
        {grammar("<rule id=\"main\"><item repeat=\"3-1\">a</item></rule>"), "repeat"},
        {grammar("<rule id=\"main\"><one-of>a</one-of></rule>"), "one-of"},
        {grammar("<rule id=\"main\"><one-of></one-of></rule>"), "empty one-of"},
        {grammar("<rule id=\"main\"><blink>a</blink></rule>"), "blink"},
    };
    for (const auto &c : cases) {
        try {
            SrgsGrammar::parse(c.xml);
            ADD_FAILURE() << "accepted a document meant to fail with " << c.messagePart;
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QString::fromLatin1(c.messagePart)))
                << qPrintable(failure.description());
        }
    }
}

TEST(SrgsGrammar, sentencesOfRecursiveRulesAndHugeRepeatsAreListedUpToTheLimit)
{
    const struct
    {
        const char *body;
        int limit;
        QStringList sentences;
    } cases[] = {
        // A rule made of itself twice: every level of recursion doubles the work.
        {"<rule id=\"main\"><one-of><item>x</item><item><ruleref uri=\"#main\"/> <ruleref uri=\"#main\"/>"
         "</item></one-of></rule>",
         3,
         {"x", "x x", "x x x"}},
        {"<rule id=\"main\"><one-of><item>x</item><item><ruleref uri=\"#main\"/><ruleref uri=\"#main\"/>"
         "<ruleref uri=\"#main\"/></item></one-of></rule>",
         2,
         {"x", "x x x"}},
        // A count no sentence list can reach.
        {"<rule id=\"main\"><item repeat=\"2000000000\">a</item></rule>", 10, {}},
        {"<rule id=\"main\">go <item repeat=\"100000000-\">a</item></rule>", 10, {}},
        {"<rule id=\"main\"><item repeat=\"0-2000000000\">a</item></rule>", 3, {"", "a", "a a"}},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(SrgsGrammar::parse(grammar(c.body)).sentences(QStringLiteral("main"), c.limit), c.sentences)
            << c.body;
    }
}

QByteArray nested(const char *open, const char *close, int depth)
{
    return grammar(QByteArray("<rule id=\"main\">" + QByteArray(open).repeated(depth) + "word" +
                              QByteArray(close).repeated(depth) + "</rule>")
                       .constData());
}

TEST(SrgsGrammar, deepNestingIsRefusedInsteadOfExhaustingTheStack)
{
    const struct
    {
        const char *open;
        const char *close;
        int depth;
        bool loads;
    } cases[] = {
        {"<item>", "</item>", 100, true},
        {"<one-of><item>", "</item></one-of>", 100, true},
        {"<item>", "</item>", 200000, false},
        {"<one-of><item>", "</item></one-of>", 100000, false},
    };
    for (const auto &c : cases) {
        const QByteArray xml = nested(c.open, c.close, c.depth);
        if (c.loads) {
            EXPECT_EQ(SrgsGrammar::parse(xml).sentences(QStringLiteral("main")), QStringList{"word"})
                << c.open << " " << c.depth;
            continue;
        }
        try {
            SrgsGrammar::parse(xml);
            ADD_FAILURE() << "accepted " << c.open << " nested " << c.depth << " deep";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QStringLiteral("nested")))
                << qPrintable(failure.description());
        }
    }
}

TEST(SrgsGrammar, shippedSampleLoadsWithPublicRules)
{
    const SrgsGrammar g = SrgsGrammar::loadFile(QStringLiteral(KESTREL_RESOURCES_DIR "/sol.xml"));
    EXPECT_NE(g.rule(g.root()), nullptr);
    EXPECT_TRUE(g.sentences(g.root()).contains(QStringLiteral("open notepad")));
}

// The grammar file is read whole at start-up: what is not a small regular file
// must be refused before the read, not hang it or run it out of memory.
TEST(SrgsGrammar, aGrammarFileThatIsNoSmallRegularFileIsRefused)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString fifo = dir.filePath(QStringLiteral("fifo.xml"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString zero = dir.filePath(QStringLiteral("zero.xml"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    const QString huge = dir.filePath(QStringLiteral("huge.xml"));
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(SrgsGrammar::kMaxFileBytes + 1)); // sparse: no disk needed
    }
    const QString folder = dir.filePath(QStringLiteral("folder.xml"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const std::pair<QString, const char *> cases[] = {
        {fifo, "not a regular file"},
        {zero, "not a regular file"},
        {folder, "not a regular file"},
        {huge, "larger than 16 MB"},
        {dir.filePath(QStringLiteral("missing.xml")), "Cannot open"},
    };
    for (const auto &[file, reason] : cases) {
        SCOPED_TRACE(file.toStdString());
        try {
            SrgsGrammar::loadFile(file);
            ADD_FAILURE() << "loaded";
        } catch (const Failure &failure) {
            EXPECT_TRUE(failure.description().contains(QLatin1String(reason)))
                << qPrintable(failure.description());
        }
    }
}

} // namespace
} // namespace kestrel
