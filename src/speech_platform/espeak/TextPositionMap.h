#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace kestrel {

/// A span of the text as it was given to speak(): 0-based start and length, both
/// in QString (UTF-16) units, as a text box selects them.
struct TextSpan
{
    int start = 0;
    int length = 0;
    bool operator==(const TextSpan &) const = default;
};

/// True when `text` holds markup to act on: a whole tag ("<break time="1s"/>",
/// "</voice>", "<voice gender=female>", "<!-- -->", "<!DOCTYPE speak>") or an
/// entity ("&lt;", "&#233;"). Given as markup, eSpeak takes any "<" before a
/// letter for a tag and drops what follows up to the next ">", so "if a<b then
/// c" goes as plain text. A tag, as eSpeak reads it, ends at its first ">".
bool holdsMarkup(const QString &text);

/// Maps eSpeak NG's text positions back into the text that was spoken.
///
/// eSpeak counts 1-based characters (code points, not bytes) of the text it was
/// handed, markup included. Its word spans are not always on the word: after a
/// mark it dropped the start is one character late, an entity ("&amp;") is
/// reported at its ";", the parts of a number ("45.50") point into the middle of
/// it, and a span may take the full stop after the word along. Word spans are
/// therefore widened to the whole words of the text they touch, trimmed of
/// trailing spaces and punctuation, and lifted out of markup.
class TextPositionMap
{
public:
    TextPositionMap(const QString &text, bool isXml);

    /// The text to hand eSpeak. As markup, a "<" that opens no whole tag goes
    /// as "&lt;", which eSpeak reads as it reads "<" in plain text, unless a
    /// space follows it or it ends the text; an "&" that starts no entity goes
    /// as "&amp;", since eSpeak takes the letters after it for an entity's name
    /// and hands them back garbled ("Q&a über" lost its "ü"). eSpeak's
    /// positions count in this text.
    QString handedText() const;

    /// The 0-based QString index of eSpeak's 1-based position, clamped to the text.
    int toTextIndex(int espeakPosition) const;

    /// The word an eSpeak word event names, or nothing when the event names no
    /// text (eSpeak sends some word events with length 0).
    std::optional<TextSpan> wordSpan(int espeakPosition, int espeakLength) const;

    /// The sentence that starts at eSpeak's position: up to and including the
    /// first ".", "!" or "?" that is followed by a space, markup or the end.
    TextSpan sentenceSpan(int espeakPosition) const;

private:
    using Range = std::pair<int, int>; ///< first and last index, inclusive

    bool isWordChar(int index) const;
    bool isTrimmable(int index) const;
    int codePointAt(int index) const;
    std::optional<Range> rangeContaining(const std::vector<Range> &ranges, int index) const;
    void findMarkup();

    QString m_text;
    bool m_isXml;
    std::vector<int> m_indexOfCodePoint; ///< code point number -> QString index
    std::vector<Range> m_tags;           ///< "<...>" in XML text, in order
    std::vector<Range> m_entities;       ///< "&name;" in XML text, and each escaped "<" or "&", in order
    struct Escape
    {
        int at;               ///< the "<" or "&" of the text
        QLatin1StringView as; ///< what eSpeak is handed in its place
    };
    std::vector<Escape> m_escapes; ///< in order
};

} // namespace kestrel
