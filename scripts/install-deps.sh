#!/usr/bin/env bash
# Installs every Debian package KESTREL needs to build, run and test.
# Idempotent: packages already present are not touched, and apt is not
# called at all when nothing is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config ninja-build
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools
  qt6-multimedia-dev libqt6sql6-sqlite libqt6opengl6-dev
  qt6-l10n-tools
  libpocketsphinx-dev pocketsphinx-en-us libsphinxbase-dev
  pocketsphinx  # pocketsphinx_continuous, the latency benchmark's reference
  libespeak-ng-dev espeak-ng
  libsamplerate0-dev
  libx11-dev libxtst-dev libxext-dev
  libxkbcommon-dev  # the older key names layouts give most letters beyond Latin-1
  xdg-utils xvfb openbox xterm x11-utils x11-xkb-utils xdotool
  pulseaudio pulseaudio-utils sox alsa-utils
  libpulse-dev  # the sound server's default input, which Qt 6.4 does not know
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  poppler-utils fonts-urw-base35 gsfonts
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
