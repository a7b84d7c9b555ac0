#!/usr/bin/env bash
# Drives the real desktop application under Xvfb with a window manager, as a user would: adds
# three files through the real file dialog by typing their names under the *.dts filter, runs
# a batch with "Rebuild Stream", checks every output against the command line's, and saves a
# picture of the screen. Runs twice: at the default size, and at 144 dpi (Qt scaling by 1.5)
# on a 1024x768 screen. Exits non-zero when a check fails.
#   bash scripts/drive_gui.sh [SCREENSHOT_DIR]   (default: docs/)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kestrune_install_deps "${KESTRUNE_PACKAGES[@]}" "${KESTRUNE_GUI_DRIVE_PACKAGES[@]}"

build="${KESTRUNE_BUILD_DIR:-$root/build}"
shots="${1:-$root/docs}"
if [ ! -x "$build/app/kestrune" ] || [ ! -x "$build/cli/kestrune-cli" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON
  cmake --build "$build" -j2
fi
mkdir -p "$shots"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$shots/failed.png" 2>/dev/null && echo "screen at the failure: $shots/failed.png" >&2
  [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log" >&2
  exit 1
}

# wait_window NAME: the id of the first visible window whose name matches, within 40 s.
wait_window() {
  local id=""
  for _ in $(seq 1 200); do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}

# focus WINDOW: activates the window and waits until it has the keyboard focus.
focus() {
  for _ in $(seq 1 50); do
    xdotool windowactivate "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" >/dev/null 2>&1 || true
    [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$1" ] && { sleep 0.3; return 0; }
    sleep 0.1
  done
  fail "window $1 never got the focus"
}

# keys WINDOW KEY...: presses the keys with WINDOW focused (a key sent while nothing has the
# focus makes xdotool fail, so it is tried again).
keys() {
  local window="$1"; shift
  for _ in 1 2 3; do
    focus "$window"
    xdotool key "$@" 2>/dev/null && return 0
    sleep 0.3
  done
  fail "cannot press $* in window $window"
}

# drive NAME [ENV...]: one session on a fresh 1024x768 screen; the picture is NAME.png.
drive() {
  local name="$1"; shift
  local files="$work/$name"
  mkdir -p "$files" "$work/$name-config/Kestrune"
  cp "$root/tests/data/stereo_48k.cpt" "$files/a.cpt"
  cp "$root/tests/data/stereo_48k_16le.wav" "$files/b.wav"
  cp "$root/tests/data/stereo_48k_ratechange.dts" "$files/c.dts"
  cp "$root/tests/data/surround51_48k.dts" "$files/d.dts"
  # The picker opens in the folder last used, and "Rebuild Stream" is ticked from the last run.
  printf '[General]\nlastFolder=%s\nrebuildStream=true\n' "$files" >"$work/$name-config/Kestrune/Kestrune.conf"

  # A display number well away from the usual ones, free of any lock.
  local n=$((100 + RANDOM % 400))
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  export DISPLAY=":$n"
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  xdpyinfo >/dev/null 2>&1 || fail "$name: Xvfb did not start on $DISPLAY"
  openbox >/dev/null 2>&1 & pids+=($!)
  for _ in $(seq 1 50); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.1; done

  env XDG_CONFIG_HOME="$work/$name-config" "$@" "$build/app/kestrune" >"$work/app.log" 2>&1 & local app=$!
  pids+=($app)
  local main
  main="$(wait_window '^Kestrune V2.0$')" || {
    kill -0 "$app" 2>/dev/null || { wait "$app"; fail "$name: the application ended with status $? before its window opened"; }
    fail "$name: the window did not open (DISPLAY=$DISPLAY)"
  }
  sleep 1
  # "Add DTS file..." has the focus and is the default button.
  keys "$main" Return
  local picker
  picker="$(wait_window '^Add DTS file$')" || fail "$name: the file dialog did not open"
  focus "$picker"
  # Typed with the *.dts filter on: the dialog lists only c.dts and d.dts.
  xdotool type --delay 20 '"a.cpt" "b.wav" "c.dts"' || fail "$name: cannot type in the file dialog"
  sleep 0.3
  keys "$picker" Return
  sleep 0.8
  xdotool search --onlyvisible --name '^Add DTS file$' >/dev/null 2>&1 && fail "$name: the file dialog stayed open"
  # Tab from "Add DTS file..." past the frame list to "Start Batch".
  keys "$main" Tab Tab Return
  local box
  box="$(wait_window '^Kestrune$')" || fail "$name: no closing box after the batch"
  keys "$box" Return
  sleep 0.8
  import -window root "$shots/$name.png"

  # Each typed file was added and done (an output is written only for a file done), and its
  # output equals the command line's; d.dts, listed but not typed, was not added.
  [ -e "$files/d.dts.fixed.dts" ] && fail "$name: d.dts was added though it was not typed"
  for f in a.cpt b.wav c.dts; do
    [ -f "$files/$f.fixed.dts" ] || fail "$name: $f was not added or not done (no output)"
    mv "$files/$f.fixed.dts" "$files/$f.window.dts"
    "$build/cli/kestrune-cli" --rebuild "$files/$f" >/dev/null 2>&1 || fail "$name: the command line fails on $f"
    cmp -s "$files/$f.window.dts" "$files/$f.fixed.dts" || fail "$name: the window's output for $f differs from the command line's"
  done
  local geometry
  geometry="$(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: //p')"
  keys "$main" Escape
  for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app" 2>/dev/null && fail "$name: the window did not close"
  grep -q '^geometry=' "$work/$name-config/Kestrune/Kestrune.conf" || fail "$name: the window size was not remembered"
  local w="${geometry%x*}" h="${geometry#*x}"
  [ "$w" -le 1024 ] && [ "$h" -le 768 ] || fail "$name: the window ($geometry) is larger than the screen"
  echo "$name: 3 typed files added and done, outputs equal the command line's, window $geometry, picture $shots/$name.png"
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}

start=$(date +%s)
drive screenshot
drive screenshot-144dpi QT_SCALE_FACTOR=1.5
echo "all checks passed in $(( $(date +%s) - start )) s"
