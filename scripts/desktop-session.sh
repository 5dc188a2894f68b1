# Sourced by run.sh and test.sh. Starts what a headless machine lacks for
# KESTREL: an X server (Xvfb) with an EWMH window manager (openbox), and a
# PulseAudio daemon with a null sink and a pipe source, each in a private
# runtime directory. kestrel_session_stop ends whatever this file started.

KESTREL_SESSION_PIDS=()

kestrel_free_display() {
  local n
  for n in $(seq 91 140); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then echo ":$n"; return 0; fi
  done
  return 1
}

kestrel_start_x() {
  local display
  display="$(kestrel_free_display)"
  # -noreset: without it the server starts afresh each time its last client
  # leaves, and a client connecting at that moment (the window manager just
  # after one of the probes below) is turned away.
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  local server=$!
  KESTREL_SESSION_PIDS+=("$server")
  export DISPLAY="$display"
  # On a loaded machine the server can take seconds to answer; a window manager
  # started before it does gives up at once, and every test that needs one fails.
  for _ in $(seq 1 300); do
    if xdpyinfo >/dev/null 2>&1; then break; fi
    if ! kill -0 "$server" 2>/dev/null; then
      echo "desktop-session: Xvfb did not start on $display" >&2
      return 0
    fi
    sleep 0.1
  done
  for _ in 1 2 3; do
    # A window manager that gave up may have announced itself first; with
    # -noreset its announcement outlives it and would pass for the next one's.
    xprop -root -remove _NET_SUPPORTING_WM_CHECK 2>/dev/null || true
    openbox >/dev/null 2>&1 &
    local wm=$!
    # Wait until the window manager has announced itself (EWMH supporting window).
    for _ in $(seq 1 300); do
      if xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; then break; fi
      kill -0 "$wm" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$wm" 2>/dev/null; then
      KESTREL_SESSION_PIDS+=("$wm")
      # Tests pause the window manager to play one that is slow to catch up.
      export KESTREL_WM_PID="$wm"
      echo "desktop-session: started Xvfb and openbox on $DISPLAY"
      return 0
    fi
  done
  echo "desktop-session: openbox did not start on $DISPLAY; tests that need a window manager will fail" >&2
}

kestrel_start_pulse() {
  local dir
  dir="$(mktemp -d /tmp/kestrel-pulse.XXXXXX)"
  export XDG_RUNTIME_DIR="$dir"
  export PULSE_RUNTIME_PATH="$dir/pulse"
  export PULSE_STATE_PATH="$dir/state"
  export PULSE_SERVER="unix:$dir/pulse/native"
  export KESTREL_PULSE_DIR="$dir"
  mkdir -p "$dir/pulse" "$dir/state"
  chmod 700 "$dir"
  # module-pipe-source makes the fifo itself and refuses one that already exists.
  cat >"$dir/default.pa" <<PA
load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/pulse/native
load-module module-null-sink sink_name=kestrel_speaker sink_properties=device.description=KESTREL-Speaker
load-module module-pipe-source source_name=kestrel_mic file=$dir/mic.fifo format=s16le rate=16000 channels=1 source_properties=device.description=KESTREL-Microphone
set-default-sink kestrel_speaker
set-default-source kestrel_mic
PA
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --system=false \
    --use-pid-file=no -F "$dir/default.pa" >"$dir/pulse.log" 2>&1 &
  KESTREL_SESSION_PIDS+=($!)
  # Tests that stall the sound server on purpose need to know which it is.
  export KESTREL_PULSE_PID=$!
  for _ in $(seq 1 300); do
    if pactl info >/dev/null 2>&1; then break; fi
    sleep 0.1
  done
  if pactl info >/dev/null 2>&1; then
    echo "desktop-session: started PulseAudio (null sink, pipe source $dir/mic.fifo)"
  else
    echo "desktop-session: PulseAudio did not start; see $dir/pulse.log" >&2
  fi
}

kestrel_session_stop() {
  local pid
  for pid in "${KESTREL_SESSION_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${KESTREL_SESSION_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  KESTREL_SESSION_PIDS=()
}
