#include "common/SystemText.h"

#include <QStringDecoder>

namespace kestrel {

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

// Substitution characters would lose the letters for good, once a save writes
// the text back or the voice reads it.
QString decodeSystemText(const QByteArray &raw, bool *exact)
{
    // Stateless: the bytes are a whole text. A stateful decoder keeps a byte that
    // begins a longer character at the end back for input that never comes,
    // reports no error, and the byte is lost.
    QStringDecoder decoder(QStringConverter::System, QStringConverter::Flag::Stateless);
    QString text = decoder(raw);
    const bool valid = !decoder.hasError();
    if (exact)
        *exact = valid;
    return valid ? text : fromWindows1252(raw);
}

} // namespace kestrel
