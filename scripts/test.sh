#!/usr/bin/env bash
# The whole test suite on a fresh Debian 12 machine: installs what is missing,
# builds, starts a private X display and PulseAudio daemon, runs ctest and stops
# them again. Extra arguments go to ctest (for example: -L unit).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"

# shellcheck source=desktop-session.sh
source "$here/scripts/desktop-session.sh"
trap kestrel_session_stop EXIT
kestrel_start_x
kestrel_start_pulse

# Test programs are listed before they run, without their per-test environment;
# listing needs no display. X11 tests ask for the xcb platform themselves.
export QT_QPA_PLATFORM=offscreen
cd "${KESTREL_BUILD_DIR:-$here/build}"
ctest --output-on-failure --timeout 600 -j 2 "$@"
