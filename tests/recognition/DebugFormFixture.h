#pragma once

#include "DebugFormFakes.h"
#include "TestPrinters.h"
#include "WorkingDirectory.h"
#include "common/SharedState.h"
#include "recognition/DebugForm.h"
#include "support/ScriptedRecognizer.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace kestrel::debugform_test {

/// A DebugForm wired to its own doubles; created, not loaded.
struct FormRig
{
    ScriptedRecognizer script;
    test::RecordingMainWindowLink mainWindow;
    RecordingTts tts;
    test::FakeMessageBoxes boxes;
    test::RecordingDesktop desktop;
    SharedState shared;
    // Last, so it goes first: its context refers back to the script.
    std::unique_ptr<DebugForm> form =
        std::make_unique<DebugForm>(script, mainWindow, tts, boxes, desktop, shared);
};

/// A FormRig in a temporary working directory that holds a command grammar file.
class DebugFormTest : public ::testing::Test, protected FormRig
{
protected:
    template <typename T> T *control(const char *name)
    {
        T *found = form->findChild<T *>(QLatin1String(name));
        if (!found)
            ADD_FAILURE() << "no control named " << name;
        return found;
    }
    QAbstractButton *button(const char *name) { return control<QAbstractButton>(name); }
    QCheckBox *checkBox(const char *name) { return control<QCheckBox>(name); }

    /// The event list, one entry per line.
    QStringList eventLines()
    {
        const QString text = control<QPlainTextEdit>("EventTextField")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    /// Every node of the result tree in pre-order.
    QList<TreeNode> treeNodes()
    {
        QList<TreeNode> nodes;
        QTreeWidget *tree = control<QTreeWidget>("TreeView1");
        const std::function<void(QTreeWidgetItem *, const QString &)> walk = [&](QTreeWidgetItem *item,
                                                                                 const QString &parent) {
            const QString key = item->data(0, TreeWidgetNodes::KeyRole).toString();
            nodes.append(TreeNode{key, item->text(0), parent});
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i), key);
        };
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            walk(tree->topLevelItem(i), QString());
        return nodes;
    }

    ScopedWorkingDirectory workingDirectory{true};
};

} // namespace kestrel::debugform_test
