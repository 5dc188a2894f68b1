// The window's copy of the pronouncing dictionary against the decoder's own:
// PocketSphinx reads the same file and is asked for the same words.

#include "speech_platform/sphinx/PronouncingDictionary.h"
#include "speech_platform/sphinx/SphinxDecoder.h"

#include <pocketsphinx.h>

#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <memory>
#include <utility>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

/// PocketSphinx's answer for a word, read from this dictionary file.
class DecoderLookup
{
public:
    explicit DecoderLookup(const QString &dictionary)
    {
        const QByteArray hmm = SphinxModelPaths::usEnglish().acousticModel.toLocal8Bit();
        const QByteArray dict = dictionary.toLocal8Bit();
        m_config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                               "-logfn", "/dev/null", nullptr);
        if (m_config)
            m_decoder = ps_init(m_config);
    }
    ~DecoderLookup()
    {
        if (m_decoder)
            ps_free(m_decoder);
        if (m_config)
            cmd_ln_free_r(m_config);
    }
    bool loaded() const { return m_decoder != nullptr; }
    QString phones(const QByteArray &word) const
    {
        char *phones = ps_lookup_word(m_decoder, word.constData());
        const QString text = phones ? QString::fromUtf8(phones) : QString();
        ckd_free(phones);
        return text;
    }

private:
    cmd_ln_t *m_config = nullptr;
    ps_decoder_t *m_decoder = nullptr;
};

/// Every word a line of the file starts with, and each of them in capitals.
QList<QByteArray> wordsOf(const QByteArray &text)
{
    QList<QByteArray> words;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (!fields.first().isEmpty())
            words << fields.first() << fields.first().toUpper();
    }
    return words;
}

/// Reads the dictionary file at `path` both ways and reports, up to ten of
/// them, the words of the file and `more` that the two answer differently.
void expectSameAnswers(const QString &path, const QList<QByteArray> &more = {})
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    const QByteArray text = file.readAll();
    const DecoderLookup decoder(path);
    ASSERT_TRUE(decoder.loaded()) << qPrintable(path);
    const PronouncingDictionary dictionary = PronouncingDictionary::fromText(text);
    const QList<QByteArray> words = wordsOf(text) + more;
    int differ = 0;
    for (const QByteArray &word : words) {
        const QString expected = decoder.phones(word);
        const QString actual = dictionary.phones(QString::fromUtf8(word));
        if (actual != expected && ++differ <= 10)
            ADD_FAILURE() << word.constData() << ": \"" << qPrintable(actual) << "\", the decoder has \""
                          << qPrintable(expected) << '"';
    }
    EXPECT_EQ(differ, 0) << "of " << words.size() << " words";
}

/// `text` as a dictionary file in `dir`.
QString written(const QTemporaryDir &dir, const QByteArray &text)
{
    QFile file(dir.filePath(QStringLiteral("test.dict")));
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        ADD_FAILURE() << "cannot write " << qPrintable(file.fileName());
    return file.fileName();
}

TEST(PronouncingDictionary, answersAsTheDecoderForEveryWordOfTheShippedDictionary)
{
    const QString path = SphinxModelPaths::usEnglish().dictionary;
    EXPECT_GT(PronouncingDictionary(path).size(), 100000);
    expectSameAnswers(path, {"xyzzyq", "kestrel", ""});
}

TEST(PronouncingDictionary, oddLinesAreReadAsTheDecoderReadsThem)
{
    const QByteArray text = "## a comment B AH D\n"
                            ";; another K AH M\n"
                            "read R EH D\n"
                            "read(2) R IY D\n"
                            "   lead    L IY D  \n"
                            "tab\tT AE B\r\n"
                            "bare\n"
                            "bare B EH R\n"
                            "dup D AH P\n"
                            "dup D UW P\n"
                            "alt(2) AO L T\n"
                            "caf\xc3\xa9 K AE F EY\n"
                            "\n"
                            "last L AE S T";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    expectSameAnswers(written(dir, text), {"read(3)", "lea", "##", "tab\t"});
    const PronouncingDictionary dictionary = PronouncingDictionary::fromText(text);
    // And what the decoder said, so that both cannot be wrong alike.
    const std::pair<const char *, const char *> expected[] = {
        {"lead", "L IY D"}, {"dup", "D AH P"},  {"last", "L AE S T"}, {"read(2)", "R IY D"},
        {"tab", "T AE B"},  {"bare", "B EH R"}, {"alt(2)", ""},       {"##", ""},
    };
    for (const auto &[word, phones] : expected)
        EXPECT_EQ(dictionary.phones(QString::fromLatin1(word)).toStdString(), phones) << word;
}

// Lines of one word far apart, and alternates before and after their word,
// in a file too long for a sort that would only happen to keep their order.
TEST(PronouncingDictionary, theFirstLineOfAWordCountsWhereverTheOthersAre)
{
    const char *phones[] = {"AA", "B", "K", "D", "EH", "F", "G"};
    QByteArray text;
    for (int round = 0; round < 3; ++round) {
        for (int n = 0; n < 300; ++n) {
            const QByteArray word = "w" + QByteArray::number((n * 7919) % 300);
            const QByteArray line = QByteArray(phones[round]) + ' ' + phones[n % 7];
            text += word + ' ' + line + '\n';
            if (n % 5 == 0)
                text += word + "(" + QByteArray::number(round + 2) + ") " + line + " " + line + '\n';
            // Before the first line of its word, and for some words once more after it.
            if (round == 0 && n % 11 == 0)
                text += "w" + QByteArray::number(((n + 1) * 7919) % 300) + "(9) " + line + '\n';
            if (round == 2 && n % 22 == 0)
                text += word + "(9) " + line + '\n';
        }
    }
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    expectSameAnswers(written(dir, text));
    const PronouncingDictionary dictionary = PronouncingDictionary::fromText(text);
    EXPECT_TRUE(dictionary.phones(QStringLiteral("w0")).startsWith(QStringLiteral("AA ")));
    EXPECT_TRUE(dictionary.phones(QStringLiteral("w%1(9)").arg(7919 % 300)).isEmpty());
}

TEST(PronouncingDictionary, anUnreadableFileIsAnEmptyDictionary)
{
    const PronouncingDictionary dictionary(QStringLiteral("/nonexistent/kestrel.dict"));
    EXPECT_EQ(dictionary.size(), 0);
    EXPECT_TRUE(dictionary.phones(QStringLiteral("read")).isEmpty());
}

} // namespace
} // namespace kestrel
