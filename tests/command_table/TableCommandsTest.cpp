#include "CommandTableTestSupport.h"
#include "support/FakeHosts.h"

#include "command_table/CommandTableModel.h"
#include "command_table/TableCommands.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

/// The lock button, the grid and the listening switch, as a log of calls.
class FakeTableControls : public TableControls
{
public:
    QString lockCaption() const override { return caption; }
    void setLockCaption(const QString &text) override
    {
        caption = text;
        calls << QStringLiteral("caption ") + text;
    }
    void setGridEnabled(bool enabled) override { calls << (enabled ? "grid on" : "grid off"); }
    void stopListening() override { calls << QStringLiteral("stop listening"); }

    QString caption;
    QStringList calls;
};

TEST(TableCommands, TheLockButtonTogglesAndUnlockingStopsListening)
{
    const struct
    {
        const char *caption;
        QStringList calls;
    } cases[] = {
        {"Unlock Table", {"caption Lock Table", "grid on", "stop listening"}},
        {"Lock Table", {"caption Unlock Table", "grid off"}},
        {"unlock table", {"caption Unlock Table", "grid off"}},
    };
    for (const auto &c : cases) {
        FakeTableControls controls;
        controls.caption = QLatin1String(c.caption);
        FakeMessageBoxes boxes;
        TableCommands commands(controls, boxes);
        commands.lockClicked();
        EXPECT_EQ(controls.calls, c.calls) << c.caption;
    }
    // Switching recognition on locks the table without touching listening.
    FakeTableControls controls;
    FakeMessageBoxes boxes;
    TableCommands(controls, boxes).lockTable();
    EXPECT_EQ(controls.calls, QStringList({"caption Unlock Table", "grid off"}));
}

TEST(TableCommands, DeleteRecordAsksFirstAndSwallowsFailures)
{
    const QString question = QStringLiteral("Are you sure you want to delete this record");
    const struct
    {
        const char *name;
        bool locked;
        MessageBoxes::Answer answer;
        int currentRow;
        QStringList shown;
        QStringList remaining;
    } cases[] = {
        {"locked", true, MessageBoxes::Answer::Yes, 0, {"Table is locked"}, {"ONE", "TWO", "FOUR"}},
        {"answered no", false, MessageBoxes::Answer::No, 0, {question}, {"ONE", "TWO", "FOUR"}},
        {"answered yes", false, MessageBoxes::Answer::Yes, 1, {question}, {"ONE", "FOUR"}},
        {"new-row line", false, MessageBoxes::Answer::Yes, 2, {question}, {"ONE", "TWO", "FOUR"}},
        {"no current row", false, MessageBoxes::Answer::Yes, -1, {question}, {"ONE", "TWO", "FOUR"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StoreFixture fixture({row("ONE"), row("TWO")});
        FakeMessageBoxes boxes;
        boxes.defaultAnswer = c.answer;
        CommandTableModel model(fixture.store(), boxes);
        FakeTableControls controls;
        controls.caption = c.locked ? QStringLiteral("Unlock Table") : QStringLiteral("Lock Table");
        // Added behind the grid's back: it shows only if the grid re-reads.
        CommandStore(fixture.path(), finderFor({})).insert(row("FOUR"));

        TableCommands(controls, boxes).deleteRecord(model, c.currentRow);

        QStringList shown;
        for (const FakeMessageBoxes::Shown &s : boxes.shown) {
            EXPECT_EQ(s.title, QStringLiteral("KESTREL"));
            EXPECT_EQ(s.question, !c.locked);
            shown << s.text;
        }
        EXPECT_EQ(shown, c.shown);
        QStringList remaining;
        for (const CommandRow &r : CommandStore(fixture.path(), finderFor({})).refresh())
            remaining << r.WordPhrase;
        EXPECT_EQ(remaining, c.remaining);
        const bool reread = !c.locked && c.answer == MessageBoxes::Answer::Yes;
        EXPECT_EQ(model.storedRowCount(), reread ? remaining.size() : 2);
    }
}

} // namespace
