#pragma once

#include "speech_platform/Recognition.h"

#include <QHash>
#include <QList>
#include <QString>

namespace kestrel {

/// A keyed tree control as the result-tree builder sees it. Keys are unique in
/// the whole tree; new nodes go last under their parent (or last among roots).
class KeyedTree
{
public:
    virtual ~KeyedTree() = default;
    virtual int nodeCount() const = 0;
    virtual bool containsKey(const QString &key) const = 0;
    /// An empty parent key adds a root.
    virtual void addNode(const QString &parentKey, const QString &key, const QString &text) = 0;
    virtual void setNodeText(const QString &key, const QString &text) = 0;
    virtual void clear() = 0;
};

/// One node as produced by the builder.
struct TreeNode
{
    QString key;
    QString text;
    QString parentKey; ///< empty for a root
    bool operator==(const TreeNode &) const = default;
};

/// A KeyedTree that just keeps the nodes in the order they were added.
class TreeNodeList : public KeyedTree
{
public:
    int nodeCount() const override { return m_nodes.size(); }
    bool containsKey(const QString &key) const override { return m_index.contains(key); }
    void addNode(const QString &parentKey, const QString &key, const QString &text) override;
    void setNodeText(const QString &key, const QString &text) override;
    void clear() override;

    const QList<TreeNode> &nodes() const { return m_nodes; }

private:
    QList<TreeNode> m_nodes;
    QHash<QString, qsizetype> m_index;
};

/// Builds the tree of each final recognition: phrase information, rules,
/// properties, elements with pronunciations, and up to five alternates.
///
/// Keys are composed by plain concatenation, so two different nodes can
/// compose the same key in a large result; such a key gets "#2", "#3", ...
/// appended, and the build carries on with texts and shape unchanged.
///
/// Failures: a PhoneConverter failure propagates as kestrel::Failure; the
/// nodes added so far stay in the tree.
class ResultTreeBuilder
{
public:
    static constexpr int MaxAlternates = 5;

    explicit ResultTreeBuilder(const PhoneConverter &phones) : m_phones(phones) {}

    /// Recognitions handled so far; root keys are "Reco" + this count.
    int recoCount() const { return m_recoCount; }

    /// Adds one recognition. When `windowVisible` is false and the result offers
    /// an alternates collection, the whole tree is emptied at the end, so a
    /// hidden window does not pile up nodes nobody looks at.
    void build(KeyedTree &tree, const RecognitionResult &result, const QString &phraseText,
               bool windowVisible);

private:
    struct Walk;

    const PhoneConverter &m_phones;
    // Counted past the classic 16-bit limit instead of failing: root keys stay
    // unique because the count never repeats within a run.
    int m_recoCount = 0;
};

} // namespace kestrel
