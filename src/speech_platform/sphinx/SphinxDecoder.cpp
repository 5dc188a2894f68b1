#include "speech_platform/sphinx/SphinxDecoder.h"

#include "common/Failure.h"
#include "common/PhraseWords.h"
#include "speech_platform/sphinx/CmuPhones.h"
#include "speech_platform/sphinx/CommandGrammar.h"
#include "speech_platform/sphinx/CommandLanguageModel.h"
#include "speech_platform/sphinx/EspeakPronouncer.h"

#include <pocketsphinx.h>
#include <sphinxbase/cmn.h>
#include <sphinxbase/feat.h>

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryFile>

#include <algorithm>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <utility>
#include <vector>

namespace kestrel {
namespace {

/// More phones than a word of a spoken command ever has; PocketSphinx itself
/// skips dictionary lines of 512 phones or more.
constexpr qsizetype kMaxWordPhones = 160;

/// Words eSpeak pronounced for results that are remembered.
constexpr qsizetype kMaxHeardWords = 4096;

struct CString
{
    char *text;
    ~CString() { ckd_free(text); }
};

// A whole utterance decoded at once is normalised by its own cepstral mean.
// Left alone, PocketSphinx would go on with the running mean of live audio
// (the front end switches to it for good after the first streamed utterance)
// and fold every such decode into it. Each verdict then depended on what had
// been heard and decoded before, and of the phrase and the heard words forced
// one after the other onto the same utterance the second saw other features
// than the first, so their scores did not compare. The running mean belongs to
// the live audio: it is put back as it was.
class WholeUtteranceNormalisation
{
public:
    explicit WholeUtteranceNormalisation(ps_decoder_t *decoder) : m_feat(ps_get_feat(decoder))
    {
        if (!m_feat || !m_feat->cmn_struct)
            return;
        const cmn_t *cmn = m_feat->cmn_struct;
        m_type = m_feat->cmn;
        m_mean.assign(cmn->cmn_mean, cmn->cmn_mean + cmn->veclen);
        m_sum.assign(cmn->sum, cmn->sum + cmn->veclen);
        m_frames = cmn->nframe;
        if (m_type != CMN_NONE)
            m_feat->cmn = CMN_BATCH;
    }
    ~WholeUtteranceNormalisation()
    {
        if (!m_feat || !m_feat->cmn_struct)
            return;
        cmn_t *cmn = m_feat->cmn_struct;
        m_feat->cmn = m_type;
        std::copy(m_mean.begin(), m_mean.end(), cmn->cmn_mean);
        std::copy(m_sum.begin(), m_sum.end(), cmn->sum);
        cmn->nframe = m_frames;
    }
    WholeUtteranceNormalisation(const WholeUtteranceNormalisation &) = delete;
    WholeUtteranceNormalisation &operator=(const WholeUtteranceNormalisation &) = delete;

private:
    feat_t *m_feat;
    cmn_type_t m_type = CMN_NONE;
    std::vector<mfcc_t> m_mean;
    std::vector<mfcc_t> m_sum;
    int32 m_frames = 0;
};

// Mixing the command model into the dictation model allocates and frees tens of
// megabytes. The C library keeps what was freed for later, so without this the
// resident size grew by 108 MB over eight table edits instead of 40 MB.
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

/// "hello" for "(hello,": the word without the marks typed around words that
/// no one says. Others ("c++", ".net", "'em") are part of what is said.
QString withoutOuterPunctuation(const QString &word)
{
    static const QString before =
        QString::fromUtf8("([{\"\u00ab\u2039\u201c\u201e\u2018\u00bf\u00a1\u2013\u2014");
    static const QString after = QString::fromUtf8(",.;:!?)]}\"\u00bb\u203a\u201d\u2019\u2026\u2013\u2014");
    qsizetype first = 0;
    qsizetype end = word.size();
    while (first < end && before.contains(word[first]))
        ++first;
    while (end > first && after.contains(word[end - 1]))
        --end;
    return word.sliced(first, end - first);
}

} // namespace

SphinxModelPaths SphinxModelPaths::usEnglish(const QString &root)
{
    return {root + QStringLiteral("/en-us"), root + QStringLiteral("/en-us.lm.bin"),
            root + QStringLiteral("/cmudict-en-us.dict")};
}

void SphinxModelPaths::check() const
{
    const QString missing =
        QStringLiteral("The speech model file \"%1\" is missing. Install the pocketsphinx-en-us package.");
    if (!QFileInfo(acousticModel + QStringLiteral("/mdef")).isFile())
        throw Failure(missing.arg(acousticModel + QStringLiteral("/mdef")));
    for (const QString &file : {languageModel, dictionary}) {
        if (!QFileInfo(file).isFile())
            throw Failure(missing.arg(file));
    }
}

QString cleanDecoderWord(const char *word)
{
    // Fillers (<s>, <sil>, [NOISE]) and the grammar's null transitions ((NULL)).
    if (!word || word[0] == '<' || word[0] == '[' || word[0] == '(' || word[0] == '\0')
        return {};
    QString w = QString::fromUtf8(word);
    const qsizetype paren = w.indexOf(QLatin1Char('('));
    if (paren > 0 && w.endsWith(QLatin1Char(')')))
        w.truncate(paren);
    return w;
}

namespace {

/// The command line PocketSphinx parses: our own options, then the caller's.
QList<QByteArray> engineArguments(const SphinxModelPaths &paths, const QStringList &engineOptions)
{
    QList<QByteArray> args{
        "kestrel", "-hmm",     paths.acousticModel.toLocal8Bit(), "-dict", paths.dictionary.toLocal8Bit(),
        "-logfn",  "/dev/null"};
    const auto bad = [](const QString &why) {
        return Failure(QStringLiteral("The speech recogniser option list is not valid: %1.").arg(why));
    };
    if (engineOptions.size() % 2 != 0)
        throw bad(QStringLiteral("\"%1\" has no value").arg(engineOptions.last()));
    // The model paths come from SphinxModelPaths and the log must stay quiet.
    // PocketSphinx itself would say what is wrong only in that log.
    QSet<QString> names{QStringLiteral("-hmm"), QStringLiteral("-dict"), QStringLiteral("-logfn")};
    for (qsizetype i = 0; i < engineOptions.size(); i += 2) {
        const QString &name = engineOptions[i];
        if (!name.startsWith(QLatin1Char('-')) || names.contains(name))
            throw bad(QStringLiteral("\"%1\" is not an option name it may take").arg(name));
        names.insert(name);
        args << name.toLocal8Bit() << engineOptions[i + 1].toLocal8Bit();
    }
    return args;
}

} // namespace

SphinxDecoder::SphinxDecoder(const SphinxModelPaths &paths, double commandModelWeight,
                             const QStringList &engineOptions, WordPronouncer pronouncer)
    : m_commandModelWeight(std::clamp(commandModelWeight, 0.0, 1.0)),
      m_pronouncer(pronouncer ? std::move(pronouncer) : WordPronouncer([](const QStringList &words) {
          return EspeakPronouncer().pronounce(words);
      })),
      m_dictionary(paths.dictionary)
{
    QList<QByteArray> args = engineArguments(paths, engineOptions);
    paths.check();
    // Every table word outside it is added by reloading this copy.
    if (m_dictionary.size() == 0)
        throw Failure(QStringLiteral("The speech recogniser could not read its dictionary \"%1\".")
                          .arg(paths.dictionary));
    std::vector<char *> argv;
    for (QByteArray &arg : args)
        argv.push_back(arg.data());
    m_config = cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), argv.data(), TRUE);
    if (!m_config) {
        throw Failure(engineOptions.isEmpty()
                          ? QStringLiteral("The speech recogniser could not be configured.")
                          : QStringLiteral("The speech recogniser could not be configured with \"%1\".")
                                .arg(engineOptions.join(QLatin1Char(' '))));
    }
    m_decoder = ps_init(m_config);
    if (!m_decoder) {
        cmd_ln_free_r(m_config);
        throw Failure(QStringLiteral("The speech recogniser could not load its model from \"%1\".")
                          .arg(paths.acousticModel));
    }
    if (ps_set_lm_file(m_decoder, kDictationSearch, paths.languageModel.toLocal8Bit().constData()) < 0) {
        ps_free(m_decoder);
        cmd_ln_free_r(m_config);
        throw Failure(QStringLiteral("The speech recogniser could not load its language models."));
    }
    m_dictationModel = ps_get_lm(m_decoder, kDictationSearch);
}

SphinxDecoder::~SphinxDecoder()
{
    if (m_liveRunning)
        ps_end_utt(m_decoder);
    ps_free(m_decoder);
    if (m_commandModel)
        ngram_model_free(m_commandModel);
    cmd_ln_free_r(m_config);
}

QString SphinxDecoder::dictionaryPhones(const QString &word) const
{
    CString phones{ps_lookup_word(m_decoder, word.toUtf8().constData())};
    return phones.text ? QString::fromUtf8(phones.text) : QString();
}

QStringList SphinxDecoder::addMissingWords(const QStringList &words)
{
    QStringList missing;
    for (const QString &word : words) {
        if (dictionaryPhones(word).isEmpty())
            missing << word;
    }
    if (missing.isEmpty())
        return {};
    QHash<QString, QString> pronounced;
    try {
        pronounced = m_pronouncer(missing);
    } catch (const Failure &) {
        // Without eSpeak the words stay unpronounceable; their phrases are dropped.
    }
    QStringList unpronounceable;
    QHash<QString, QString> added;
    for (const QString &word : std::as_const(missing)) {
        const QString phones = pronounced.value(word);
        const QStringList names = phones.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        // One unknown phone would make the whole dictionary fail to load. A word
        // no one could say in one breath (a pasted run of letters or digits) is
        // no command word either.
        const bool known = !names.isEmpty() && names.size() <= kMaxWordPhones &&
                           std::all_of(names.begin(), names.end(),
                                       [](const QString &n) { return CmuPhones::all().contains(n); });
        if (known)
            added.insert(word, names.join(QLatin1Char(' ')));
        else
            unpronounceable << word;
    }
    if (!added.isEmpty())
        unpronounceable << loadDictionaryWith(added);
    return unpronounceable;
}

// ps_add_word would be the obvious call, but it also adds the word to every
// language model in use, and the dictation model is shared by two searches: it
// received each word twice, and after a few dozen words its scoring read out of
// bounds and the recogniser crashed. A reloaded dictionary leaves the language
// models alone; the command model knows the new words from its own phrases.
QStringList SphinxDecoder::loadDictionaryWith(const QHash<QString, QString> &words)
{
    QTemporaryFile merged(QDir::tempPath() + QStringLiteral("/kestrel-dictionary-XXXXXX.dict"));
    if (!merged.open())
        return words.keys();
    // The copy read at start-up, so that the decoder's words and the lookups'
    // stay the same even if the file is replaced meanwhile.
    QByteArray text = m_dictionary.text();
    if (!text.isEmpty() && !text.endsWith('\n'))
        text += '\n';
    QHash<QString, QString> all = m_addedWords;
    all.insert(words);
    for (auto it = all.cbegin(); it != all.cend(); ++it)
        text += it.key().toUtf8() + ' ' + it.value().toLatin1() + '\n';
    if (merged.write(text) != text.size() || !merged.flush())
        return words.keys();
    if (ps_load_dict(m_decoder, merged.fileName().toLocal8Bit().constData(), nullptr, nullptr) < 0)
        return words.keys();
    // The load reports success even when it skipped a line it would not take;
    // a word it skipped is missing, and the grammar would fail on it. Known
    // before the lookups see the new words, so that they never answer for one.
    QStringList skipped;
    for (auto it = words.cbegin(); it != words.cend(); ++it) {
        if (dictionaryPhones(it.key()).isEmpty()) {
            skipped << it.key();
            all.remove(it.key());
        }
    }
    std::lock_guard guard(m_wordsLock);
    m_addedWords = all;
    return skipped;
}

QStringList SphinxDecoder::setCommandPhrases(const QStringList &phrases)
{
    std::lock_guard guard(m_lock);
    if (m_liveRunning) {
        // Listening goes on all day: a phrase added meanwhile must still be heard,
        // the next time the speaker pauses.
        queueCommandPhrases(phrases);
        return {};
    }
    takePendingPhrases();
    return applyCommandPhrases(phrases);
}

// Only the small lock: the caller is the window, and a build in progress holds
// the decoder's lock for seconds.
void SphinxDecoder::queueCommandPhrases(const QStringList &phrases)
{
    std::lock_guard guard(m_pendingLock);
    m_pendingPhrases = phrases;
}

bool SphinxDecoder::commandPhrasesPending() const
{
    std::lock_guard guard(m_pendingLock);
    return m_pendingPhrases.has_value();
}

std::optional<QStringList> SphinxDecoder::takePendingPhrases()
{
    std::lock_guard guard(m_pendingLock);
    return std::exchange(m_pendingPhrases, std::nullopt);
}

void SphinxDecoder::applyQueuedPhrasesUnlessListening()
{
    std::lock_guard guard(m_lock);
    if (!m_liveRunning)
        applyPendingPhrases();
}

void SphinxDecoder::applyPendingPhrases()
{
    const std::optional<QStringList> pending = takePendingPhrases();
    if (!pending)
        return;
    const QStringList &phrases = *pending;
    try {
        const QStringList dropped = applyCommandPhrases(phrases);
        if (!dropped.isEmpty()) {
            qWarning().noquote() << "These command phrases cannot be heard, for want of a pronunciation:"
                                 << dropped.join(QStringLiteral(", "));
        }
    } catch (const Failure &failure) {
        // The grammar in force stays and dictation goes on, but the new phrases
        // will not be heard as commands: no caller waits here to be told.
        qWarning().noquote() << "The command phrases were not updated:" << failure.description();
    }
}

QStringList SphinxDecoder::applyCommandPhrases(const QStringList &phrases)
{
    const CommandGrammar::Pronunciation pronunciation = [this](const QString &word) {
        return dictionaryPhones(word);
    };
    CommandGrammar grammar = CommandGrammar::build(phrases, pronunciation);
    const QStringList unpronounceable = addMissingWords(grammar.words);
    QStringList dropped;
    if (!unpronounceable.isEmpty()) {
        const QSet<QString> bad(unpronounceable.begin(), unpronounceable.end());
        QStringList kept;
        for (const QString &phrase : std::as_const(grammar.phrases)) {
            const QStringList words = phrase.split(QLatin1Char(' '));
            const bool ok =
                std::none_of(words.begin(), words.end(), [&](const QString &w) { return bad.contains(w); });
            (ok ? kept : dropped) << phrase;
        }
        grammar = CommandGrammar::build(kept, pronunciation);
    }
    // A grammar that fails leaves the search built before it in place, and with it
    // the phrases the decoder still knows: commands go on being heard.
    if (ps_set_jsgf_string(m_decoder, kCommandSearch, grammar.jsgf.toUtf8().constData()) < 0)
        throw Failure(QStringLiteral("The command grammar could not be built."));
    // Known before the command model is, so that the phrases the grammar search
    // names are commands even when the model cannot follow (a full disk).
    m_grammar = grammar;
    m_hasCommands = true;
    setCommandModel(grammar);
    returnFreedMemory();
    return dropped;
}

void SphinxDecoder::setCommandModel(const CommandGrammar &grammar)
{
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/kestrel-commands-XXXXXX.arpa"));
    if (!file.open() || file.write(CommandLanguageModel::arpa(grammar).toUtf8()) < 0 || !file.flush())
        throw Failure(QStringLiteral("The command language model could not be written to \"%1\".")
                          .arg(file.fileName()));
    ngram_model_t *commands = ngram_model_read(m_config, file.fileName().toLocal8Bit().constData(),
                                               NGRAM_ARPA, ps_get_logmath(m_decoder));
    if (!commands)
        throw Failure(QStringLiteral("The command language model could not be read."));
    // The set sizes its merged vocabulary by its first model and never grows it:
    // with the few command words first, every dictation word went down one of a
    // few dozen hash chains and each table edit took seconds of a core.
    ngram_model_t *models[] = {ngram_model_retain(m_dictationModel), commands};
    char dictationName[] = "dictation";
    char commandsName[] = "commands";
    char *names[] = {dictationName, commandsName};
    const float32 weights[] = {float32(1.0 - m_commandModelWeight), float32(m_commandModelWeight)};
    ngram_model_t *mixed = ngram_model_set_init(m_config, models, names, weights, 2);
    if (!mixed) {
        ngram_model_free(models[0]);
        ngram_model_free(models[1]);
        throw Failure(QStringLiteral("The command language model could not be mixed with dictation."));
    }
    // Our own reference outlives the search that uses it, whether or not the
    // search takes one of its own.
    const int rc = ps_set_lm(m_decoder, kCommandModelSearch, mixed);
    if (m_commandModel)
        ngram_model_free(m_commandModel);
    m_commandModel = mixed;
    if (rc < 0)
        throw Failure(QStringLiteral("The command language model could not be set."));
    m_hasCommandModel = true;
}

bool SphinxDecoder::isCommand(const QStringList &words, CommandGrammar::SoundAlikes soundAlikes) const
{
    std::lock_guard guard(m_lock);
    return m_grammar.accepts(words, soundAlikes);
}

bool SphinxDecoder::isNumberForm(const QStringList &words) const
{
    std::lock_guard guard(m_lock);
    return m_grammar.isNumberForm(words);
}

bool SphinxDecoder::isAnswer(const QStringList &words) const
{
    std::lock_guard guard(m_lock);
    return m_grammar.isAnswer(words);
}

bool SphinxDecoder::hasCommandSearch() const
{
    std::lock_guard guard(m_lock);
    return m_hasCommands;
}

void SphinxDecoder::selectSearch(const char *search)
{
    // Setting a search again is needed after its grammar was replaced.
    if (ps_set_search(m_decoder, search) < 0)
        throw Failure(
            QStringLiteral("The speech recogniser has no \"%1\" search.").arg(QLatin1String(search)));
}

SphinxHypothesis SphinxDecoder::hypothesis(int nbest)
{
    SphinxHypothesis hyp;
    int32 score = 0;
    ps_get_hyp(m_decoder, &score);
    hyp.score = score;
    hyp.frames = ps_get_n_frames(m_decoder);
    for (ps_seg_t *seg = ps_seg_iter(m_decoder); seg; seg = ps_seg_next(seg)) {
        const QString word = cleanDecoderWord(ps_seg_word(seg));
        if (!word.isEmpty()) {
            hyp.words << word;
            int first = 0;
            int last = 0;
            ps_seg_frames(seg, &first, &last);
            hyp.wordFrames += last - first + 1;
        }
    }
    if (nbest > 0 && !hyp.words.isEmpty()) {
        QSet<QString> seen{hyp.words.join(QLatin1Char(' '))};
        int visited = 0;
        ps_nbest_t *it = ps_nbest(m_decoder);
        while (it && hyp.nbest.size() < nbest && visited < 20) {
            ++visited;
            QStringList words;
            ps_seg_t *seg = ps_nbest_seg(it);
            for (; seg; seg = ps_seg_next(seg)) {
                const QString word = cleanDecoderWord(ps_seg_word(seg));
                if (!word.isEmpty())
                    words << word;
            }
            const QString key = words.join(QLatin1Char(' '));
            if (!words.isEmpty() && !seen.contains(key)) {
                seen.insert(key);
                hyp.nbest << words;
            }
            it = ps_nbest_next(it);
        }
        if (it)
            ps_nbest_free(it);
    }
    return hyp;
}

SphinxHypothesis SphinxDecoder::decode(const char *search, std::span<const int16_t> samples, int nbest)
{
    std::lock_guard guard(m_lock);
    if (m_liveRunning)
        throw Failure(QStringLiteral("The speech recogniser is busy with live audio."));
    selectSearch(search);
    if (ps_start_utt(m_decoder) < 0)
        throw Failure(QStringLiteral("The speech recogniser could not start an utterance."));
    {
        const WholeUtteranceNormalisation normalisation(m_decoder);
        ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, TRUE);
        ps_end_utt(m_decoder);
    }
    return hypothesis(nbest);
}

SphinxHypothesis SphinxDecoder::align(const QStringList &words, std::span<const int16_t> samples)
{
    std::lock_guard guard(m_lock);
    if (m_liveRunning)
        throw Failure(QStringLiteral("The speech recogniser is busy with live audio."));
    if (words.isEmpty())
        return {};
    fsg_model_t *fsg = fsg_model_init(kAlignmentSearch, ps_get_logmath(m_decoder),
                                      float32(cmd_ln_float32_r(m_config, "-lw")), int32(words.size() + 1));
    for (qsizetype i = 0; i < words.size(); ++i) {
        const int wid = fsg_model_word_add(fsg, words[i].toUtf8().constData());
        fsg_model_trans_add(fsg, int32(i), int32(i + 1), 0, wid);
    }
    fsg->start_state = 0;
    fsg->final_state = int32(words.size());
    const int rc = ps_set_fsg(m_decoder, kAlignmentSearch, fsg);
    fsg_model_free(fsg); // the search holds its own reference
    if (rc < 0 || ps_set_search(m_decoder, kAlignmentSearch) < 0 || ps_start_utt(m_decoder) < 0)
        return {};
    {
        const WholeUtteranceNormalisation normalisation(m_decoder);
        ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, TRUE);
        ps_end_utt(m_decoder);
    }
    SphinxHypothesis hyp = hypothesis(0);
    // A search that never reached the last word reports the best partial path,
    // whose score says nothing about the whole sentence.
    return hyp.words == words ? hyp : SphinxHypothesis{};
}

void SphinxDecoder::startLive(const char *search)
{
    std::lock_guard guard(m_lock);
    if (m_liveRunning)
        return;
    applyPendingPhrases();
    m_liveSearch = search;
    selectSearch(liveSearch());
    if (ps_start_utt(m_decoder) < 0)
        throw Failure(QStringLiteral("The speech recogniser could not start an utterance."));
    m_liveRunning = true;
}

// The command model exists only once a grammar and its model were built; until
// then, and if none ever builds (no room for its temporary file), live audio is
// dictation.
const char *SphinxDecoder::liveSearch() const
{
    if (m_liveSearch == kCommandModelSearch && !m_hasCommandModel)
        return kDictationSearch;
    return m_liveSearch.constData();
}

bool SphinxDecoder::processLive(std::span<const int16_t> samples)
{
    std::lock_guard guard(m_lock);
    if (!m_liveRunning)
        return false;
    if (commandPhrasesPending() && !ps_get_in_speech(m_decoder)) {
        // Nobody is speaking, so the open utterance holds only silence: closing it
        // for the new searches loses nothing, and the next words are heard with them.
        ps_end_utt(m_decoder);
        m_liveRunning = false;
        applyPendingPhrases();
        selectSearch(liveSearch());
        if (ps_start_utt(m_decoder) < 0)
            throw Failure(QStringLiteral("The speech recogniser could not start an utterance."));
        m_liveRunning = true;
    }
    ps_process_raw(m_decoder, samples.data(), samples.size(), FALSE, FALSE);
    return ps_get_in_speech(m_decoder) != 0;
}

QStringList SphinxDecoder::livePartial()
{
    std::lock_guard guard(m_lock);
    if (!m_liveRunning)
        return {};
    int32 score = 0;
    const char *hyp = ps_get_hyp(m_decoder, &score);
    return hyp ? QString::fromUtf8(hyp).split(QLatin1Char(' '), Qt::SkipEmptyParts) : QStringList{};
}

SphinxHypothesis SphinxDecoder::endLive(int nbest)
{
    std::lock_guard guard(m_lock);
    if (!m_liveRunning)
        return {};
    m_liveRunning = false;
    ps_end_utt(m_decoder);
    return hypothesis(nbest);
}

QString SphinxDecoder::pronunciation(const QString &word)
{
    return pronunciations({word}).value(0);
}

QStringList SphinxDecoder::pronunciations(const QStringList &words)
{
    // The caller holds m_wordsLock.
    const auto lookUp = [this](const QString &word) {
        const QString phones = m_dictionary.phones(word);
        return phones.isEmpty() ? m_addedWords.value(word, m_heardWords.value(word)) : phones;
    };
    QStringList phones;
    QStringList unknown;
    QSet<QString> asked;
    {
        std::lock_guard guard(m_wordsLock);
        for (const QString &word : words) {
            const QString lower = word.toLower();
            // Typed text keeps its punctuation on its words ("hello,"), and text
            // from a word processor its curly apostrophes ("don\u2019t", which
            // also close a quotation): the word itself is known, where eSpeak
            // would cost the window a run for it.
            const QString bare = withoutOuterPunctuation(lower);
            QString known;
            for (const QString &form : {lower, straightApostrophes(lower), bare, straightApostrophes(bare)}) {
                if (!form.isEmpty())
                    known = lookUp(form);
                if (!known.isEmpty())
                    break;
            }
            // A word eSpeak answered with nothing (a sign alone) gets the same
            // answer every time, and each Emulate of text holding it cost a run.
            if (known.isEmpty() && !m_heardWords.contains(lower) && !asked.contains(lower)) {
                asked.insert(lower);
                unknown << lower;
            }
            phones << known;
        }
    }
    if (unknown.isEmpty())
        return phones;
    QHash<QString, QString> pronounced;
    try {
        pronounced = m_pronouncer(unknown);
    } catch (const Failure &) {
        // Without eSpeak a word simply has no pronunciation.
    }
    std::lock_guard guard(m_wordsLock);
    // Bounded for a program that runs all day on dictation.
    if (m_heardWords.size() + pronounced.size() > kMaxHeardWords)
        m_heardWords.clear();
    for (auto it = pronounced.cbegin(); it != pronounced.cend(); ++it)
        m_heardWords.insert(it.key(), it.value());
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (phones[i].isEmpty())
            phones[i] = pronounced.value(words[i].toLower());
    }
    return phones;
}

} // namespace kestrel
