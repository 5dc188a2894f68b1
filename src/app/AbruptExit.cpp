#include "app/AbruptExit.h"

#include <cstdio>
#include <cstdlib>

#include <unistd.h>

namespace kestrel {

namespace {

void (*g_save)() = nullptr;

// on_exit rather than atexit: it is told exit()'s status, which the process
// still ends with.
void saveAndEnd(int status, void *)
{
    if (g_save)
        g_save();
    std::fflush(nullptr);
    ::_exit(status);
}

} // namespace

bool runBeforeExitTearsDown(void (*save)())
{
    g_save = save;
    static const bool registered = ::on_exit(saveAndEnd, nullptr) == 0;
    return registered;
}

} // namespace kestrel
