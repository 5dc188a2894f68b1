#pragma once

#include "common/SharedState.h"
#include "recognition/DebugForm.h"
#include "support/FakeHosts.h"
#include "support/QtPrinters.h"
#include "support/RecordingDesktop.h"
#include "support/ScopedWorkingDirectory.h"
#include "support/ScriptedRecognizer.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace kestrel::debugform_test {

/// The voice window: records main texts, speak requests and the settings load.
class RecordingTts : public TtsWindowLink
{
public:
    QStringList calls;
    std::function<void()> onLoadDat;
    bool speaking = false;

    int clipboardMonitorState() const override { return 0; }
    void setMainText(const QString &text) override
    {
        calls.append(QStringLiteral("setMainText(%1)").arg(text));
    }
    void speakIt() override { calls.append(QStringLiteral("speakIt")); }
    bool isSpeaking() const override { return speaking; }
    void speakItX() override { calls.append(QStringLiteral("speakItX")); }
    void loadDat() override
    {
        calls.append(QStringLiteral("loadDat"));
        if (onLoadDat)
            onLoadDat();
    }
    void saveDat() override { calls.append(QStringLiteral("saveDat")); }
    void showWindow() override {}
    void unload() override {}
};

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

    /// The timer of the watch that brings recognition back after a loss.
    QTimer *inputWatch() const { return form->findChild<QTimer *>(QStringLiteral("InputWatchTimer")); }

    /// Loads the window and, when asked, switches recognition on.
    void load(bool listening)
    {
        form->recognitionCaption();
        if (listening)
            form->clickIt();
    }
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

    QStringList eventLines()
    {
        const QString text = control<QPlainTextEdit>("EventTextField")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }

    /// Every node of the result tree in pre-order, as "parent > key = text".
    QStringList treeNodes()
    {
        QStringList nodes;
        const std::function<void(QTreeWidgetItem *, const QString &)> walk = [&](QTreeWidgetItem *item,
                                                                                 const QString &parent) {
            const QString key = item->data(0, TreeWidgetNodes::KeyRole).toString();
            nodes.append(parent + " > " + key + " = " + item->text(0));
            for (int i = 0; i < item->childCount(); ++i)
                walk(item->child(i), key);
        };
        QTreeWidget *tree = control<QTreeWidget>("TreeView1");
        for (int i = 0; i < tree->topLevelItemCount(); ++i)
            walk(tree->topLevelItem(i), QString());
        return nodes;
    }

    test::ScopedWorkingDirectory workingDirectory{true};
};

} // namespace kestrel::debugform_test
