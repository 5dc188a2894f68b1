// Saves the settings file over and over, alternating between two sets of values,
// until it is killed. Used by the crash test; prints "saving" once the first save
// is done so the test knows the loop is running.
#include "SettingsTestFiles.h"

#include "common/Failure.h"
#include "settings/SettingsFile.h"

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s SETTINGS-FILE\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const kestrel::test::FakeSettingsBinding values[] = {kestrel::test::saveLoopValues(0),
                                                         kestrel::test::saveLoopValues(1)};
    try {
        for (unsigned long round = 1;; ++round) {
            kestrel::SaveDat(path, values[round % 2]);
            if (round == 1) {
                std::puts("saving");
                std::fflush(stdout);
            }
        }
    } catch (const kestrel::Failure &failure) {
        std::fprintf(stderr, "%s\n", failure.what());
        return 1;
    }
}
