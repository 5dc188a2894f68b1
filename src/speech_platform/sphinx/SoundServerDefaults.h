#pragma once

#include <QByteArray>

#include <chrono>
#include <memory>

namespace kestrel {

/// The sound server's default recording device, kept up to date while the
/// program runs.
///
/// Qt's sound-server backend (Qt 6.4) does not know it: it takes the first
/// source it was told of, so on a machine with a built-in microphone and a
/// headset the user made the default, the built-in one was listened to. This
/// asks PulseAudio (or PipeWire's PulseAudio service) itself, over a
/// connection of its own that hears of every change of the default.
///
/// Without a server, or before it has answered, the name is empty and callers
/// keep to Qt's choice. The constructor waits at most `firstAnswer` for the
/// server's first answer; it never starts a server.
class SoundServerDefaults
{
public:
    explicit SoundServerDefaults(std::chrono::milliseconds firstAnswer = std::chrono::milliseconds(1000));
    ~SoundServerDefaults();
    SoundServerDefaults(const SoundServerDefaults &) = delete;
    SoundServerDefaults &operator=(const SoundServerDefaults &) = delete;

    /// The default source's name (a QAudioDevice id); empty when unknown.
    QByteArray defaultSource() const;

private:
    struct Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace kestrel
