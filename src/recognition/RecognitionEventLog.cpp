#include "recognition/RecognitionEventLog.h"

#include "recognition/EventLogLines.h"

namespace kestrel {

QString phraseText(const RecognitionResult &result)
{
    return result.phrase.getText(true);
}

RecognitionEventLog::RecognitionEventLog(EventLogHost &host) : m_host(host) {}

void RecognitionEventLog::AddEventLine(qint32 streamNumber, const QVariant &streamPosition,
                                       const QString &eventName, const QString &details)
{
    if (!m_host.eventLogVisible())
        return;
    const QString stream = m_host.showStreamInfo() ? streamInfoText(streamNumber, streamPosition) : QString();
    m_host.appendEventLine(eventLine(m_eventIndent, eventName, stream, details));
}

// The indent changes happen whether or not the line is written, so a window
// shown in the middle of an utterance still indents the rest of it correctly.

void RecognitionEventLog::startStream(qint32 streamNumber, qint64 streamPosition)
{
    m_eventIndent = 0;
    AddEventLine(streamNumber, streamPosition, QStringLiteral("StartStream"), QString());
    m_eventIndent = 1;
}

void RecognitionEventLog::endStream(qint32 streamNumber, qint64 streamPosition, bool streamReleased)
{
    m_eventIndent = 0;
    AddEventLine(streamNumber, streamPosition, QStringLiteral("EndStream"),
                 EventDetails::endStream(streamReleased));
}

void RecognitionEventLog::soundStart(qint32 streamNumber, qint64 streamPosition)
{
    m_eventIndent = 1;
    AddEventLine(streamNumber, streamPosition, QStringLiteral("SoundStart"), QString());
    m_eventIndent = 2;
}

void RecognitionEventLog::soundEnd(qint32 streamNumber, qint64 streamPosition)
{
    m_eventIndent = 1;
    AddEventLine(streamNumber, streamPosition, QStringLiteral("SoundEnd"), QString());
}

void RecognitionEventLog::phraseStart(qint32 streamNumber, qint64 streamPosition)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("PhraseStart"), QString());
}

void RecognitionEventLog::hypothesis(qint32 streamNumber, qint64 streamPosition,
                                     const RecognitionResult &result)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("Hypothesis"),
                 EventDetails::phraseText(phraseText(result)));
}

void RecognitionEventLog::recognition(qint32 streamNumber, qint64 streamPosition, qint32 recognitionType,
                                      const QString &text)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("Recognition"),
                 EventDetails::recognition(text, recognitionType));
}

void RecognitionEventLog::falseRecognition(qint32 streamNumber, qint64 streamPosition,
                                           const RecognitionResult &result)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("FalseRecognition"),
                 EventDetails::phraseText(phraseText(result)));
}

void RecognitionEventLog::bookmark(qint32 streamNumber, qint64 streamPosition, const QVariant &bookmarkId,
                                   qint32 options)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("Bookmark"),
                 EventDetails::bookmark(bookmarkId, options));
}

void RecognitionEventLog::propertyNumberChange(qint32 streamNumber, qint64 streamPosition,
                                               const QString &name, qint32 value)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("PropertyNumberChange"),
                 EventDetails::propertyNumberChange(name, value));
}

void RecognitionEventLog::propertyStringChange(qint32 streamNumber, qint64 streamPosition,
                                               const QString &name, const QString &value)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("PropertyStringChange"),
                 EventDetails::propertyStringChange(name, value));
}

void RecognitionEventLog::interference(qint32 streamNumber, qint64 streamPosition, qint32 interference)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("Interference"),
                 EventDetails::interference(interference));
}

void RecognitionEventLog::requestUI(qint32 streamNumber, qint64 streamPosition, const QString &uiType)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("RequestUI"), EventDetails::requestUI(uiType));
}

void RecognitionEventLog::recognizerStateChange(qint32 streamNumber, qint64 streamPosition, qint32 newState)
{
    // Written under this name on purpose: users compare logs across versions.
    AddEventLine(streamNumber, streamPosition, QStringLiteral("RecognitionStateChange"),
                 EventDetails::recognizerStateChange(newState));
}

void RecognitionEventLog::adaptation(qint32 streamNumber, qint64 streamPosition)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("Adaptation"), QString());
}

void RecognitionEventLog::recognitionForOtherContext(qint32 streamNumber, qint64 streamPosition)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("RecognitionForOtherContext"), QString());
}

void RecognitionEventLog::audioLevel(qint32 streamNumber, qint64 streamPosition, qint32 level)
{
    AddEventLine(streamNumber, streamPosition, QStringLiteral("AudioLevel"), EventDetails::audioLevel(level));
}

void RecognitionEventLog::enginePrivate(qint32 streamNumber, qint64 streamPosition)
{
    // Engine data is opaque and may be large; only the event itself is listed.
    AddEventLine(streamNumber, streamPosition, QStringLiteral("EnginePrivate"), QString());
}

} // namespace kestrel
