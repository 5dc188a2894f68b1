#include "settings/SettingsFile.h"

#include "common/Failure.h"
#include "common/RegularFile.h"
#include "common/SystemText.h"
#include "settings/AtomicFile.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsValues.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

#include <array>

namespace kestrel {
namespace {

const QByteArray LineEnd = QByteArrayLiteral("\r\n");
/// A settings file holds a dozen short lines; one this large is not one.
constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// Lines end with CR LF as written, but a file edited elsewhere may use LF or CR
// alone; all three end a line. A last line without an ending still counts.
QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

struct DecodedLine
{
    QString text;
    bool exact = true; ///< false when the bytes were not valid in the system encoding
};

// A line that is not text in the system encoding is read as Windows-1252, the
// 8-bit encoding of a settings file written or edited on Windows: substitution
// characters would lose its letters for good once a save writes the value back.
DecodedLine decodeLine(const QByteArray &raw)
{
    DecodedLine line;
    line.text = decodeSystemText(raw, &line.exact);
    return line;
}

QByteArray encodeLine(const QString &text)
{
    QStringEncoder encoder(QStringConverter::System);
    return encoder(text);
}

// Upper-cases only ASCII letters, leaving every other byte as it was.
QByteArray asciiUpper(QByteArray bytes)
{
    for (char &c : bytes) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return bytes;
}

void assignValue(SettingsBinding &binding, SettingKey key, const QString &value)
{
    try {
        std::optional<qint32> number;
        switch (settingConversion(key)) {
        case SettingConversion::Text:
            binding.assignText(key, value);
            return;
        case SettingConversion::LeadingNumber:
            if (const std::optional<qint16> leading = leadingNumber(value))
                number = *leading;
            break;
        case SettingConversion::WholeNumber16:
            number = wholeNumberRoundedDown(value, 16, QLocale::system());
            break;
        case SettingConversion::WholeNumber32:
            number = wholeNumberRoundedDown(value, 32, QLocale::system());
            break;
        }
        if (number)
            binding.assignNumber(key, *number);
    } catch (const Failure &) {
        // A control that refuses its value keeps its state; loading goes on.
    }
}

QString settingLine(SettingKey key, const SettingsBinding &binding)
{
    QString value;
    if (isTextSetting(key)) {
        // A line break inside a text would split the setting line and could
        // smuggle in another key; the text is kept on its own line instead.
        value = binding.text(key);
        value.replace(QLatin1Char('\r'), QLatin1Char(' '));
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    } else {
        value = settingNumberText(binding.number(key));
    }
    return settingKeyName(key) + QLatin1Char('=') + value;
}

// A file that announces another Unicode encoding by its byte order mark (an
// editor's "Unicode" save: UTF-16 or UTF-32) is read as the text it holds, in
// the system encoding every line is read and written in. Taken byte by byte,
// its key lines would not match and a save would cut its characters apart.
QByteArray inSystemEncoding(const QByteArray &bytes)
{
    const std::optional<QStringConverter::Encoding> announced = QStringConverter::encodingForData(bytes);
    if (!announced || *announced == QStringConverter::Utf8 || *announced == QStringConverter::System)
        return bytes;
    QStringDecoder decoder(*announced);
    const QString text = decoder(bytes);
    return encodeLine(text);
}

// The file's bytes in the system encoding, or nothing when it does not exist.
std::optional<QByteArray> readSettingsFile(const QString &path, const QString &action)
{
    const QFileInfo info(path);
    if (!info.exists())
        return std::nullopt;
    const auto failure = [&](const QString &reason) {
        return Failure(QStringLiteral("Cannot %1 the settings file \"%2\": %3").arg(action, path, reason));
    };
    if (info.isDir())
        throw failure(QStringLiteral("it is a folder"));
    // Read whole at start-up: a FIFO in its place would wait for ever (and
    // logout could not end the program), a device would be read until memory
    // ran out.
    try {
        return inSystemEncoding(readRegularFile(path, kMaxSettingsFileBytes));
    } catch (const Failure &refused) {
        throw failure(refused.description());
    }
}

} // namespace

bool LoadDat(const QString &path, SettingsBinding &binding)
{
    const std::optional<QByteArray> bytes = readSettingsFile(path, QStringLiteral("read"));
    if (!bytes)
        return false;
    for (const QByteArray &raw : splitLines(*bytes)) {
        const QString line = decodeLine(raw).text;
        const std::optional<KeyLineMatch> match = matchKeyLine(line, loadKeyOrder());
        if (match)
            assignValue(binding, match->key, cutSettingValue(QStringView(line).mid(match->valueStart)));
    }
    return true;
}

bool LoadDat(SettingsBinding &binding)
{
    return LoadDat(settingsFileName(), binding);
}

void SaveDat(const QString &path, const SettingsBinding &binding)
{
    const std::optional<QByteArray> old = readSettingsFile(path, QStringLiteral("save"));

    std::array<bool, SettingKeyCount> written = {};
    QByteArray content;
    if (old) {
        for (const QByteArray &raw : splitLines(*old)) {
            const DecodedLine line = decodeLine(raw);
            if (const std::optional<KeyLineMatch> match = matchKeyLine(line.text, saveKeyOrder())) {
                content += encodeLine(settingLine(match->key, binding));
                written[static_cast<size_t>(match->key)] = true;
            } else if (line.exact) {
                content += encodeLine(line.text.toUpper());
            } else {
                // Bytes that are not text in the system encoding are kept as
                // they are rather than replaced by substitution characters.
                content += asciiUpper(raw);
            }
            content += LineEnd;
        }
    }
    for (SettingKey key : saveKeyOrder()) {
        if (!written[static_cast<size_t>(key)])
            content += encodeLine(settingLine(key, binding)) + LineEnd;
    }

    const QString temp = QFileInfo(path).dir().filePath(settingsTempName());
    try {
        replaceFileAtomically(path, temp, content);
    } catch (const Failure &failure) {
        throw Failure(
            QStringLiteral("Cannot save the settings file \"%1\": %2").arg(path, failure.description()));
    }
}

void SaveDat(const SettingsBinding &binding)
{
    SaveDat(settingsFileName(), binding);
}

} // namespace kestrel
