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

bool opensMarkup(QChar next)
{
    return next.isLetter() || next == u'/' || next == u'!' || next == u'?';
}

// Entity names are short; anything longer between "&" and ";" is plain text.
constexpr int kLongestEntity = 12;

constexpr QLatin1StringView kEscapedLessThan("&lt;");
constexpr QLatin1StringView kCommentOpening("<!--");
constexpr QLatin1StringView kCommentClosing("-->");

// An element's tag with its attributes, or a processing instruction, after "<"
// and before ">". Neither holds a "<"; a comment may, and is looked for apart.
constexpr QLatin1StringView kElementOrInstruction(
    R"(/?[A-Za-z_][\w:.-]*(\s+[A-Za-z_][\w:.-]*\s*=\s*("[^"<]*"|'[^'<]*'))*\s*/?|\?[^<>]*\?)");

} // namespace

bool holdsMarkup(const QString &text)
{
    static const QRegularExpression markup(
        QStringLiteral("<(") + kElementOrInstruction +
            QStringLiteral(R"(|!--.*?--)>|&(#[0-9]+|#[xX][0-9A-Fa-f]+|[A-Za-z][A-Za-z0-9]{0,11});)"),
        QRegularExpression::DotMatchesEverythingOption);
    return text.contains(markup);
}

int TextPositionMap::wholeTagEnd(int at, bool &commentsMayClose) const
{
    if (QStringView(m_text).mid(at).startsWith(kCommentOpening)) {
        if (!commentsMayClose)
            return -1;
        const auto closing = m_text.indexOf(kCommentClosing, at + kCommentOpening.size());
        // With no "-->" from here on, no later comment can close either.
        commentsMayClose = closing >= 0;
        return closing < 0 ? -1 : static_cast<int>(closing + kCommentClosing.size()) - 1;
    }
    static const QRegularExpression tag(QStringLiteral("<(") + kElementOrInstruction + QStringLiteral(")>"));
    // Matched within its reach, up to the next "<": Qt checks the whole subject
    // on every match, and a long text holds many "<".
    const auto next = m_text.indexOf(u'<', at + 1);
    const QStringView reach = QStringView(m_text).mid(at, next < 0 ? -1 : next - at);
    const QRegularExpressionMatch match =
        tag.match(reach, 0, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
    return match.hasMatch() ? at + static_cast<int>(match.capturedEnd()) - 1 : -1;
}

TextPositionMap::TextPositionMap(const QString &text, bool isXml) : m_text(text), m_isXml(isXml)
{
    if (m_isXml)
        findMarkup();
    m_indexOfCodePoint.reserve(static_cast<std::size_t>(text.size() + 3 * m_strayOpenings.size()) + 1);
    auto stray = m_strayOpenings.begin();
    for (int i = 0; i < text.size(); ++i) {
        // Each character of the "&lt;" handed in place of a stray "<" is that "<".
        const bool escaped = stray != m_strayOpenings.end() && *stray == i;
        const int handedLength = escaped ? static_cast<int>(kEscapedLessThan.size()) : 1;
        m_indexOfCodePoint.insert(m_indexOfCodePoint.end(), static_cast<std::size_t>(handedLength), i);
        if (escaped)
            ++stray;
        // A surrogate pair is one character to eSpeak; a lone surrogate reaches it
        // as one replacement character.
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
    }
    m_indexOfCodePoint.push_back(static_cast<int>(text.size()));
}

QString TextPositionMap::handedText() const
{
    if (m_strayOpenings.empty())
        return m_text;
    QString handed;
    handed.reserve(m_text.size() + 3 * static_cast<qsizetype>(m_strayOpenings.size()));
    int from = 0;
    for (const int at : m_strayOpenings) {
        handed += QStringView(m_text).mid(from, at - from);
        handed += kEscapedLessThan;
        from = at + 1;
    }
    handed += QStringView(m_text).mid(from);
    return handed;
}

void TextPositionMap::findMarkup()
{
    const int size = static_cast<int>(m_text.size());
    bool commentsMayClose = true;
    for (int i = 0; i < size; ++i) {
        if (m_text[i] == u'<') {
            if (const int close = wholeTagEnd(i, commentsMayClose); close >= 0) {
                m_tags.emplace_back(i, close);
                i = close;
            } else if (i + 1 < size && opensMarkup(m_text[i + 1])) {
                // eSpeak would drop all up to the next ">", or the rest of the
                // text. Before anything else "<" is spoken as it stands ("3 < 4").
                m_strayOpenings.push_back(i);
                m_entities.emplace_back(i, i);
            }
        } else if (m_text[i] == u'&') {
            int j = i + 1;
            while (j < size && j - i <= kLongestEntity && (m_text[j].isLetterOrNumber() || m_text[j] == u'#'))
                ++j;
            if (j < size && j > i + 1 && m_text[j] == u';') {
                m_entities.emplace_back(i, j);
                i = j;
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
