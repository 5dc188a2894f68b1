#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <vector>

namespace kestrel {

/// A read-only copy of a PocketSphinx pronouncing dictionary ("word PH PH ..."
/// per line), for looking words up without the decoder. The decoder keeps its
/// own copy, which it reloads and locks while it builds a grammar; the window
/// asks for pronunciations of what the user typed and must not wait for that.
///
/// Lookups match the decoder's for the words of the file: the first line of a
/// word counts, comment lines ("##", ";;") and words without phones do not, and
/// an alternate pronunciation is found under its own name ("read(2)") when its
/// word is on an earlier line. The acoustic model's own words ("<sil>") and phones
/// it lacks are not checked: no word of a result has either.
/// Safe to read from several threads once built.
class PronouncingDictionary
{
public:
    PronouncingDictionary() = default;
    /// Reads the file; an unreadable file gives an empty dictionary.
    explicit PronouncingDictionary(const QString &path);
    /// From the file's text, as it would be read.
    static PronouncingDictionary fromText(QByteArray text);

    /// The phones of the word's first pronunciation, one space between them;
    /// empty when the word is not in the dictionary. Case matters, as it does
    /// to the decoder: its words are lower case.
    QString phones(const QString &word) const;
    /// How many distinct words it holds.
    qsizetype size() const { return qsizetype(m_lines.size()); }
    /// The text it was read from.
    const QByteArray &text() const { return m_text; }

private:
    std::vector<uint32_t>::const_iterator find(QByteArrayView word) const;

    QByteArray m_text;
    /// Where the word of each counted line starts, sorted by word; for one word only the first.
    std::vector<uint32_t> m_lines;
};

} // namespace kestrel
