#include "recognition/ResultTree.h"

#include "common/Failure.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

#include <QSet>

namespace kestrel {
namespace {

class TablePhones : public PhoneConverter
{
public:
    QString idToPhone(int languageId, int phoneId) const override
    {
        if (phoneId < 0)
            throw Failure(QStringLiteral("bad phone"));
        return QStringLiteral("ph%1/%2").arg(phoneId).arg(languageId);
    }
};

PhraseRule rule(const QString &name, std::optional<QList<PhraseRule>> children = std::nullopt)
{
    return PhraseRule{name, std::move(children)};
}

PhraseProperty property(const QString &name, const QVariant &value,
                        std::optional<QList<PhraseProperty>> children = std::nullopt)
{
    return PhraseProperty{name, value, std::move(children)};
}

/// "open notepad" with a nested rule tree, nested properties with empty and
/// non-empty values, a word with pronunciations, and two alternates: one
/// without properties and with an empty element list, one with an empty
/// property list and no element collection.
RecognitionResult richResult()
{
    RecognitionResult result;
    PhraseInfo &phrase = result.phrase;
    phrase.text = phrase.textWithReplacements = QStringLiteral("open notepad");
    phrase.languageId = 0x409;
    phrase.rule =
        rule("Command", QList<PhraseRule>{rule("Verb"), rule("Object", QList<PhraseRule>{rule("Program")})});
    phrase.properties = QList<PhraseProperty>{
        property("action", QStringLiteral("open"), QList<PhraseProperty>{property("mode", 0)}),
        property("target", QStringLiteral("")),
        property("count", 2),
    };
    phrase.elements = QList<PhraseElement>{{"open", {1, 2}}};

    PhraseInfo first;
    first.rule = rule("Dictation");
    first.elements = QList<PhraseElement>{};
    PhraseInfo second;
    second.rule = rule("Dictation");
    second.properties = QList<PhraseProperty>{};
    result.alternates = QList<PhraseInfo>{first, second};
    return result;
}

class ResultTreeBuilderTest : public ::testing::Test
{
protected:
    /// Every node as "parent > key = text", in the order it was added.
    QStringList lines() const
    {
        QStringList out;
        for (const TreeNode &node : tree.nodes())
            out.append(node.parentKey + " > " + node.key + " = " + node.text);
        return out;
    }
    /// The texts of the nodes directly under `parent`.
    QStringList textsUnder(const QString &parent) const
    {
        QStringList out;
        for (const TreeNode &node : tree.nodes()) {
            if (node.parentKey == parent)
                out.append(node.text);
        }
        return out;
    }

    TablePhones phones;
    ResultTreeBuilder builder{phones};
    TreeNodeList tree;
};

TEST_F(ResultTreeBuilderTest, RichResultKeysTextsAndShape)
{
    builder.build(tree, richResult(), "open notepad", true);
    const QStringList expected{
        " > Reco1 = Recognition (open notepad)",
        "Reco1 > PhraseInfo1 = Phrase Info",
        "PhraseInfo1 > Properties1 = Properties",
        "PhraseInfo1 > RuleNodePhraseInfo10 = Rule (Command)",
        "RuleNodePhraseInfo10 > RuleNodeRuleNodePhraseInfo101 = Rule (Verb)",
        "RuleNodePhraseInfo10 > RuleNodeRuleNodePhraseInfo102 = Rule (Object)",
        "RuleNodeRuleNodePhraseInfo102 > RuleNodeRuleNodeRuleNodePhraseInfo1023 = Rule (Program)",
        "Properties1 > Properties11 = Property (action) (open)",
        "Properties11 > Properties111 = Property (mode)",
        "Properties1 > Properties12 = Property (target)",
        "Properties1 > Properties13 = Property (count) (2)",
        "PhraseInfo1 > ElementsPhraseInfo1 = Elements",
        "ElementsPhraseInfo1 > ElementPhraseInfo11 = Element (open)",
        "ElementPhraseInfo11 > PronunciationsElementPhraseInfo11 = Pronunciations",
        "PronunciationsElementPhraseInfo11 > PronunciationElementPhraseInfo110 = Pronunciation (ph1/1033)",
        "PronunciationsElementPhraseInfo11 > PronunciationElementPhraseInfo111 = Pronunciation (ph2/1033)",
        "Reco1 > Alternates1 = Alternates",
        "Alternates1 > Alternates11 = Alternate1",
        "Alternates11 > PhraseInfo18 = Phrase Info",
        "PhraseInfo18 > Properties18 = Properties - No Properties",
        "PhraseInfo18 > RuleNodePhraseInfo180 = Rule (Dictation)",
        "Alternates1 > Alternates12 = Alternate2",
        "Alternates12 > PhraseInfo22 = Phrase Info",
        "PhraseInfo22 > Properties22 = Properties",
        "PhraseInfo22 > RuleNodePhraseInfo220 = Rule (Dictation)",
        "PhraseInfo22 > ElementsPhraseInfo22 = Elements - No Elements",
    };
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(builder.recoCount(), 1);
}

TEST_F(ResultTreeBuilderTest, AtMostFiveAlternates)
{
    RecognitionResult result;
    result.alternates = QList<PhraseInfo>(7);
    builder.build(tree, result, "x", true);
    EXPECT_EQ(textsUnder("Alternates1"),
              (QStringList{"Alternate1", "Alternate2", "Alternate3", "Alternate4", "Alternate5"}));
}

TEST_F(ResultTreeBuilderTest, PropertyValueShownUnlessEmptyAndCollidingKeysMadeUnique)
{
    // The 11th property of the phrase and the 1st child of its 1st property
    // compose the same key; so do the root and earlier nodes named like it.
    tree.addNode("", "Reco1", "someone else's node");
    tree.addNode("", "Reco1#2", "and another");
    const std::pair<QVariant, QString> cases[] = {
        {QVariant(), "Property (p)"},
        {QVariant(0), "Property (p)"},
        {QVariant(0.0), "Property (p)"},
        {QVariant(qint64(0)), "Property (p)"},
        {QVariant(QString()), "Property (p)"},
        {QVariant(false), "Property (p)"},
        {QVariant(QStringLiteral("0")), "Property (p) (0)"},
        {QVariant(-3), "Property (p) (-3)"},
        {QVariant(2.5), "Property (p) (2.5)"},
        {QVariant(true), "Property (p) (True)"},
        {QVariant(QStringLiteral("notepad")), "Property (p) (notepad)"},
    };
    RecognitionResult result;
    result.phrase.properties = QList<PhraseProperty>{};
    QStringList expected;
    for (const auto &[value, text] : cases) {
        result.phrase.properties->append(property("p", value));
        expected.append(text);
    }
    (*result.phrase.properties)[0].children = QList<PhraseProperty>{property("child", 1)};
    result.phrase.elements = QList<PhraseElement>{{"word", {5}}};
    builder.build(tree, result, "x", true);

    EXPECT_EQ(textsUnder("Properties3"), expected);
    QSet<QString> keys;
    for (const TreeNode &node : tree.nodes())
        keys.insert(node.key);
    EXPECT_EQ(keys.size(), tree.nodeCount()) << "every key unique";
    const QStringList all = lines();
    EXPECT_EQ(all.at(2), " > Reco1#3 = Recognition (x)");
    EXPECT_EQ(all.at(3), "Reco1#3 > PhraseInfo3 = Phrase Info") << "numbered by the whole tree's nodes";
    EXPECT_TRUE(all.contains("Properties31 > Properties311 = Property (child) (1)"));
    EXPECT_TRUE(all.contains("Properties3 > Properties311#2 = Property (p) (notepad)"));
    EXPECT_EQ(all.last(), "PronunciationsElementPhraseInfo31 > PronunciationElementPhraseInfo310 = "
                          "Pronunciation (ph5/1033)")
        << "the walk carries on after the collision";
}

TEST_F(ResultTreeBuilderTest, PhoneFailureKeepsNodesBuiltSoFar)
{
    RecognitionResult result;
    result.phrase.elements = QList<PhraseElement>{{"ok", {1}}, {"bad", {-1}}};
    EXPECT_THROW(builder.build(tree, result, "ok bad", true), Failure);
    EXPECT_TRUE(tree.containsKey("PronunciationElementPhraseInfo110"));
    EXPECT_TRUE(tree.containsKey("ElementPhraseInfo12"));
    EXPECT_EQ(builder.recoCount(), 1);
}

} // namespace
} // namespace kestrel
