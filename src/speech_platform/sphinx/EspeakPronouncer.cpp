#include "speech_platform/sphinx/EspeakPronouncer.h"

#include "common/Failure.h"

#include <QProcess>

#include <algorithm>
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
    // Lines are paired with words by counting them, and punctuation inside a
    // word makes eSpeak say it as two clauses, or say nothing: "wait...what"
    // beside "-" kept the count and shifted the phones of the words after.
    // Such a word is asked alone, where its lines are joined.
    const auto plain = [](const QString &word) {
        return std::any_of(word.begin(), word.end(), [](QChar c) { return c.isLetterOrNumber(); }) &&
               std::all_of(word.begin(), word.end(),
                           [](QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('\''); });
    };
    QStringList batched;
    QHash<QString, QString> result;
    for (const QString &word : words) {
        if (plain(word))
            batched << word;
        else
            pronounceBatch({word}, result);
    }
    for (qsizetype at = 0; at < batched.size(); at += kBatchWords)
        pronounceBatch(batched.mid(at, kBatchWords), result);
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
    // One word per line gives one line of phonemes per word.
    process.write(words.join(QLatin1Char('\n')).toUtf8() + '\n');
    process.closeWriteChannel();
    // A batch that fails leaves its own words without pronunciations, not
    // every word of a large table.
    if (!process.waitForFinished(kBatchTimeoutMs) || process.exitCode() != 0)
        return;
    const QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    QStringList phonemeLines;
    for (const QString &line : lines) {
        if (!line.trimmed().isEmpty())
            phonemeLines << line.trimmed();
    }
    if (words.size() == 1) {
        // eSpeak may break one word into several clauses ("a...b"), and says
        // nothing at all for punctuation: then the word has no pronunciation.
        // Asking again would get the same answer, for ever.
        if (phonemeLines.isEmpty())
            return;
        phonemeLines = QStringList{phonemeLines.join(QLatin1Char(' '))};
    } else if (phonemeLines.size() != words.size()) {
        // Lines no longer pair up with words: halves find the odd word in a few
        // runs, where asking word by word took one run per word.
        const qsizetype half = words.size() / 2;
        pronounceBatch(words.first(half), result);
        pronounceBatch(words.sliced(half), result);
        return;
    }
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString cmu = espeakToCmu(phonemeLines[i]);
        if (!cmu.isEmpty())
            result.insert(words[i], cmu);
    }
}

} // namespace kestrel
