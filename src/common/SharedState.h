#pragma once

#include <QString>

namespace kestrel {

/// The few values the windows and the interpreter share by design. One instance
/// lives in the application object and is passed by reference; nothing global.
struct SharedState
{
    /// Text of the last final recognition; written by the recognition handler,
    /// normalised in place by the dispatcher.
    QString RecoText;
    /// Set when feedback went to the clipboard; the clipboard monitor speaks the
    /// clipboard at its next tick even when the text did not change, then clears it.
    bool ClipboardSpeakNow = false;
    /// Whether listening was on when the latest speech stream started.
    bool ListeningBeforeSpeech = false;
};

} // namespace kestrel
