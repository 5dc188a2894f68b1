#pragma once

#include "speech_platform/AudioFormats.h"
#include "speech_platform/SpeechToken.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace kestrel {

/// What to say and how: one stream of the voice.
struct SynthesisRequest
{
    int stream = 0;
    QString text;
    bool isXml = false;
    QString voiceId;
    int wordsPerMinute = 175;
    int volume = 100; ///< eSpeak's scale
    AudioFormatInfo format;
};

/// An event of a stream, already in the program's terms, with the moment of the
/// stream's audio it belongs to.
struct VoiceEventRecord
{
    enum class Kind { Word, Sentence, Bookmark, Viseme, Phoneme };
    Kind kind = Kind::Word;
    qint64 audioUSecs = 0;
    int position = 0; ///< Word, Sentence: 0-based in the text as given
    int length = 0;   ///< Word, Sentence
    int phoneId = 0;  ///< Phoneme
    int viseme = 0;   ///< Viseme
    QString name;     ///< Bookmark
    int bookmarkId = 0;
};

/// A piece of a stream: audio in the stream's output format and the events
/// found while making it. The last piece of a stream has `last` set.
struct SynthesisChunk
{
    int stream = 0;
    QByteArray audio;
    std::int64_t sourceFrames = 0;
    std::int64_t outputFrames = 0;
    std::vector<VoiceEventRecord> events;
    bool last = false;
};

/// eSpeak NG behind a worker thread.
///
/// eSpeak keeps one global instance per process, so only one synthesiser may
/// exist at a time (a second one throws Failure) and every eSpeak call after
/// start-up is made on the worker thread. eSpeak is initialised once per process
/// and stays so until the process ends.
///
/// The worker synthesises requests in order in eSpeak's synchronous mode,
/// converts the samples to each request's format and queues the pieces for the
/// user-interface thread, which collects them with take(). It keeps at most a few
/// seconds of audio queued ahead, so a long text costs no more memory than a
/// short one. `wake` is called from the worker whenever a piece is queued.
class EspeakSynthesizer
{
public:
    /// Throws kestrel::Failure when eSpeak NG cannot start, has no voices, or is
    /// already in use in this process.
    explicit EspeakSynthesizer(std::function<void()> wake);
    ~EspeakSynthesizer();
    EspeakSynthesizer(const EspeakSynthesizer &) = delete;
    EspeakSynthesizer &operator=(const EspeakSynthesizer &) = delete;

    /// The installed voices: the default voice (American English) first, then
    /// eSpeak's list in its own order. The same list on every call.
    const SpeechTokenList &voices() const { return m_voices; }
    /// eSpeak's own output rate.
    int sampleRate() const { return m_sampleRate; }

    void submit(SynthesisRequest request);
    /// Drops every request with a stream number up to `stream`: queued, being
    /// synthesised, or waiting to be taken.
    void cancelThrough(int stream);
    /// The next piece of `stream`, if one is ready. Pieces of earlier or
    /// cancelled streams that are still queued are dropped on the way.
    std::optional<SynthesisChunk> take(int stream);

    /// Called by eSpeak (through a plain function) on the worker thread.
    struct Run;
    bool deliver(Run &run, const short *samples, int count, const void *events);

private:
    void work();
    void synthesize(const SynthesisRequest &request);
    bool push(SynthesisChunk chunk);
    void dropFront();
    bool isCancelled(int stream) const { return stream <= m_cancelledThrough.load(); }

    std::function<void()> m_wake;
    SpeechTokenList m_voices;
    int m_sampleRate = 0;

    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_roomAvailable;
    std::deque<SynthesisRequest> m_requests;
    std::deque<SynthesisChunk> m_chunks;
    std::int64_t m_queuedFrames = 0;
    std::atomic<int> m_cancelledThrough{0};
    std::atomic<bool> m_stopping{false};
    std::thread m_worker;
};

} // namespace kestrel
