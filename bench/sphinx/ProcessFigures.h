#pragma once

namespace kestrel::bench {

/// CPU time this process has used, in seconds.
double cpuSeconds();
/// Resident memory of this process in KiB; -1 when it cannot be read.
long residentKiB();

} // namespace kestrel::bench
