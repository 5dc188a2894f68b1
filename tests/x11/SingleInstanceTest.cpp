#include "desktop/x11/SingleInstance.h"
#include "common/Failure.h"
#include "desktop/Desktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <map>
#include <memory>
#include <unistd.h>

#include <gtest/gtest.h>

namespace kestrel {
namespace {

QString uniqueName(const char *suffix)
{
    return QStringLiteral("kestrel-test-%1-%2")
        .arg(QCoreApplication::applicationPid())
        .arg(QLatin1String(suffix));
}

TEST(SingleInstance, SecondGuardOnTheSameNameIsRefusedUntilTheFirstEnds)
{
    const QString name = uniqueName("guard");
    auto first = std::make_unique<SingleInstance>(name);
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

TEST(SingleInstance, LeavesNoFileThatAnotherListenerCouldTakeOver)
{
    SingleInstance guard(uniqueName("file"));
    ASSERT_TRUE(guard.acquire());
    EXPECT_FALSE(QFile::exists(QDir::temp().filePath(guard.name())));
    EXPECT_FALSE(QFile::exists(guard.name()));
}

TEST(SingleInstance, DefaultNameIsPerUser)
{
    EXPECT_TRUE(SingleInstance::defaultName().startsWith(QLatin1String("kestrel-")));
    EXPECT_TRUE(SingleInstance::defaultName().mid(8).toUInt() == static_cast<uint>(getuid()));
}

/// Just enough desktop to see which window the second instance brings forward.
class WindowsOnlyDesktop : public Desktop
{
public:
    std::map<QString, WindowId> titles;
    std::vector<WindowId> activated;
    bool activationFails = false;

    WindowId findTopLevelWindow(const QString &title) override
    {
        auto found = titles.find(title);
        return found == titles.end() ? 0 : found->second;
    }
    void activateWindow(WindowId window) override
    {
        if (activationFails)
            throw Failure(QStringLiteral("gone"));
        activated.push_back(window);
    }
    WindowId foregroundWindow() override { return 0; }
    void moveWindow(WindowId, int, int) override {}
    QPoint cursorPosition() override { return {}; }
    void setCursorPosition(QPoint) override {}
    void mouseButton(Button, bool) override {}
    void sendKeys(const QString &, bool) override {}
    void typeText(const QString &) override {}
    StartResult startProgram(const QString &, const QStringList &, const QString &) override { return {}; }
    StartResult openDocument(const QString &, const QString &) override { return {}; }
    WindowId windowOfProcess(qint64) override { return 0; }
    bool fileExists(const QString &) override { return false; }
    bool directoryExists(const QString &) override { return false; }
    QString clipboardText() override { return {}; }
    void setClipboardText(const QString &) override {}
};

TEST(BringExistingInstanceForward, ActivatesTheWindowTitledKestrel)
{
    WindowsOnlyDesktop desktop;
    desktop.titles = {{QStringLiteral("KESTREL - other"), 7}, {QStringLiteral("KESTREL"), 42}};
    EXPECT_TRUE(bringExistingInstanceForward(desktop));
    EXPECT_EQ(desktop.activated, std::vector<WindowId>{42});
}

TEST(BringExistingInstanceForward, NothingToBringForward)
{
    WindowsOnlyDesktop desktop;
    desktop.titles = {{QStringLiteral("kestrel"), 7}};
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
    EXPECT_TRUE(desktop.activated.empty());

    desktop.titles = {{QStringLiteral("KESTREL"), 42}};
    desktop.activationFails = true;
    EXPECT_FALSE(bringExistingInstanceForward(desktop));
}

} // namespace
} // namespace kestrel
