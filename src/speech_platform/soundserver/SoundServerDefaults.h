#pragma once

#include <QAudioDevice>
#include <QByteArray>
#include <QList>

#include <chrono>
#include <memory>

namespace kestrel {

/// The sound server's default recording and playback devices, kept up to date
/// while the program runs, and again once a server that went away (restarted)
/// is back.
///
/// Qt's sound-server backend (Qt 6.4) does not know them: it takes the first
/// source it was told of, so on a machine with a built-in microphone and a
/// headset the user made the default, the built-in one was listened to; and
/// it never hears that the default output changed (a headset plugged in that
/// the desktop switches to). This asks PulseAudio (or PipeWire's PulseAudio
/// service) itself, over a connection of its own that hears of every change
/// of the defaults.
///
/// Without a server, or before it has answered, the name is empty and callers
/// keep to Qt's choice. The constructor waits at most `firstAnswer` for the
/// server's first answer; it never starts a server.
class SoundServerDefaults
{
public:
    /// How long callers give the server to answer before they take it for
    /// stopped; a busy one answers within milliseconds.
    static constexpr std::chrono::milliseconds kAnswerTime{500};

    explicit SoundServerDefaults(std::chrono::milliseconds firstAnswer = std::chrono::milliseconds(1000));
    ~SoundServerDefaults();
    SoundServerDefaults(const SoundServerDefaults &) = delete;
    SoundServerDefaults &operator=(const SoundServerDefaults &) = delete;

    /// The default source's name (a QAudioDevice id); empty when unknown.
    QByteArray defaultSource() const;
    /// The default sink's name (a QAudioDevice id); empty when unknown.
    QByteArray defaultSink() const;

    /// The server is connected but has not answered a request within `within`:
    /// it has stopped (suspended, swapped out, hung). Qt's sound backend waits
    /// without a limit for a stream it opens to be ready, on the caller's
    /// thread, so callers ask this first. False without a connection: a server
    /// that is gone makes Qt's open fail at once.
    bool silent(std::chrono::milliseconds within) const;

    /// `devices` with the one named `serverDefault` first, or, when no device
    /// has that name (no server, or it has not answered), with Qt's default
    /// first. The order of the others is kept.
    static QList<QAudioDevice> defaultFirst(QList<QAudioDevice> devices, const QByteArray &serverDefault);

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace kestrel
