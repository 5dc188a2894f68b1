#!/usr/bin/env bash
# A compressed day for the whole program: starts KESTREL on the starter files in
# a fresh working folder, on a private X display and PulseAudio session, and
# feeds its microphone for MINUTES (default 20); see soak.py for the figures.
#   bench/program/soak.sh [MINUTES]
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
minutes="${1:-20}"
# shellcheck source=../../scripts/desktop-session.sh
source "$here/scripts/desktop-session.sh"
work="$(mktemp -d /tmp/kestrel-soak.XXXXXX)"
trap 'kill "${pid:-0}" 2>/dev/null || true; kestrel_session_stop; rm -rf "$work"' EXIT
kestrel_start_pulse
kestrel_start_x
cp "$here/resources/sol.xml" "$work/"
cd "$work"
"${KESTREL_BUILD_DIR:-$here/build}/src/app/kestrel" >"$work/kestrel.log" 2>&1 &
pid=$!
sleep 15 # models, grammar and the first window
if ! python3 "$here/bench/program/soak.py" "$pid" "$KESTREL_PULSE_DIR/mic.fifo" "$minutes"; then
    # What the program said on its way out is the only trace of why it went.
    echo "--- the program's output (last 40 lines):"
    tail -n 40 "$work/kestrel.log"
    exit 1
fi
