#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace kestrel {

/// One node of a rule's body in a W3C SRGS XML grammar.
struct SrgsExpansion
{
    enum class Kind { Sequence, Alternatives, Token, RuleRef };
    Kind kind = Kind::Sequence;
    QString text; ///< the words of a Token, the rule id (without '#') of a RuleRef
    QList<SrgsExpansion> children;
    int minRepeat = 1;
    int maxRepeat = 1; ///< -1: no upper bound

    bool operator==(const SrgsExpansion &) const = default;
};

struct SrgsRule
{
    QString id;
    bool isPublic = false;
    SrgsExpansion body;
};

/// A W3C SRGS XML grammar: rules, items, one-of, ruleref and token; tags are
/// ignored. Loading validates what a recogniser would otherwise trip over later
/// (unknown rule references, duplicate ids, bad repeat counts) and throws
/// kestrel::Failure with a description naming the problem.
class SrgsGrammar
{
public:
    static SrgsGrammar parse(const QByteArray &xml);
    /// Grammar files larger than this are refused: real ones are a few kilobytes.
    static constexpr qint64 kMaxFileBytes = 16 * 1024 * 1024;
    static SrgsGrammar loadFile(const QString &fileName);

    const QString &root() const { return m_root; }
    const QString &language() const { return m_language; }
    const QList<SrgsRule> &rules() const { return m_rules; }
    const SrgsRule *rule(const QString &id) const;

    /// The sentences the rule accepts, in grammar order, at most `limit` of them;
    /// unbounded repeats are expanded up to two times, and no item is repeated
    /// more than a thousand times.
    QStringList sentences(const QString &ruleId, int limit = 1000) const;

private:
    QString m_root;
    QString m_language;
    QList<SrgsRule> m_rules;
    /// Position of each rule in m_rules: every rule and reference is looked up
    /// while loading, and a long list searched each time made a large file
    /// take minutes at start-up.
    QHash<QString, qsizetype> m_ruleIndex;
};

} // namespace kestrel
