#include "recognition/ResultTree.h"

#include "TestPrinters.h"

#include "common/Failure.h"

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
/// non-empty values, two words with pronunciations, and two alternates: one
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
    phrase.elements = QList<PhraseElement>{{"open", {1, 2, 3}}, {"notepad", {4}}};

    PhraseInfo first;
    first.text = first.textWithReplacements = QStringLiteral("open note pad");
    first.rule = rule("Dictation");
    first.elements = QList<PhraseElement>{};
    PhraseInfo second;
    second.text = second.textWithReplacements = QStringLiteral("opened notepad");
    second.rule = rule("Dictation");
    second.properties = QList<PhraseProperty>{};
    result.alternates = QList<PhraseInfo>{first, second};
    return result;
}

class ResultTreeBuilderTest : public ::testing::Test
{
protected:
    TablePhones phones;
    ResultTreeBuilder builder{phones};
    TreeNodeList tree;
};

TEST_F(ResultTreeBuilderTest, RichResultKeysTextsAndShape)
{
    builder.build(tree, richResult(), "open notepad", true);

    const QList<TreeNode> expected{
        {"Reco1", "Recognition (open notepad)", ""},
        {"PhraseInfo1", "Phrase Info", "Reco1"},
        {"Properties1", "Properties", "PhraseInfo1"},
        {"RuleNodePhraseInfo10", "Rule (Command)", "PhraseInfo1"},
        {"RuleNodeRuleNodePhraseInfo101", "Rule (Verb)", "RuleNodePhraseInfo10"},
        {"RuleNodeRuleNodePhraseInfo102", "Rule (Object)", "RuleNodePhraseInfo10"},
        {"RuleNodeRuleNodeRuleNodePhraseInfo1023", "Rule (Program)", "RuleNodeRuleNodePhraseInfo102"},
        {"Properties11", "Property (action) (open)", "Properties1"},
        {"Properties111", "Property (mode)", "Properties11"},
        {"Properties12", "Property (target)", "Properties1"},
        {"Properties13", "Property (count) (2)", "Properties1"},
        {"ElementsPhraseInfo1", "Elements", "PhraseInfo1"},
        {"ElementPhraseInfo11", "Element (open)", "ElementsPhraseInfo1"},
        {"PronunciationsElementPhraseInfo11", "Pronunciations", "ElementPhraseInfo11"},
        {"PronunciationElementPhraseInfo110", "Pronunciation (ph1/1033)",
         "PronunciationsElementPhraseInfo11"},
        {"PronunciationElementPhraseInfo111", "Pronunciation (ph2/1033)",
         "PronunciationsElementPhraseInfo11"},
        {"PronunciationElementPhraseInfo112", "Pronunciation (ph3/1033)",
         "PronunciationsElementPhraseInfo11"},
        {"ElementPhraseInfo12", "Element (notepad)", "ElementsPhraseInfo1"},
        {"PronunciationsElementPhraseInfo12", "Pronunciations", "ElementPhraseInfo12"},
        {"PronunciationElementPhraseInfo120", "Pronunciation (ph4/1033)",
         "PronunciationsElementPhraseInfo12"},
        {"Alternates1", "Alternates", "Reco1"},
        {"Alternates11", "Alternate1", "Alternates1"},
        {"PhraseInfo22", "Phrase Info", "Alternates11"},
        {"Properties22", "Properties - No Properties", "PhraseInfo22"},
        {"RuleNodePhraseInfo220", "Rule (Dictation)", "PhraseInfo22"},
        {"Alternates12", "Alternate2", "Alternates1"},
        {"PhraseInfo26", "Phrase Info", "Alternates12"},
        {"Properties26", "Properties", "PhraseInfo26"},
        {"RuleNodePhraseInfo260", "Rule (Dictation)", "PhraseInfo26"},
        {"ElementsPhraseInfo26", "Elements - No Elements", "PhraseInfo26"},
    };
    EXPECT_EQ(tree.nodes(), expected);
    EXPECT_EQ(builder.recoCount(), 1);
}

TEST_F(ResultTreeBuilderTest, CountsContinueAcrossBuildsAndClears)
{
    RecognitionResult plain;
    plain.phrase.rule = rule("Dictation");

    builder.build(tree, plain, "a", true);
    // The phrase node's number is the node count of the whole tree, so the
    // second root's phrase node continues from the first root's nodes.
    builder.build(tree, plain, "b", true);
    ASSERT_EQ(tree.nodeCount(), 10);
    EXPECT_EQ(tree.nodes().at(5), (TreeNode{"Reco2", "Recognition (b)", ""}));
    EXPECT_EQ(tree.nodes().at(6), (TreeNode{"PhraseInfo6", "Phrase Info", "Reco2"}));
    EXPECT_EQ(tree.nodes().at(9), (TreeNode{"ElementsPhraseInfo6", "Elements - No Elements", "PhraseInfo6"}));

    tree.clear();
    builder.build(tree, plain, "c", true);
    EXPECT_EQ(tree.nodes().first().key, "Reco3");
    EXPECT_EQ(tree.nodes().at(1).key, "PhraseInfo1");
}

TEST_F(ResultTreeBuilderTest, HiddenWindowEmptiesTreeOnlyWhenAlternatesOffered)
{
    const struct
    {
        bool visible;
        bool offersAlternates;
        bool treeEmptyAfter;
    } cases[] = {
        {true, true, false},
        {false, true, true},
        {false, false, false},
        {true, false, false},
    };
    for (const auto &c : cases) {
        ResultTreeBuilder fresh(phones);
        TreeNodeList freshTree;
        freshTree.addNode("", "Earlier", "an earlier node");
        RecognitionResult result;
        if (c.offersAlternates)
            result.alternates = QList<PhraseInfo>{}; // even an empty collection counts
        fresh.build(freshTree, result, "x", c.visible);
        EXPECT_EQ(freshTree.nodeCount() == 0, c.treeEmptyAfter) << c.visible << c.offersAlternates;
        EXPECT_EQ(fresh.recoCount(), 1);
    }
}

TEST_F(ResultTreeBuilderTest, AtMostFiveAlternates)
{
    RecognitionResult result;
    result.alternates = QList<PhraseInfo>(7);
    builder.build(tree, result, "x", true);
    QStringList alternateTexts;
    for (const TreeNode &node : tree.nodes()) {
        if (node.parentKey == QLatin1String("Alternates1"))
            alternateTexts.append(node.text);
    }
    EXPECT_EQ(alternateTexts,
              (QStringList{"Alternate1", "Alternate2", "Alternate3", "Alternate4", "Alternate5"}));
}

TEST_F(ResultTreeBuilderTest, PropertyValueShownUnlessEmpty)
{
    const struct
    {
        QVariant value;
        QString text;
    } cases[] = {
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
    for (const auto &c : cases) {
        ResultTreeBuilder fresh(phones);
        TreeNodeList freshTree;
        RecognitionResult result;
        result.phrase.properties = QList<PhraseProperty>{property("p", c.value)};
        fresh.build(freshTree, result, "x", true);
        ASSERT_GE(freshTree.nodeCount(), 5);
        EXPECT_EQ(freshTree.nodes().at(4).key, "Properties11");
        EXPECT_EQ(freshTree.nodes().at(4).text, c.text) << c.value.typeName();
    }
}

TEST_F(ResultTreeBuilderTest, CollidingKeysAreMadeUniqueAndBuildFinishes)
{
    // The 11th property of the phrase and the 1st child of its 1st property
    // both compose "Properties111".
    QList<PhraseProperty> properties{property("first", 1, QList<PhraseProperty>{property("child", 1)})};
    for (int i = 2; i <= 11; ++i)
        properties.append(property(QStringLiteral("p%1").arg(i), i));
    RecognitionResult result;
    result.phrase.properties = properties;
    result.phrase.elements = QList<PhraseElement>{{"word", {5}}};
    builder.build(tree, result, "x", true);

    QSet<QString> keys;
    for (const TreeNode &node : tree.nodes())
        keys.insert(node.key);
    EXPECT_EQ(keys.size(), tree.nodeCount()) << "every key unique";

    const auto find = [&](const QString &text) {
        for (const TreeNode &node : tree.nodes()) {
            if (node.text == text)
                return node;
        }
        return TreeNode{};
    };
    EXPECT_EQ(find("Property (child) (1)"),
              (TreeNode{"Properties111", "Property (child) (1)", "Properties11"}));
    EXPECT_EQ(find("Property (p11) (11)"),
              (TreeNode{"Properties111#2", "Property (p11) (11)", "Properties1"}));
    EXPECT_EQ(find("Pronunciation (ph5/1033)").parentKey, "PronunciationsElementPhraseInfo11")
        << "the walk carries on after the collision";
}

TEST_F(ResultTreeBuilderTest, DuplicateRootKeyFromEarlierNodeIsMadeUnique)
{
    tree.addNode("", "Reco1", "someone else's node");
    tree.addNode("", "Reco1#2", "and another");
    RecognitionResult result;
    builder.build(tree, result, "x", true);
    EXPECT_EQ(tree.nodes().at(2), (TreeNode{"Reco1#3", "Recognition (x)", ""}));
    EXPECT_EQ(tree.nodes().at(3).parentKey, "Reco1#3");
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
