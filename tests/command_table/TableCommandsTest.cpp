#include "CommandTableTestSupport.h"
#include "support/FakeHosts.h"

#include "command_table/CommandTableModel.h"
#include "command_table/TableCommands.h"

#include <gtest/gtest.h>

using namespace kestrel;
using namespace kestrel::test;

namespace {

/// The lock button, the grid and the listening switch, as a log of calls.
struct FakeTableControls : TableControls
{
    explicit FakeTableControls(const QString &c) : caption(c) {}
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
    const std::pair<const char *, QStringList> cases[] = {
        {"Unlock Table", {"caption Lock Table", "grid on", "stop listening"}},
        {"Lock Table", {"caption Unlock Table", "grid off"}},
        {"unlock table", {"caption Unlock Table", "grid off"}},
    };
    FakeMessageBoxes boxes;
    for (const auto &[caption, calls] : cases) {
        FakeTableControls controls(caption);
        TableCommands(controls, boxes).lockClicked();
        EXPECT_EQ(controls.calls, calls) << caption;
    }
    // Switching recognition on locks the table without touching listening.
    FakeTableControls controls("Lock Table");
    TableCommands(controls, boxes).lockTable();
    EXPECT_EQ(controls.calls, QStringList({"caption Unlock Table", "grid off"}));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST(TableCommands, DeleteRecordAsksFirstAndSwallowsFailures)
{
    const std::tuple<const char *, bool, MessageBoxes::Answer, int, QStringList> cases[] = {
        {"locked", true, MessageBoxes::Answer::Yes, 0, {"ONE", "TWO", "FOUR"}},
        {"answered no", false, MessageBoxes::Answer::No, 0, {"ONE", "TWO", "FOUR"}},
        {"answered yes", false, MessageBoxes::Answer::Yes, 1, {"ONE", "FOUR"}},
        {"new-row line", false, MessageBoxes::Answer::Yes, 2, {"ONE", "TWO", "FOUR"}},
        {"no current row", false, MessageBoxes::Answer::Yes, -1, {"ONE", "TWO", "FOUR"}},
    };
    for (const auto &[name, locked, answer, currentRow, remaining] : cases) {
        SCOPED_TRACE(name);
        StoreFixture fixture({row("ONE"), row("TWO")});
        FakeMessageBoxes boxes;
        boxes.defaultAnswer = answer;
        CommandTableModel model(fixture.store(), boxes);
        FakeTableControls controls(locked ? "Unlock Table" : "Lock Table");
        // Added behind the grid's back: it shows only if the grid re-reads.
        CommandStore(fixture.path(), finderFor({})).insert(row("FOUR"));

        TableCommands(controls, boxes).deleteRecord(model, currentRow);

        const QString text = locked ? "Table is locked" : "Are you sure you want to delete this record";
        EXPECT_EQ(boxes.shown,
                  QList<FakeMessageBoxes::Shown>({{"KESTREL", text, MessageBoxes::Icon::None, !locked}}));
        QStringList phrases;
        for (const CommandRow &r : fixture.stored())
            phrases << r.WordPhrase;
        EXPECT_EQ(phrases, remaining);
        const bool reread = !locked && answer == MessageBoxes::Answer::Yes;
        EXPECT_EQ(model.storedRowCount(), reread ? remaining.size() : 2);
    }
}

} // namespace
