#include "recognition/ResultTree.h"

#include "recognition/EventLogLines.h"

namespace kestrel {

void TreeNodeList::addNode(const QString &parentKey, const QString &key, const QString &text)
{
    m_index.insert(key, m_nodes.size());
    m_nodes.append(TreeNode{key, text, parentKey});
}

void TreeNodeList::setNodeText(const QString &key, const QString &text)
{
    const auto it = m_index.constFind(key);
    if (it != m_index.constEnd())
        m_nodes[*it].text = text;
}

void TreeNodeList::clear()
{
    m_nodes.clear();
    m_index.clear();
}

namespace {

bool isEmptyValue(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isEmpty();
    case QMetaType::Bool:
        return !value.toBool();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return value.toDouble() == 0.0;
    default:
        // Anything else (a string "0" included) is a value worth showing.
        return false;
    }
}

} // namespace

/// One build: the tree and the one rule counter are threaded through the walk.
struct ResultTreeBuilder::Walk
{
    KeyedTree &tree;
    const PhoneConverter &phones;
    bool windowVisible;

    QString add(const QString &parentKey, const QString &key, const QString &text)
    {
        QString unique = key;
        for (int n = 2; tree.containsKey(unique); ++n)
            unique = key + QLatin1Char('#') + QString::number(n);
        tree.addNode(parentKey, unique, text);
        return unique;
    }

    void AddPhraseInfoNodes(const PhraseInfo &info, const std::optional<QList<PhraseInfo>> *alternates,
                            const QString &parent, bool isAlternate)
    {
        const QString c = QString::number(tree.nodeCount());
        const QString infoKey = add(parent, QStringLiteral("PhraseInfo") + c, QStringLiteral("Phrase Info"));
        const QString propertiesKey =
            add(infoKey, QStringLiteral("Properties") + c, QStringLiteral("Properties"));
        int ruleIndex = 0;
        AddRuleNodes(info.rule, infoKey, ruleIndex);
        AddPropertyNodes(info.properties, propertiesKey);
        AddElementNodes(info.elements, infoKey, info.languageId);
        if (alternates && alternates->has_value() && !isAlternate) {
            const QString altKey =
                add(parent, QStringLiteral("Alternates") + c, QStringLiteral("Alternates"));
            AddAlternateNodes(**alternates, altKey);
        }
    }

    void AddRuleNodes(const PhraseRule &rule, const QString &parent, int &index)
    {
        const QString key = add(parent, QStringLiteral("RuleNode") + parent + QString::number(index),
                                QStringLiteral("Rule (") + rule.name + QLatin1Char(')'));
        if (!rule.children)
            return;
        for (const PhraseRule &child : *rule.children) {
            ++index;
            AddRuleNodes(child, key, index);
        }
    }

    void AddPropertyNodes(const std::optional<QList<PhraseProperty>> &properties, const QString &parent)
    {
        if (!properties) {
            tree.setNodeText(parent, QStringLiteral("Properties - No Properties"));
            return;
        }
        int i = 0;
        for (const PhraseProperty &property : *properties) {
            ++i;
            QString text = QStringLiteral("Property (") + property.name + QLatin1Char(')');
            if (!isEmptyValue(property.value))
                text += QStringLiteral(" (") + variantText(property.value) + QLatin1Char(')');
            const QString key = add(parent, parent + QString::number(i), text);
            if (property.children)
                AddPropertyNodes(property.children, key);
        }
    }

    void AddElementNodes(const std::optional<QList<PhraseElement>> &elements, const QString &parent,
                         int languageId)
    {
        if (!elements) {
            add(parent, QStringLiteral("Elements") + parent, QStringLiteral("Elements - No Elements"));
            return;
        }
        if (elements->isEmpty())
            return;
        const QString elementsKey =
            add(parent, QStringLiteral("Elements") + parent, QStringLiteral("Elements"));
        int i = 0;
        for (const PhraseElement &element : *elements) {
            ++i;
            // Element keys come from the phrase node, not from "Elements...".
            const QString key = add(elementsKey, QStringLiteral("Element") + parent + QString::number(i),
                                    QStringLiteral("Element (") + element.displayText + QLatin1Char(')'));
            if (!element.pronunciation.isEmpty())
                AddPronunciationNodes(element.pronunciation, key, languageId);
        }
    }

    void AddPronunciationNodes(const QList<int> &pronunciation, const QString &parent, int languageId)
    {
        const QString groupKey =
            add(parent, QStringLiteral("Pronunciations") + parent, QStringLiteral("Pronunciations"));
        for (qsizetype i = 0; i < pronunciation.size(); ++i) {
            add(groupKey, QStringLiteral("Pronunciation") + parent + QString::number(i),
                QStringLiteral("Pronunciation (") + phones.idToPhone(languageId, pronunciation[i]) +
                    QLatin1Char(')'));
        }
    }

    void AddAlternateNodes(const QList<PhraseInfo> &alternates, const QString &parent)
    {
        int i = 0;
        for (const PhraseInfo &alternate : alternates) {
            if (i == MaxAlternates)
                break;
            ++i;
            const QString key =
                add(parent, parent + QString::number(i), QStringLiteral("Alternate") + QString::number(i));
            AddPhraseInfoNodes(alternate, nullptr, key, true);
        }
        if (!windowVisible)
            tree.clear();
    }
};

void ResultTreeBuilder::build(KeyedTree &tree, const RecognitionResult &result, const QString &phraseText,
                              bool windowVisible)
{
    ++m_recoCount;
    Walk walk{tree, m_phones, windowVisible};
    const QString root = walk.add(QString(), QStringLiteral("Reco") + QString::number(m_recoCount),
                                  QStringLiteral("Recognition (") + phraseText + QLatin1Char(')'));
    walk.AddPhraseInfoNodes(result.phrase, &result.alternates, root, false);
}

} // namespace kestrel
