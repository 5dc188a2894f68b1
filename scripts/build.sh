#!/usr/bin/env bash
# Configures and builds KESTREL into ./build (or $KESTREL_BUILD_DIR).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${KESTREL_BUILD_DIR:-$here/build}"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE="${KESTREL_BUILD_TYPE:-RelWithDebInfo}" ${KESTREL_CMAKE_ARGS:-} >/dev/null
cmake --build "$build" -j "$(nproc)"
