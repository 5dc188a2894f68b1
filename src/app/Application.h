#pragma once

#include <memory>

namespace kestrel {

/// Builds the program from its parts (real desktop, voice, recogniser, windows),
/// wires the windows to each other and runs start-up. One instance, owned by
/// main(); nothing global.
class Application
{
public:
    Application();
    ~Application();

    /// Returns the process exit code: 0 after a normal end, or when another
    /// instance is already running; 1 when the program cannot start at all (no X
    /// display, a command table that cannot be opened).
    int run();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace kestrel
