#pragma once

#include <QList>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <optional>

namespace kestrel {

/// A rule of the phrase's rule tree.
struct PhraseRule
{
    QString name;
    /// Absent when the rule has no children collection.
    std::optional<QList<PhraseRule>> children;
};

/// A semantic property of the phrase.
struct PhraseProperty
{
    QString name;
    QVariant value; ///< invalid, zero or empty string counts as "no value"
    std::optional<QList<PhraseProperty>> children;
};

/// One recognised word.
struct PhraseElement
{
    QString displayText;
    QList<int> pronunciation; ///< phone ids; see PhoneConverter
};

/// What the engine knows of one phrase (the recognised one or an alternate).
struct PhraseInfo
{
    /// Word texts as heard, and the same with replacements applied ("one hundred"
    /// -> "100", "comma" -> ","), joined by the engine's rules.
    QString text;
    QString textWithReplacements;
    int languageId = 0x409; ///< US English
    PhraseRule rule;
    /// std::nullopt means the engine gave no collection at all, which the result
    /// tree shows differently from an empty one.
    std::optional<QList<PhraseProperty>> properties;
    std::optional<QList<PhraseElement>> elements;

    /// The text over all elements, with or without replacements.
    QString getText(bool useReplacements) const { return useReplacements ? textWithReplacements : text; }
};

/// A final (or false / hypothesis) recognition result, as a value snapshot.
struct RecognitionResult
{
    PhraseInfo phrase;
    /// Absent when the engine offers no alternates collection for this result.
    std::optional<QList<PhraseInfo>> alternates;
    /// Audio retained with the result (none is: no context keeps it).
    bool hasAudio = false;
    /// Typed text handed to EmulateRecognition, not something heard.
    bool emulated = false;
};

/// Event-interest flags of a recognition context (the classic values).
enum RecoEventFlag : qint32 {
    EventEndStream = 1,
    EventSoundStart = 2,
    EventSoundEnd = 4,
    EventPhraseStart = 8,
    EventRecognition = 16,
    EventHypothesis = 32,
    EventBookmark = 64,
    EventPropertyNumChange = 128,
    EventPropertyStringChange = 256,
    EventFalseRecognition = 512,
    EventInterference = 1024,
    EventRequestUI = 2048,
    EventRecognizerStateChange = 4096,
    EventAdaptation = 8192,
    EventStartStream = 16384,
    EventOtherContext = 32768,
    EventAudioLevel = 65536,
    EventPrivate = 262144,
};

} // namespace kestrel

Q_DECLARE_METATYPE(kestrel::RecognitionResult)
