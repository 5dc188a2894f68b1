#pragma once

#include <QList>
#include <QString>

namespace kestrel {

/// An installed engine, voice or audio device: a stable identifier and the
/// description shown to the user. Token lists keep their order between calls.
struct SpeechToken
{
    QString id;
    QString description;
    bool operator==(const SpeechToken &) const = default;
};

using SpeechTokenList = QList<SpeechToken>;

} // namespace kestrel
