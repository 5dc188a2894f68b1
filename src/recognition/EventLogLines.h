#pragma once

#include <QString>
#include <QVariant>

namespace kestrel {

// Pure text rules of the recognition event list. Nothing here knows about
// windows; the event log and the window compose these into lines.

/// A variant as the event list writes it: numbers as plain decimal digits,
/// Booleans as "True"/"False", strings as themselves, nothing as "".
QString variantText(const QVariant &value);

/// " (StreamNum=N StreamPos=P)".
QString streamInfoText(qint32 streamNumber, const QVariant &streamPosition);

/// One line of the event list without its line break: four blanks per indent
/// level, the event name, the stream part (may be empty), the details.
QString eventLine(int indentLevel, const QString &eventName, const QString &streamInfo,
                  const QString &details);

// The details of each event, as written after the name and stream part.
namespace EventDetails {
QString endStream(bool streamReleased);
QString phraseText(const QString &text); ///< hypothesis, false recognition
QString recognition(const QString &text, qint32 recognitionType);
QString bookmark(const QVariant &bookmarkId, qint32 options);
QString propertyNumberChange(const QString &name, qint32 value);
QString propertyStringChange(const QString &name, const QString &value);
QString interference(qint32 interference);
QString requestUI(const QString &uiType);
QString recognizerStateChange(qint32 newState);
QString audioLevel(qint32 level);
} // namespace EventDetails

} // namespace kestrel
