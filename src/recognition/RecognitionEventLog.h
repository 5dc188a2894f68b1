#pragma once

#include "speech_platform/RecognitionTypes.h"

#include <QString>
#include <QVariant>

namespace kestrel {

/// Where the event lines go and the two switches that shape them. The setup
/// window implements it; the switches are read at the moment of each line.
class EventLogHost
{
public:
    virtual ~EventLogHost() = default;
    /// Lines are written only while the window is visible; unseen events are
    /// not kept for later.
    virtual bool eventLogVisible() const = 0;
    /// ShowStreamInfo ticked (exactly state 1).
    virtual bool showStreamInfo() const = 0;
    virtual void appendEventLine(const QString &line) = 0;
};

/// The text of a result as the event list, the dispatcher and the tree see it:
/// all elements, replacements applied.
QString phraseText(const RecognitionResult &result);

/// One method per context event: keeps EventIndent following the stream and
/// writes the event's line through the host.
class RecognitionEventLog
{
public:
    explicit RecognitionEventLog(EventLogHost &host);

    int eventIndent() const { return m_eventIndent; }
    /// Back to the state of a freshly loaded window.
    void reset() { m_eventIndent = 0; }

    void AddEventLine(qint32 streamNumber, const QVariant &streamPosition, const QString &eventName,
                      const QString &details);

    void startStream(qint32 streamNumber, qint64 streamPosition);
    void endStream(qint32 streamNumber, qint64 streamPosition, bool streamReleased);
    void soundStart(qint32 streamNumber, qint64 streamPosition);
    void soundEnd(qint32 streamNumber, qint64 streamPosition);
    void phraseStart(qint32 streamNumber, qint64 streamPosition);
    void hypothesis(qint32 streamNumber, qint64 streamPosition, const RecognitionResult &result);
    /// The log line of a final recognition; the rest of that event is the window's.
    void recognition(qint32 streamNumber, qint64 streamPosition, qint32 recognitionType, const QString &text);
    void falseRecognition(qint32 streamNumber, qint64 streamPosition, const RecognitionResult &result);
    void bookmark(qint32 streamNumber, qint64 streamPosition, const QVariant &bookmarkId, qint32 options);
    void propertyNumberChange(qint32 streamNumber, qint64 streamPosition, const QString &name, qint32 value);
    void propertyStringChange(qint32 streamNumber, qint64 streamPosition, const QString &name,
                              const QString &value);
    void interference(qint32 streamNumber, qint64 streamPosition, qint32 interference);
    void requestUI(qint32 streamNumber, qint64 streamPosition, const QString &uiType);
    void recognizerStateChange(qint32 streamNumber, qint64 streamPosition, qint32 newState);
    void adaptation(qint32 streamNumber, qint64 streamPosition);
    void recognitionForOtherContext(qint32 streamNumber, qint64 streamPosition);
    void audioLevel(qint32 streamNumber, qint64 streamPosition, qint32 level);
    void enginePrivate(qint32 streamNumber, qint64 streamPosition);

private:
    EventLogHost &m_host;
    int m_eventIndent = 0;
};

} // namespace kestrel
