#include "speech_platform/sphinx/EspeakPronouncer.h"

#include "common/Failure.h"

#include <QProcess>

#include <array>
#include <utility>

namespace kestrel {
namespace {

struct Mnemonic
{
    const char *espeak;
    const char *cmu;
};

// Longest mnemonics first: the scanner takes the first entry that matches.
constexpr std::array kMnemonics = {
    Mnemonic{"aI@", "AY ER"}, Mnemonic{"aI3", "AY ER"}, Mnemonic{"aU@", "AW ER"}, Mnemonic{"i@3", "IH R"},
    Mnemonic{"A@", "AA R"},   Mnemonic{"O@", "AO R"},   Mnemonic{"o@", "AO R"},   Mnemonic{"e@", "EH R"},
    Mnemonic{"U@", "UH R"},   Mnemonic{"i@", "IH R"},   Mnemonic{"3:", "ER"},     Mnemonic{"A:", "AA"},
    Mnemonic{"O:", "AO"},     Mnemonic{"i:", "IY"},     Mnemonic{"u:", "UW"},     Mnemonic{"aI", "AY"},
    Mnemonic{"aU", "AW"},     Mnemonic{"eI", "EY"},     Mnemonic{"oU", "OW"},     Mnemonic{"OI", "OY"},
    Mnemonic{"@L", "AH L"},   Mnemonic{"@5", "AH L"},   Mnemonic{"tS", "CH"},     Mnemonic{"dZ", "JH"},
    Mnemonic{"I#", "IH"},     Mnemonic{"I2", "IH"},     Mnemonic{"@2", "AH"},     Mnemonic{"a#", "AH"},
    Mnemonic{"t#", "T"},      Mnemonic{"d#", "D"},      Mnemonic{"aa", "AE"},     Mnemonic{"0", "AA"},
    Mnemonic{"3", "ER"},      Mnemonic{"@", "AH"},      Mnemonic{"V", "AH"},      Mnemonic{"E", "EH"},
    Mnemonic{"I", "IH"},      Mnemonic{"i", "IY"},      Mnemonic{"a", "AE"},      Mnemonic{"O", "AO"},
    Mnemonic{"U", "UH"},      Mnemonic{"u", "UW"},      Mnemonic{"e", "EH"},      Mnemonic{"o", "OW"},
    Mnemonic{"A", "AA"},      Mnemonic{"p", "P"},       Mnemonic{"b", "B"},       Mnemonic{"t", "T"},
    Mnemonic{"d", "D"},       Mnemonic{"k", "K"},       Mnemonic{"g", "G"},       Mnemonic{"f", "F"},
    Mnemonic{"v", "V"},       Mnemonic{"T", "TH"},      Mnemonic{"D", "DH"},      Mnemonic{"s", "S"},
    Mnemonic{"z", "Z"},       Mnemonic{"S", "SH"},      Mnemonic{"Z", "ZH"},      Mnemonic{"h", "HH"},
    Mnemonic{"m", "M"},       Mnemonic{"n", "N"},       Mnemonic{"N", "NG"},      Mnemonic{"l", "L"},
    Mnemonic{"L", "L"},       Mnemonic{"r", "R"},       Mnemonic{"w", "W"},       Mnemonic{"j", "Y"},
    Mnemonic{"x", "K"},
};

} // namespace

QString espeakToCmu(const QString &mnemonics)
{
    const QByteArray text = mnemonics.toLatin1();
    QStringList phones;
    qsizetype i = 0;
    while (i < text.size()) {
        bool matched = false;
        for (const Mnemonic &m : kMnemonics) {
            const QByteArrayView symbol(m.espeak);
            if (QByteArrayView(text).sliced(i).startsWith(symbol)) {
                phones << QString::fromLatin1(m.cmu);
                i += symbol.size();
                matched = true;
                break;
            }
        }
        if (!matched)
            ++i; // stress (' ,), length, syllable and pause marks carry no phone
    }
    return phones.join(QLatin1Char(' '));
}

EspeakPronouncer::EspeakPronouncer(QString program) : m_program(std::move(program)) {}

QHash<QString, QString> EspeakPronouncer::pronounce(const QStringList &words) const
{
    QHash<QString, QString> result;
    for (qsizetype at = 0; at < words.size(); at += kBatchWords)
        pronounceBatch(words.mid(at, kBatchWords), result);
    return result;
}

void EspeakPronouncer::pronounceBatch(const QStringList &words, QHash<QString, QString> &result) const
{
    if (words.isEmpty())
        return;
    QProcess process;
    process.start(m_program, {QStringLiteral("-q"), QStringLiteral("-x"), QStringLiteral("-v"),
                              QStringLiteral("en-us")});
    if (!process.waitForStarted(5000))
        throw Failure(QStringLiteral("Cannot run %1 for word pronunciations").arg(m_program));
    // eSpeak answers a line per clause: a word with a clause break inside
    // ("wait...what") gets two, a sign alone ("-") none. Counting lines paired
    // the words after such a pair with the wrong phones, so every word comes
    // between two lines of a separator word, whose own line eSpeak gives first.
    const QString separator = QString::fromLatin1(kSeparatorWord);
    QString input = separator + QLatin1Char('\n');
    for (const QString &word : words)
        input += word + QLatin1Char('\n') + separator + QLatin1Char('\n');
    process.write(input.toUtf8());
    process.closeWriteChannel();
    // A batch that fails leaves its own words without pronunciations, not
    // every word of a large table.
    if (!process.waitForFinished(kBatchTimeoutMs) || process.exitCode() != 0)
        return;
    QStringList lines;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    // Each input line is said on its own, so the separator's answer is the
    // same every time, and only a word said like it can add to them.
    if (lines.size() < 2 || lines.last() != lines.first())
        return; // cut short: not an answer to pair
    if (words.size() == 1) {
        // Everything between the first and the last answer is this word's,
        // even a clause said like the separator ("wait...q").
        result.insert(words.first(), espeakToCmu(lines.sliced(1, lines.size() - 2).join(QLatin1Char(' '))));
        return;
    }
    QList<QStringList> saidFor; // the lines between two answers of the separator, for each word
    QStringList current;
    for (const QString &line : lines.sliced(1)) {
        if (line == lines.first()) {
            saidFor << current;
            current.clear();
        } else {
            current << line;
        }
    }
    if (saidFor.size() > words.size()) {
        // A word said like the separator: halves find it in a few runs.
        const qsizetype half = words.size() / 2;
        pronounceBatch(words.first(half), result);
        pronounceBatch(words.sliced(half), result);
        return;
    }
    if (saidFor.size() < words.size())
        return; // fewer answers than words: a run that went wrong, not a word
    // Nothing said (punctuation) is an answer too: asking again would get the
    // same one, for ever.
    for (qsizetype i = 0; i < words.size(); ++i)
        result.insert(words[i], espeakToCmu(saidFor[i].join(QLatin1Char(' '))));
}

} // namespace kestrel
