#include "desktop/x11/SingleInstance.h"
#include "support/RecordingDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <optional>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

QString uniqueName(const char *suffix)
{
    return "kestrel-test-" + QString::number(QCoreApplication::applicationPid()) + '-' + suffix;
}

TEST(SingleInstance, SecondGuardOnTheSameNameIsRefusedUntilTheFirstEnds)
{
    const QString name = uniqueName("guard");
    std::optional<SingleInstance> first(name);
    ASSERT_TRUE(first->acquire());
    EXPECT_TRUE(first->acquire()) << "taking a held guard again is harmless";

    SingleInstance second(name);
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isHeld());

    SingleInstance other(uniqueName("other"));
    EXPECT_TRUE(other.acquire()) << "another name is another guard";

    first.reset();
    SingleInstance third(name);
    EXPECT_TRUE(third.acquire()) << "the name is free again once its holder is gone";
}

TEST(SingleInstance, LeavesNoFileThatAnotherListenerCouldTakeOverAndIsPerUser)
{
    SingleInstance guard(uniqueName("file"));
    ASSERT_TRUE(guard.acquire());
    EXPECT_FALSE(QFile::exists(QDir::temp().filePath(guard.name())));
    EXPECT_FALSE(QFile::exists(guard.name()));
    EXPECT_EQ(SingleInstance::defaultName(), QStringLiteral("kestrel-%1").arg(getuid()));
}

TEST(BringExistingInstanceForward, ActivatesOnlyTheWindowTitledExactlyKestrel)
{
    test::RecordingDesktop desktop;
    for (WindowId window : {7, 42, 43})
        desktop.addWindow(window);
    desktop.setWindowTitle(7, "KESTREL - other");
    desktop.setWindowTitle(43, "kestrel");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
    EXPECT_TRUE(desktop.actions().isEmpty());

    desktop.setWindowTitle(42, "KESTREL");
    EXPECT_TRUE(bringExistingInstanceForward(desktop));
    EXPECT_EQ(desktop.actions(), QStringList{"activate 0x2a"});

    // A window that goes while it is brought forward is no instance to defer to.
    desktop.failOn("activate", "gone");
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
}

} // namespace
} // namespace kestrel
