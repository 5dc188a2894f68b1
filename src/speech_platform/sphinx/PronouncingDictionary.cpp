#include "speech_platform/sphinx/PronouncingDictionary.h"

#include <QByteArrayView>
#include <QFile>

#include <algorithm>
#include <limits>

namespace kestrel {
namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

/// The word that starts here, up to the blank after it.
QByteArrayView wordAt(const QByteArray &text, uint32_t start)
{
    qsizetype end = start;
    while (end < text.size() && text[end] != '\n' && !isBlank(text[end]))
        ++end;
    return QByteArrayView(text).sliced(start, end - start);
}

/// "read" for "read(2)", one of the word's other pronunciations; empty for a word.
QByteArrayView baseOfAlternate(QByteArrayView word)
{
    if (!word.endsWith(')'))
        return {};
    const qsizetype open = word.lastIndexOf('(');
    return open > 0 ? word.first(open) : QByteArrayView();
}

} // namespace

PronouncingDictionary::PronouncingDictionary(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        *this = fromText(file.readAll());
}

PronouncingDictionary PronouncingDictionary::fromText(QByteArray text)
{
    PronouncingDictionary dictionary;
    // Offsets are 32 bits: a dictionary of 4 GiB is no dictionary.
    if (text.size() >= std::numeric_limits<uint32_t>::max())
        return dictionary;
    dictionary.m_text = std::move(text);
    const QByteArray &t = dictionary.m_text;
    std::vector<uint32_t> &lines = dictionary.m_lines;
    for (qsizetype at = 0; at < t.size();) {
        qsizetype end = t.indexOf('\n', at);
        if (end < 0)
            end = t.size();
        const QByteArrayView line = QByteArrayView(t).sliced(at, end - at);
        qsizetype start = at;
        while (start < end && isBlank(t[start]))
            ++start;
        const QByteArrayView word = wordAt(t, uint32_t(start));
        const QByteArrayView rest = QByteArrayView(t).sliced(start + word.size(), end - start - word.size());
        const bool comment = line.startsWith("##") || line.startsWith(";;");
        // A word without phones is skipped, as the decoder skips it.
        const bool pronounced = !rest.trimmed().isEmpty();
        if (!comment && !word.isEmpty() && pronounced)
            lines.push_back(uint32_t(start));
        at = end + 1;
    }
    // Stable, so that of two lines for one word the first stays first.
    std::stable_sort(lines.begin(), lines.end(),
                     [&t](uint32_t a, uint32_t b) { return wordAt(t, a) < wordAt(t, b); });
    lines.erase(std::unique(lines.begin(), lines.end(),
                            [&t](uint32_t a, uint32_t b) { return wordAt(t, a) == wordAt(t, b); }),
                lines.end());
    // The decoder refuses another pronunciation of a word it does not have
    // yet: one on an earlier line than the word's first. Offsets follow the
    // lines' order.
    std::vector<uint32_t> kept;
    kept.reserve(lines.size());
    for (const uint32_t line : lines) {
        const QByteArrayView base = baseOfAlternate(wordAt(t, line));
        const auto found = base.isEmpty() ? lines.end() : dictionary.find(base);
        if (base.isEmpty() || (found != lines.end() && *found < line))
            kept.push_back(line);
    }
    lines = std::move(kept);
    return dictionary;
}

std::vector<uint32_t>::const_iterator PronouncingDictionary::find(QByteArrayView word) const
{
    const auto found =
        std::lower_bound(m_lines.begin(), m_lines.end(), word,
                         [this](uint32_t line, QByteArrayView w) { return wordAt(m_text, line) < w; });
    return found != m_lines.end() && wordAt(m_text, *found) == word ? found : m_lines.end();
}

QString PronouncingDictionary::phones(const QString &word) const
{
    const auto found = find(word.toUtf8());
    if (found == m_lines.end())
        return {};
    const qsizetype at = *found + wordAt(m_text, *found).size();
    qsizetype end = m_text.indexOf('\n', at);
    if (end < 0)
        end = m_text.size();
    return QString::fromUtf8(QByteArrayView(m_text).sliced(at, end - at)).simplified();
}

} // namespace kestrel
