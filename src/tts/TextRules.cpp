#include "tts/TextRules.h"

#include "common/Failure.h"
#include "common/RegularFile.h"
#include "common/SystemText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

namespace kestrel {

QString textBoxForm(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            result.append(u'\n');
            break;
        case QChar::ParagraphSeparator:
        case QChar::LineSeparator:
        case 0xfdd0: // the text document's frame markers
        case 0xfdd1:
            result.append(u'\n');
            break;
        case QChar::Nbsp:
            result.append(u' ');
            break;
        default:
            result.append(QChar(c));
        }
    }
    return result;
}

bool clipboardWantsSpeaking(int monitorState, const QString &clipboard, const QString &boxText,
                            bool clipboardSpeakNow)
{
    if (monitorState != 1)
        return false;
    return clipboardSpeakNow || textBoxForm(clipboard) != boxText;
}

DialogFilter toQtFileFilter(const QString &classic, int selectedIndex)
{
    const QStringList parts = classic.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString label = parts.at(i).trimmed();
        // The label usually repeats its patterns in parentheses; Qt reads the
        // patterns from there, so the label's own copy is replaced.
        const qsizetype open = label.lastIndexOf(QLatin1Char('('));
        if (open > 0 && label.endsWith(QLatin1Char(')')))
            label = label.left(open).trimmed();
        QStringList patterns;
        for (const QString &pattern : parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts))
            patterns << (pattern.trimmed() == QLatin1String("*.*") ? QStringLiteral("*") : pattern.trimmed());
        entries << QStringLiteral("%1 (%2)").arg(label, patterns.join(QLatin1Char(' ')));
    }
    DialogFilter result;
    result.filters = entries.join(QStringLiteral(";;"));
    if (selectedIndex >= 1 && selectedIndex <= entries.size())
        result.selected = entries.at(selectedIndex - 1);
    return result;
}

QString GetDirectory(const QProcessEnvironment &environment)
{
    const QString folder = environment.value(QStringLiteral("KESTREL_SAMPLES_DIR"));
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return {};
    return QDir::cleanPath(folder);
}

std::optional<QString> readTextFile(const QString &path, qint64 maxBytes)
{
    // Chosen in a file dialog: a FIFO or a terminal there would otherwise block
    // the whole program until someone wrote to it.
    QByteArray bytes;
    try {
        bytes = readRegularFile(path, maxBytes);
    } catch (const Failure &) {
        return std::nullopt;
    }
    // A byte order mark names the encoding (Notepad's "Unicode" is UTF-16);
    // without one the text is the system's own, or Windows' 8-bit one.
    if (const auto named = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decode(*named);
        return QString(decode(bytes));
    }
    bool exact = false;
    QString text = decodeSystemText(bytes, &exact);
    if (exact)
        return text;
    // Text pasted together from two sources: each line is read as it was
    // written, so one stray byte does not garble the letters of the rest.
    QStringList lines;
    for (const QByteArray &line : bytes.split('\n'))
        lines << decodeSystemText(line);
    return lines.join(QLatin1Char('\n'));
}

} // namespace kestrel
