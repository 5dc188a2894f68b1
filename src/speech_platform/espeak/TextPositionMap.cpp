#include "speech_platform/espeak/TextPositionMap.h"

#include <QChar>
#include <QRegularExpression>

#include <algorithm>

namespace kestrel {
namespace {

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

constexpr QLatin1StringView kEscapedLessThan("&lt;");
constexpr QLatin1StringView kEscapedAmpersand("&amp;");
constexpr QLatin1StringView kCommentOpening("<!--");
constexpr QLatin1StringView kCommentClosing("-->");

// Finds tags as eSpeak does: one opens at a "<" before a letter, "/", "!" or
// "?" and ends at the first ">" after it, whatever comes between. Only those a
// person would write as markup count as whole tags. Looks are made from left
// to right, and the next "<" and ">" are kept, so a long text full of "<" that
// close nothing is read once.
class TagScanner
{
public:
    explicit TagScanner(QStringView text) : m_text(text) {}

    /// The index of the ">" that ends a whole tag opening at `at`, a "<", or -1.
    int wholeTagEnd(qsizetype at)
    {
        if (at + 1 >= m_text.size())
            return -1;
        const qsizetype close = next(u'>', at + 1, m_nextClose);
        if (close < 0)
            return -1;
        // eSpeak drops a comment up to its first ">": it is whole when that
        // ">" ends its "-->". It may hold a "<"; no other tag does.
        const QStringView tag = m_text.mid(at, close - at + 1);
        if (tag.startsWith(kCommentOpening))
            return tag.size() >= kCommentOpening.size() + kCommentClosing.size() &&
                           tag.endsWith(kCommentClosing)
                       ? static_cast<int>(close)
                       : -1;
        const qsizetype open = next(u'<', at + 1, m_nextOpen);
        if (open >= 0 && open < close)
            return -1;
        // A declaration ("<!DOCTYPE speak>"), an instruction ("<?xml ?>") or an
        // element whose attributes have values, quoted or not: "a<b then c > d"
        // and "a<!b then c > d" are no tags, nor is CDATA, whose words eSpeak
        // would drop.
        // Never destroyed: when exit() ends the program, worker threads still read it.
        static const auto &whole =
            *new const QRegularExpression(QRegularExpression::anchoredPattern(QStringLiteral(
                R"(<(\?[A-Za-z][^<>]*\?|!(?i:doctype|entity|element|attlist|notation)\s[^<>]*|)"
                R"(/?[A-Za-z][\w:.-]*(\s+[A-Za-z_][\w:.-]*\s*=\s*("[^"]*"|'[^']*'|[^\s"'=<>`]+))*\s*/?\s*)>)")));
        // Matched on the tag alone: Qt checks the whole subject on every match.
        return whole.match(tag).hasMatch() ? static_cast<int>(close) : -1;
    }

private:
    // The first `c` at or after `from`; `kept` is the last one found (-1: none
    // is left), which stands while `from` has not passed it.
    qsizetype next(QChar c, qsizetype from, qsizetype &kept) const
    {
        if (kept == -1 || kept >= from)
            return kept;
        kept = m_text.indexOf(c, from);
        return kept;
    }

    QStringView m_text;
    qsizetype m_nextClose = -2;
    qsizetype m_nextOpen = -2;
};

// The ";" that ends an entity starting at `at`, an "&" ("&amp;", "&#233;",
// "&#xE9;"), or -1. Names are short; anything longer is plain text.
qsizetype entityEnd(QStringView text, qsizetype at)
{
    constexpr qsizetype kLongest = 14; // "&", a name of twelve, ";"
    static const auto &entity = *new const QRegularExpression(
        QStringLiteral(R"(&(#[0-9]{1,8}|#[xX][0-9A-Fa-f]{1,6}|[A-Za-z][A-Za-z0-9]{0,11});)"));
    const QRegularExpressionMatch match =
        entity.match(text.mid(at, kLongest), 0, QRegularExpression::NormalMatch,
                     QRegularExpression::AnchorAtOffsetMatchOption);
    return match.hasMatch() ? at + match.capturedEnd() - 1 : -1;
}

} // namespace

bool holdsMarkup(const QString &text)
{
    for (qsizetype at = text.indexOf(u'&'); at >= 0; at = text.indexOf(u'&', at + 1)) {
        if (entityEnd(text, at) >= 0)
            return true;
    }
    TagScanner tags(text);
    for (qsizetype at = text.indexOf(u'<'); at >= 0; at = text.indexOf(u'<', at + 1)) {
        if (tags.wholeTagEnd(at) >= 0)
            return true;
    }
    return false;
}

TextPositionMap::TextPositionMap(const QString &text, bool isXml) : m_text(text), m_isXml(isXml)
{
    if (m_isXml)
        findMarkup();
    m_indexOfCodePoint.reserve(static_cast<std::size_t>(text.size() + 4 * m_escapes.size()) + 1);
    auto escape = m_escapes.begin();
    for (int i = 0; i < text.size(); ++i) {
        // Each character of the entity handed in place of a "<" or "&" is that one.
        std::size_t handedLength = 1;
        if (escape != m_escapes.end() && escape->at == i)
            handedLength = static_cast<std::size_t>((escape++)->as.size());
        m_indexOfCodePoint.insert(m_indexOfCodePoint.end(), handedLength, i);
        // A surrogate pair is one character to eSpeak; a lone surrogate reaches it
        // as one replacement character.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    m_indexOfCodePoint.push_back(static_cast<int>(text.size()));
}

QString TextPositionMap::handedText() const
{
    if (m_escapes.empty())
        return m_text;
    QString handed;
    handed.reserve(m_text.size() + 4 * static_cast<qsizetype>(m_escapes.size()));
    int from = 0;
    for (const Escape &escape : m_escapes) {
        handed += QStringView(m_text).mid(from, escape.at - from);
        handed += escape.as;
        from = escape.at + 1;
    }
    handed += QStringView(m_text).mid(from);
    return handed;
}

void TextPositionMap::findMarkup()
{
    const int size = static_cast<int>(m_text.size());
    TagScanner tags(m_text);
    for (int i = 0; i < size; ++i) {
        if (m_text[i] == u'<') {
            if (const int close = tags.wholeTagEnd(i); close >= 0) {
                m_tags.emplace_back(i, close);
                i = close;
            } else if (i + 1 < size && !m_text[i + 1].isSpace()) {
                // eSpeak may take it for a tag and drop what follows. Before a
                // space, or at the end, it is always spoken as it stands ("3 < 4").
                m_escapes.push_back({i, kEscapedLessThan});
                m_entities.emplace_back(i, i);
            }
        } else if (m_text[i] == u'&') {
            if (const auto end = static_cast<int>(entityEnd(m_text, i)); end >= 0) {
                m_entities.emplace_back(i, end);
                i = end;
            } else {
                m_escapes.push_back({i, kEscapedAmpersand});
                m_entities.emplace_back(i, i);
            }
        }
    }
}

int TextPositionMap::toTextIndex(int espeakPosition) const
{
    const int codePoint = std::clamp(espeakPosition - 1, 0, static_cast<int>(m_indexOfCodePoint.size()) - 1);
    return m_indexOfCodePoint[static_cast<std::size_t>(codePoint)];
}

int TextPositionMap::codePointAt(int index) const
{
    const QChar c = m_text[index];
    if (c.isHighSurrogate() && index + 1 < m_text.size() && m_text[index + 1].isLowSurrogate())
        return static_cast<int>(QChar::surrogateToUcs4(c, m_text[index + 1]));
    if (c.isLowSurrogate() && index > 0 && m_text[index - 1].isHighSurrogate())
        return static_cast<int>(QChar::surrogateToUcs4(m_text[index - 1], c));
    return c.unicode();
}

bool TextPositionMap::isWordChar(int index) const
{
    if (index < 0 || index >= m_text.size())
        return false;
    const char32_t c = static_cast<char32_t>(codePointAt(index));
    if (QChar::isLetterOrNumber(c) || QChar::isMark(c))
        return true;
    // "don't": an apostrophe between letters belongs to the word.
    return isApostrophe(m_text[index]) && index > 0 && index + 1 < m_text.size() &&
           m_text[index - 1].isLetter() && m_text[index + 1].isLetter();
}

bool TextPositionMap::isTrimmable(int index) const
{
    const QChar c = m_text[index];
    return c.isSpace() || c.isPunct();
}

std::optional<TextPositionMap::Range> TextPositionMap::rangeContaining(const std::vector<Range> &ranges,
                                                                       int index) const
{
    auto after = std::upper_bound(ranges.begin(), ranges.end(), index,
                                  [](int value, const Range &range) { return value < range.first; });
    if (after == ranges.begin())
        return std::nullopt;
    const Range &candidate = *std::prev(after);
    if (index <= candidate.second)
        return candidate;
    return std::nullopt;
}

std::optional<TextSpan> TextPositionMap::wordSpan(int espeakPosition, int espeakLength) const
{
    if (espeakLength <= 0)
        return std::nullopt;
    const int size = static_cast<int>(m_text.size());
    int start = toTextIndex(espeakPosition);
    int end = toTextIndex(espeakPosition + espeakLength);

    if (const auto entity = rangeContaining(m_entities, start))
        return TextSpan{entity->first, entity->second - entity->first + 1};
    if (const auto tag = rangeContaining(m_tags, start))
        start = tag->second + 1;
    while (start < size && m_text[start].isSpace())
        ++start;
    if (const auto tag = rangeContaining(m_tags, start))
        start = tag->second + 1;
    if (start >= size)
        return std::nullopt;

    while (start > 0 && isWordChar(start) && isWordChar(start - 1))
        --start;
    const int firstCharLength = codePointAt(start) > 0xFFFF ? 2 : 1;
    end = std::clamp(end, start + firstCharLength, size);
    while (end < size && isWordChar(end - 1) && isWordChar(end))
        ++end;
    // The span may run into markup that follows the word; cut it there.
    if (const auto tag = rangeContaining(m_tags, end - 1); tag && tag->first > start)
        end = tag->first;
    while (end - start > 1 && isTrimmable(end - 1))
        --end;
    return TextSpan{start, end - start};
}

TextSpan TextPositionMap::sentenceSpan(int espeakPosition) const
{
    const int size = static_cast<int>(m_text.size());
    int start = toTextIndex(espeakPosition);
    while (start < size && m_text[start].isSpace())
        ++start;
    int end = size;
    for (int i = start; i < size; ++i) {
        const QChar c = m_text[i];
        if ((c == u'.' || c == u'!' || c == u'?') &&
            (i + 1 == size || m_text[i + 1].isSpace() || m_text[i + 1] == u'<')) {
            end = i + 1;
            break;
        }
    }
    while (end > start && m_text[end - 1].isSpace())
        --end;
    return TextSpan{start, end - start};
}

} // namespace kestrel
