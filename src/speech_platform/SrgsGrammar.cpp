#include "speech_platform/SrgsGrammar.h"

#include "common/Failure.h"
#include "common/RegularFile.h"

#include <QHash>
#include <QPair>
#include <QSet>
#include <QXmlStreamReader>

#include <algorithm>

namespace kestrel {
namespace {

const QString kSrgsNamespace = QStringLiteral("http://www.w3.org/2001/06/grammar");
/// Elements may nest this deep inside a rule. Every level is a call of the
/// reader below, so a file nested without end ran the program out of stack at
/// start-up; real grammars nest a handful of levels.
constexpr int kMaxNesting = 256;

[[noreturn]] void fail(const QXmlStreamReader &xml, const QString &what)
{
    throw Failure(QStringLiteral("Grammar error at line %1: %2").arg(xml.lineNumber()).arg(what));
}

void parseRepeat(QXmlStreamReader &xml, const QString &repeat, SrgsExpansion &node)
{
    if (repeat.isEmpty())
        return;
    const QStringList parts = repeat.split(QLatin1Char('-'));
    bool okMin = false;
    bool okMax = true;
    int minimum = parts.value(0).toInt(&okMin);
    int maximum = minimum;
    if (parts.size() == 2)
        maximum = parts[1].isEmpty() ? -1 : parts[1].toInt(&okMax);
    if (parts.size() > 2 || !okMin || !okMax || minimum < 0 || (maximum != -1 && maximum < minimum))
        fail(xml, QStringLiteral("bad repeat \"%1\"").arg(repeat));
    node.minRepeat = minimum;
    node.maxRepeat = maximum;
}

void addTokens(SrgsExpansion &parent, const QString &text)
{
    const QString words = text.simplified();
    if (words.isEmpty())
        return;
    SrgsExpansion token;
    token.kind = SrgsExpansion::Kind::Token;
    token.text = words;
    parent.children << token;
}

SrgsExpansion parseBody(QXmlStreamReader &xml, SrgsExpansion::Kind kind, int depth);

SrgsExpansion parseElement(QXmlStreamReader &xml, int depth)
{
    if (depth > kMaxNesting)
        fail(xml, QStringLiteral("elements nested more than %1 deep").arg(kMaxNesting));
    const auto name = xml.name();
    if (name == QLatin1String("item")) {
        const QString repeat = xml.attributes().value(QLatin1String("repeat")).toString();
        SrgsExpansion item = parseBody(xml, SrgsExpansion::Kind::Sequence, depth);
        parseRepeat(xml, repeat, item);
        return item;
    }
    if (name == QLatin1String("one-of")) {
        SrgsExpansion alternatives = parseBody(xml, SrgsExpansion::Kind::Alternatives, depth);
        if (alternatives.children.isEmpty())
            fail(xml, QStringLiteral("empty one-of"));
        return alternatives;
    }
    if (name == QLatin1String("token")) {
        SrgsExpansion token;
        token.kind = SrgsExpansion::Kind::Token;
        token.text = xml.readElementText().simplified();
        return token;
    }
    if (name == QLatin1String("ruleref")) {
        SrgsExpansion ref;
        ref.kind = SrgsExpansion::Kind::RuleRef;
        const QString uri = xml.attributes().value(QLatin1String("uri")).toString();
        const QString special = xml.attributes().value(QLatin1String("special")).toString();
        if (!special.isEmpty())
            ref.text = special;
        else if (uri.startsWith(QLatin1Char('#')) && uri.size() > 1)
            ref.text = uri.mid(1);
        else
            fail(xml, QStringLiteral("only local rule references are supported (\"%1\")").arg(uri));
        xml.skipCurrentElement();
        return ref;
    }
    if (name == QLatin1String("tag") || name == QLatin1String("example") || name == QLatin1String("meta")) {
        xml.skipCurrentElement();
        return {};
    }
    fail(xml, QStringLiteral("unexpected element <%1>").arg(name.toString()));
}

/// Reads the children of the current element up to its end tag.
SrgsExpansion parseBody(QXmlStreamReader &xml, SrgsExpansion::Kind kind, int depth)
{
    SrgsExpansion node;
    node.kind = kind;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement())
            return node;
        if (xml.isCharacters() && !xml.isWhitespace()) {
            if (kind == SrgsExpansion::Kind::Alternatives)
                fail(xml, QStringLiteral("text directly inside one-of"));
            addTokens(node, xml.text().toString());
        } else if (xml.isStartElement()) {
            const bool isTag = xml.name() == QLatin1String("tag") || xml.name() == QLatin1String("example") ||
                               xml.name() == QLatin1String("meta");
            if (kind == SrgsExpansion::Kind::Alternatives && xml.name() != QLatin1String("item") && !isTag)
                fail(xml, QStringLiteral("one-of may hold only items"));
            SrgsExpansion child = parseElement(xml, depth + 1);
            if (!isTag)
                node.children << child;
        }
    }
    fail(xml, xml.errorString());
}

bool isSpecialRule(const QString &id)
{
    return id == QLatin1String("NULL") || id == QLatin1String("VOID") || id == QLatin1String("GARBAGE");
}

void checkReferences(const SrgsGrammar &grammar, const SrgsExpansion &node)
{
    if (node.kind == SrgsExpansion::Kind::RuleRef && !isSpecialRule(node.text) && !grammar.rule(node.text))
        throw Failure(QStringLiteral("Grammar error: reference to unknown rule \"%1\"").arg(node.text));
    for (const SrgsExpansion &child : node.children)
        checkReferences(grammar, child);
}

QStringList combine(const QStringList &heads, const QStringList &tails, int limit)
{
    QStringList out;
    for (const QString &head : heads) {
        for (const QString &tail : tails) {
            if (out.size() >= limit)
                return out;
            out << (head.isEmpty() ? tail : tail.isEmpty() ? head : head + QLatin1Char(' ') + tail);
        }
    }
    return out;
}

} // namespace

SrgsGrammar SrgsGrammar::parse(const QByteArray &xmlText)
{
    if (std::all_of(xmlText.begin(), xmlText.end(), [](char c) { return QChar::isSpace(uchar(c)); }))
        throw Failure(QStringLiteral("Grammar error: the document is empty"));
    QXmlStreamReader xml(xmlText);
    SrgsGrammar grammar;
    bool sawGrammar = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (!sawGrammar) {
            if (xml.name() != QLatin1String("grammar"))
                fail(xml, QStringLiteral("the document is not an SRGS grammar"));
            if (!xml.namespaceUri().isEmpty() && xml.namespaceUri() != kSrgsNamespace)
                fail(xml, QStringLiteral("unknown grammar namespace"));
            sawGrammar = true;
            grammar.m_root = xml.attributes().value(QLatin1String("root")).toString();
            grammar.m_language = xml.attributes().value(QLatin1String("xml:lang")).toString();
            continue;
        }
        if (xml.name() == QLatin1String("rule")) {
            SrgsRule rule;
            rule.id = xml.attributes().value(QLatin1String("id")).toString();
            rule.isPublic = xml.attributes().value(QLatin1String("scope")) == QLatin1String("public");
            if (rule.id.isEmpty())
                fail(xml, QStringLiteral("a rule without id"));
            if (grammar.rule(rule.id))
                fail(xml, QStringLiteral("duplicate rule \"%1\"").arg(rule.id));
            rule.body = parseBody(xml, SrgsExpansion::Kind::Sequence, 0);
            grammar.m_ruleIndex.insert(rule.id, grammar.m_rules.size());
            grammar.m_rules << rule;
        } else if (xml.name() == QLatin1String("lexicon") || xml.name() == QLatin1String("meta") ||
                   xml.name() == QLatin1String("metadata") || xml.name() == QLatin1String("tag")) {
            xml.skipCurrentElement();
        } else {
            fail(xml, QStringLiteral("unexpected element <%1>").arg(xml.name().toString()));
        }
    }
    if (xml.hasError())
        fail(xml, xml.errorString());
    if (!sawGrammar)
        throw Failure(QStringLiteral("Grammar error: the document is empty"));
    if (!grammar.m_root.isEmpty() && !grammar.rule(grammar.m_root))
        throw Failure(QStringLiteral("Grammar error: root rule \"%1\" is not defined").arg(grammar.m_root));
    for (const SrgsRule &rule : std::as_const(grammar.m_rules))
        checkReferences(grammar, rule.body);
    return grammar;
}

SrgsGrammar SrgsGrammar::loadFile(const QString &fileName)
{
    // Read whole, at start-up, on the window's thread: only a regular file of a
    // sane size (a FIFO would block the start, /dev/zero would eat memory).
    QByteArray text;
    try {
        text = readRegularFile(fileName, kMaxFileBytes);
    } catch (const Failure &refused) {
        throw Failure(
            QStringLiteral("Cannot open the grammar file \"%1\": %2").arg(fileName, refused.description()));
    }
    return parse(text);
}

const SrgsRule *SrgsGrammar::rule(const QString &id) const
{
    const auto it = m_ruleIndex.constFind(id);
    return it == m_ruleIndex.cend() ? nullptr : &m_rules[*it];
}

namespace {

/// More repetitions than this are not listed: a sentence list cannot reach
/// them, and counting up to a repeat of two thousand million never ended.
constexpr int kMaxListedRepeats = 1000;

/// One listing of sentences. A rule's sentences at a given recursion depth are
/// worked out once: a rule made of itself twice otherwise doubled the work at
/// every level. They are worked out to the full limit, since a shorter list is
/// always the start of a longer one.
struct Expansion
{
    const SrgsGrammar &grammar;
    int fullLimit;
    QHash<QPair<QString, int>, QStringList> ruleSentences;

    QStringList expand(const SrgsExpansion &node, int limit, int depth);
    QStringList expandOnce(const SrgsExpansion &node, int limit, int depth);
    QStringList rule(const QString &id, int limit, int depth);
};

QStringList Expansion::rule(const QString &id, int limit, int depth)
{
    const SrgsRule *target = grammar.rule(id);
    if (id == QLatin1String("NULL") || id == QLatin1String("GARBAGE"))
        return {QString()};
    if (!target || depth > 32) // VOID, or a recursion too deep to list
        return {};
    const QPair<QString, int> key(id, depth);
    auto known = ruleSentences.constFind(key);
    if (known == ruleSentences.constEnd())
        known = ruleSentences.insert(key, expand(target->body, fullLimit, depth + 1));
    return known->mid(0, limit);
}

QStringList Expansion::expandOnce(const SrgsExpansion &node, int limit, int depth)
{
    switch (node.kind) {
    case SrgsExpansion::Kind::Token:
        return {node.text};
    case SrgsExpansion::Kind::RuleRef:
        return rule(node.text, limit, depth);
    case SrgsExpansion::Kind::Alternatives: {
        QStringList out;
        for (const SrgsExpansion &child : node.children) {
            out << expand(child, limit - int(out.size()), depth);
            if (out.size() >= limit)
                break;
        }
        return out;
    }
    case SrgsExpansion::Kind::Sequence: {
        QStringList out{QString()};
        for (const SrgsExpansion &child : node.children)
            out = combine(out, expand(child, limit, depth), limit);
        return out;
    }
    }
    return {};
}

QStringList Expansion::expand(const SrgsExpansion &node, int limit, int depth)
{
    if (limit <= 0 || node.minRepeat > kMaxListedRepeats)
        return {};
    const QStringList once = expandOnce(node, limit, depth);
    const int maximum =
        node.maxRepeat == -1 ? std::max(2, node.minRepeat) : std::min(node.maxRepeat, kMaxListedRepeats);
    QStringList out;
    QStringList repeated{QString()};
    for (int count = 0; count <= maximum && out.size() < limit; ++count) {
        if (count >= node.minRepeat)
            out << repeated.mid(0, limit - int(out.size()));
        repeated = combine(repeated, once, limit);
    }
    return out;
}

} // namespace

QStringList SrgsGrammar::sentences(const QString &ruleId, int limit) const
{
    const SrgsRule *start = rule(ruleId);
    if (!start)
        return {};
    Expansion expansion{*this, limit, {}};
    return expansion.expand(start->body, limit, 0);
}

} // namespace kestrel
