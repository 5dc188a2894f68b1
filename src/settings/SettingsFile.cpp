#include "settings/SettingsFile.h"

#include "common/Failure.h"
#include "common/RegularFile.h"
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

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; the five codes it leaves
// undefined keep their Latin-1 meaning, as Windows itself converts them.
QString fromWindows1252(const QByteArray &raw)
{
    static constexpr char16_t High[32] = {
        u'\u20ac', u'\u0081', u'\u201a', u'\u0192', u'\u201e', u'\u2026', u'\u2020', u'\u2021',
        u'\u02c6', u'\u2030', u'\u0160', u'\u2039', u'\u0152', u'\u008d', u'\u017d', u'\u008f',
        u'\u0090', u'\u2018', u'\u2019', u'\u201c', u'\u201d', u'\u2022', u'\u2013', u'\u2014',
        u'\u02dc', u'\u2122', u'\u0161', u'\u203a', u'\u0153', u'\u009d', u'\u017e', u'\u0178'};
    QString text;
    text.reserve(raw.size());
    for (const char c : raw) {
        const auto byte = static_cast<unsigned char>(c);
        text.append(byte >= 0x80 && byte < 0xa0 ? QChar(High[byte - 0x80]) : QChar(byte));
    }
    return text;
}

// A line that is not text in the system encoding is read as Windows-1252, the
// 8-bit encoding of a settings file written or edited on Windows: substitution
// characters would lose its letters for good once a save writes the value back.
DecodedLine decodeLine(const QByteArray &raw)
{
    // Stateless: a line is a whole text. A stateful decoder keeps a byte that
    // begins a longer character at the end of the line back for input that never
    // comes, reports no error, and the byte is lost.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    DecodedLine line;
    line.text = decoder(raw);
    line.exact = !decoder.hasError();
    if (!line.exact)
        line.text = fromWindows1252(raw);
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
