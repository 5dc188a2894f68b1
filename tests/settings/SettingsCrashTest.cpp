#include "SettingsTestFiles.h"

#include "settings/SettingsFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

using namespace kestrel;
using namespace kestrel::test;

namespace {

TEST(SettingsCrash, AKilledSaveLeavesTheOldOrTheNewFileInFull)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KESTREL.INI"));
    // The file the loop produces from what is there, for one set of values.
    const auto saved = [&](const QByteArray &before, int which) {
        writeBytes(path, before);
        SaveDat(path, saveLoopValues(which));
        return readBytes(path);
    };
    const QByteArray first = saved(saveLoopStartFile(), 0);
    const QByteArray second = saved(first, 1);
    ASSERT_EQ(saved(second, 0), first);
    ASSERT_NE(first, second);
    writeBytes(path, first);

    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
    for (int kill = 0; kill < 60; ++kill) {
        QProcess loop;
        loop.start(QStringLiteral(KESTREL_SAVE_LOOP_HELPER), {path});
        ASSERT_TRUE(loop.waitForStarted()) << loop.errorString().toStdString();
        ASSERT_TRUE(loop.waitForReadyRead(60000)) << loop.readAllStandardError().toStdString();
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        loop.kill();
        ASSERT_TRUE(loop.waitForFinished());
        ASSERT_EQ(loop.exitStatus(), QProcess::CrashExit) << "the save loop stopped by itself";

        ASSERT_TRUE(QFileInfo::exists(path)) << "after kill " << kill;
        const QByteArray now = readBytes(path);
        ASSERT_TRUE(now == first || now == second)
            << "after kill " << kill << " the file has " << now.size() << " bytes of neither content";
    }
}

} // namespace
