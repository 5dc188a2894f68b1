// CPU spent by the interpreter's polling waits (spoken feedback, launches,
// pauses) while nothing happens.
//
//   kestrel_wait_cpu [SECONDS]
//
// Polls QtEventWait::processEvents() for that long (2 s by default) with no
// events pending and prints the process CPU time against the wall time, and
// how many polls ran.

#include "common/QtEventWait.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <ctime>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 2.0;
    kestrel::QtEventWait wait;
    const std::clock_t cpuStart = std::clock();
    const double start = wait.now();
    long polls = 0;
    while (wait.now() - start < seconds) {
        wait.processEvents();
        ++polls;
    }
    const double wall = wait.now() - start;
    const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    std::printf("idle wait: %.2f s CPU over %.2f s (%.1f%% of a core), %ld polls\n", cpu, wall,
                100.0 * cpu / wall, polls);
    return 0;
}
