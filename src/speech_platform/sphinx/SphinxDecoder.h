#pragma once

#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/PronouncingDictionary.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>

struct ps_decoder_s;
struct cmd_ln_s;
struct ngram_model_s;

namespace kestrel {

/// Where the acoustic model, dictation language model and dictionary live.
struct SphinxModelPaths
{
    QString acousticModel;
    QString languageModel;
    QString dictionary;

    /// The US English model of Debian's pocketsphinx-en-us package under `root`.
    static SphinxModelPaths
    usEnglish(const QString &root = QStringLiteral("/usr/share/pocketsphinx/model/en-us"));
    /// Throws kestrel::Failure naming the first missing file.
    void check() const;
};

/// One decoded hypothesis of a search.
struct SphinxHypothesis
{
    QStringList words;        ///< without fillers and silences, alternate-pronunciation marks removed
    int score = 0;            ///< path score (log domain, larger is better)
    int frames = 0;           ///< frames the search saw (100 per second)
    int wordFrames = 0;       ///< frames spent in words rather than fillers and silences
    QList<QStringList> nbest; ///< distinct alternates after the best, when asked for
};

/// A PocketSphinx decoder with three searches: the command grammar, the
/// dictation language model, and the command model (the command grammar's
/// phrases as a language model mixed into the dictation model), which hears
/// either a command or any other English sentence. A fourth, throw-away search
/// forces given words onto an utterance so that two hypotheses can be scored on
/// the same audio. Every call but pronunciation lookups is serialised by an
/// internal lock, which a grammar build holds for seconds; lookups have their
/// own copy of the dictionary, so the window never waits for a build.
/// Construction loads the models (about a second) and throws kestrel::Failure
/// when they cannot be loaded.
class SphinxDecoder
{
public:
    static constexpr const char *kCommandSearch = "commands";
    static constexpr const char *kDictationSearch = "dictation";
    static constexpr const char *kCommandModelSearch = "command-model";
    /// A throw-away search that forces given words onto an utterance.
    static constexpr const char *kAlignmentSearch = "alignment";
    /// Share of the command model's probability that comes from the command
    /// phrases; the rest comes from dictation. Chosen with kestrel_sphinx_eval.
    static constexpr double kCommandModelWeight = 0.9;

    /// Pronunciations (word -> CMU phones) for words the dictionary lacks. A
    /// word it answered with no phones (a sign alone) maps to an empty string
    /// and is not asked for again; a word it could not answer (a run that
    /// failed) is left out. May throw kestrel::Failure.
    using WordPronouncer = std::function<QHash<QString, QString>(const QStringList &words)>;

    /// `engineOptions` are further PocketSphinx options as name and value
    /// pairs ("-topn", "8"), for the benchmark's tuning runs. Options the
    /// decoder sets itself, repeated or unknown options and a name without a
    /// value throw kestrel::Failure. Words outside the dictionary are
    /// pronounced by `pronouncer`, eSpeak NG's letter-to-sound rules when none
    /// is given.
    explicit SphinxDecoder(const SphinxModelPaths &paths, double commandModelWeight = kCommandModelWeight,
                           const QStringList &engineOptions = {}, WordPronouncer pronouncer = {});
    ~SphinxDecoder();
    SphinxDecoder(const SphinxDecoder &) = delete;
    SphinxDecoder &operator=(const SphinxDecoder &) = delete;

    /// Rebuilds the command searches from these phrases. Words missing from the
    /// dictionary get eSpeak NG pronunciations first; phrases that still cannot
    /// be pronounced are left out and returned. While live audio is decoded the
    /// searches cannot change, so the phrases are kept and take effect at the
    /// next pause in speech; nothing is returned then.
    QStringList setCommandPhrases(const QStringList &phrases);
    /// Keeps the phrases for setCommandPhrases() to apply at the next start of
    /// live decoding or the next pause in it, or at the next
    /// applyQueuedPhrasesUnlessListening(), off the caller's thread. Never waits
    /// for a build in progress.
    void queueCommandPhrases(const QStringList &phrases);
    /// Applies queued phrases now, unless live decoding is running (it applies
    /// them at the next pause itself). For a background thread: it holds the
    /// decoder for the seconds a build takes.
    void applyQueuedPhrasesUnlessListening();
    /// Whether phrases are waiting to be applied.
    bool commandPhrasesPending() const;
    bool hasCommandSearch() const;
    /// Whether these words are a sentence of the current command grammar.
    bool isCommand(const QStringList &words,
                   CommandGrammar::SoundAlikes soundAlikes = CommandGrammar::SoundAlikes::Count) const;
    /// Whether these words are a CURSOR or SELECT form with numbers.
    bool isNumberForm(const QStringList &words) const;
    /// Whether these words are "yes" or "no", a confirmation's answer.
    bool isAnswer(const QStringList &words) const;

    /// Decodes one whole utterance with one search.
    SphinxHypothesis decode(const char *search, std::span<const int16_t> samples, int nbest = 0);

    /// These words forced onto the samples (fillers and silences may come
    /// between them); no words when they cannot be aligned.
    SphinxHypothesis align(const QStringList &words, std::span<const int16_t> samples);

    /// Live decoding with voice activity detection, one utterance at a time.
    /// The command model search falls back to dictation while no grammar is built.
    void startLive(const char *search);
    /// Returns whether the decoder now hears speech.
    bool processLive(std::span<const int16_t> samples);
    QStringList livePartial();
    SphinxHypothesis endLive(int nbest = 0);
    bool liveRunning() const { return m_liveRunning; }

    /// The dictionary pronunciation ("N OW T P AE D"), eSpeak's for unknown words,
    /// empty when neither has one. Never waits for a grammar build.
    QString pronunciation(const QString &word);
    /// pronunciation() of each word, in order. A word with unspoken marks
    /// around it ("hello,") is looked up without them when it is unknown as
    /// typed; the words still unknown go to the pronouncer in one call.
    QStringList pronunciations(const QStringList &words);

private:
    SphinxHypothesis hypothesis(int nbest);
    void selectSearch(const char *search);
    QStringList addMissingWords(const QStringList &words);
    /// Reloads the dictionary with every word added so far and these. Returns
    /// the words of these it did not take, all of them when the load failed.
    /// The caller holds m_lock.
    QStringList loadDictionaryWith(const QHash<QString, QString> &words);
    /// The dictionary's phones for a word, empty when it has none. The caller holds m_lock.
    QString dictionaryPhones(const QString &word) const;
    void setCommandModel(const CommandGrammar &grammar);
    /// Builds and sets the command searches. The caller holds m_lock and no utterance is open.
    QStringList applyCommandPhrases(const QStringList &phrases);
    /// Applies waiting phrases, keeping the grammar in force when they fail.
    /// The caller holds m_lock and no utterance is open.
    void applyPendingPhrases();
    std::optional<QStringList> takePendingPhrases();
    /// The search live decoding uses now. The caller holds m_lock.
    const char *liveSearch() const;

    mutable std::mutex m_lock;
    cmd_ln_s *m_config = nullptr;
    ps_decoder_s *m_decoder = nullptr;
    bool m_hasCommands = false;
    bool m_hasCommandModel = false; ///< the command-model search exists
    bool m_liveRunning = false;
    QByteArray m_liveSearch;          ///< the search live decoding was asked for
    mutable std::mutex m_pendingLock; ///< guards m_pendingPhrases only; taken after m_lock
    std::optional<QStringList> m_pendingPhrases;
    double m_commandModelWeight = kCommandModelWeight;
    ngram_model_s *m_dictationModel = nullptr; ///< owned by the dictation search
    ngram_model_s *m_commandModel = nullptr;
    CommandGrammar m_grammar;
    WordPronouncer m_pronouncer;
    /// The dictionary file as read at start-up: for lookups that must not
    /// take m_lock, and the base of every reload.
    const PronouncingDictionary m_dictionary;
    /// Guards m_addedWords for readers without m_lock and m_heardWords; taken after m_lock.
    mutable std::mutex m_wordsLock;
    /// word -> phones, beyond the dictionary file. Written under m_lock and
    /// m_wordsLock, read under either.
    QHash<QString, QString> m_addedWords;
    /// Pronounced by m_pronouncer for a result only, not in the decoder's
    /// dictionary: typed text repeats its words, and each run of eSpeak costs
    /// the window tens of milliseconds. An empty value is a word it answered
    /// with no phones.
    QHash<QString, QString> m_heardWords;
};

/// Strips what the decoder adds to a word: "<s>", "[NOISE]", "<sil>" become empty,
/// "read(2)" becomes "read".
QString cleanDecoderWord(const char *word);

} // namespace kestrel
