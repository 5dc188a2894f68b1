#include "recognition/EventLogLines.h"

#include <QLocale>

namespace kestrel {

QString variantText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QString::number(value.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QString::number(value.toULongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        // Shortest text that reads back to the same number: "0.1", not
        // "0.10000000000000001".
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    default:
        return value.toString();
    }
}

QString streamInfoText(qint32 streamNumber, const QVariant &streamPosition)
{
    return QStringLiteral(" (StreamNum=") + QString::number(streamNumber) + QStringLiteral(" StreamPos=") +
           variantText(streamPosition) + QLatin1Char(')');
}

QString eventLine(int indentLevel, const QString &eventName, const QString &streamInfo,
                  const QString &details)
{
    // A negative level can only come from a corrupted counter; write no indent
    // rather than fail on a diagnostic line.
    const int blanks = indentLevel > 0 ? indentLevel * 4 : 0;
    return QString(blanks, QLatin1Char(' ')) + eventName + streamInfo + details;
}

namespace EventDetails {

QString endStream(bool streamReleased)
{
    return QStringLiteral(" [Stream Released=") +
           (streamReleased ? QStringLiteral("True") : QStringLiteral("False")) + QLatin1Char(']');
}

QString phraseText(const QString &text)
{
    return QStringLiteral(" [Text=") + text + QLatin1Char(']');
}

QString recognition(const QString &text, qint32 recognitionType)
{
    return QStringLiteral(" [Text=") + text + QStringLiteral(", RecoType=") +
           QString::number(recognitionType) + QLatin1Char(']');
}

QString bookmark(const QVariant &bookmarkId, qint32 options)
{
    return QStringLiteral(" [Data=") + variantText(bookmarkId) + QStringLiteral(" Option=") +
           QString::number(options) + QLatin1Char(']');
}

QString propertyNumberChange(const QString &name, qint32 value)
{
    return QStringLiteral(" [Name=") + name + QStringLiteral(" Value=") + QString::number(value) +
           QLatin1Char(']');
}

QString propertyStringChange(const QString &name, const QString &value)
{
    return QStringLiteral(" [Name=") + name + QStringLiteral(" Value=") + value + QLatin1Char(']');
}

QString interference(qint32 interference)
{
    return QStringLiteral(" [Value=") + QString::number(interference) + QLatin1Char(']');
}

QString requestUI(const QString &uiType)
{
    return QStringLiteral(" [Type=") + uiType + QLatin1Char(']');
}

QString recognizerStateChange(qint32 newState)
{
    return QStringLiteral(" [NewState=") + QString::number(newState) + QLatin1Char(']');
}

QString audioLevel(qint32 level)
{
    return QStringLiteral(" [Level=") + QString::number(level) + QLatin1Char(']');
}

} // namespace EventDetails
} // namespace kestrel
