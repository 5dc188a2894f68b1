#!/usr/bin/env bash
# Installs what is missing, builds and starts KESTREL in a working directory
# (default ./workdir, or the first argument). The command table, settings file
# and grammar live there; the starter files are created on first run.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
workdir="$(realpath -m "${1:-$here/workdir}")"
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh"

# shellcheck source=desktop-session.sh
source "$here/scripts/desktop-session.sh"
if [ -z "${DISPLAY:-}" ]; then
  echo "run.sh: no DISPLAY set; starting a virtual desktop (Xvfb + openbox) for KESTREL."
  trap kestrel_session_stop EXIT
  kestrel_start_x
  if ! pactl info >/dev/null 2>&1; then
    echo "run.sh: no sound server found; starting a private PulseAudio daemon."
    kestrel_start_pulse
  fi
fi

mkdir -p "$workdir"
for f in sol.xml; do
  [ -e "$workdir/$f" ] || cp "$here/resources/$f" "$workdir/$f"
done
cd "$workdir"
echo "run.sh: starting KESTREL in $workdir"
"${KESTREL_BUILD_DIR:-$here/build}/src/app/kestrel" "${@:2}"
