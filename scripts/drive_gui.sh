#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Drives the real desktop application under Xvfb with a window manager, as a user would, by
# keyboard: adds files through the real file dialog by typing their names under the filter last
# used (a fifo among them is left out, the rest come in), runs a batch with "Rebuild Stream" and
# checks every output against the command line's; selects a damaged file's row and copies its
# frames (its skipped stretch is a row of its own); then, on a long file, presses Esc, the
# "Rebuild Stream" mnemonic and Stop during a run: the window and the list stay, the options did
# not change, the stopped file keeps its older output, and the re-run put the rows back to
# "queued". Runs at the default size and at 144 dpi (Qt scaling by 1.5) on a 1024x768 screen.
# Every wait polls against a deadline. Exits non-zero when a check fails.
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
title='^Kestrune V2\.0$'   # the main window's title
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
  pids=()
}
cleanup() {
  stop_all
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -n "${DISPLAY:-}" ] && import -window root "$shots/failed.png" 2>/dev/null && echo "screen at the failure: $shots/failed.png" >&2
  [ -f "$work/app.log" ] && sed 's/^/  app: /' "$work/app.log" >&2
  exit 1
}

# until SECONDS COMMAND...: runs the command every 0.1 s until it succeeds; false at the deadline.
until_ok() {
  local deadline=$(( $(date +%s) + $1 )); shift
  while ! "$@" >/dev/null 2>&1; do
    [ "$(date +%s)" -ge "$deadline" ] && return 1
    sleep 0.1
  done
}

# wait_window NAME: the id of the first visible window whose name matches, within 60 s.
wait_window() {
  local id="" deadline=$(( $(date +%s) + 60 ))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    id="$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

window_gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# focus WINDOW: activates the window and waits until it has the keyboard focus.
focus() {
  local deadline=$(( $(date +%s) + 20 ))
  while [ "$(date +%s)" -lt "$deadline" ]; do
    xdotool windowactivate "$1" >/dev/null 2>&1 || xdotool windowfocus "$1" >/dev/null 2>&1 || true
    [ "$(xdotool getactivewindow 2>/dev/null || true)" = "$1" ] && { sleep 0.2; return 0; }
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
    xdotool key --delay 60 "$@" 2>/dev/null && return 0
    sleep 0.3
  done
  fail "cannot press $* in window $window"
}

# clip WINDOW KEY...: the clipboard after pressing the keys (a copy in the window), waited for.
clip() {
  local window="$1"; shift
  # xclip stays behind to own the emptied clipboard until the copy takes it over: its output
  # is let go, or the command substitution around this would wait for it.
  printf '' | xclip -selection clipboard >/dev/null 2>&1 || true
  keys "$window" "$@"
  local text="" deadline=$(( $(date +%s) + 10 ))
  while [ -z "$text" ] && [ "$(date +%s)" -lt "$deadline" ]; do
    sleep 0.1
    text="$(xclip -o -selection clipboard 2>/dev/null || true)"
  done
  printf '%s' "$text"
}

# pick WINDOW NAMES: opens the file dialog with Alt+A, types the names and accepts.
pick() {
  keys "$1" alt+a
  local picker
  picker="$(wait_window '^Add DTS file$')" || fail "the file dialog did not open"
  focus "$picker"
  xdotool type --delay 20 "$2" || fail "cannot type in the file dialog"
  sleep 0.3
  keys "$picker" Return
  until_ok 20 window_gone '^Add DTS file$' || fail "the file dialog stayed open"
}

# start_display NAME: a fresh 1024x768 X server and a window manager. Xvfb picks a free display
# itself (-displayfd): choosing one by hand raced with other servers starting at the same time,
# which is why the start used to fail on a loaded machine. Tried three times.
start_display() {
  for attempt in 1 2 3; do
    local fd="$work/display.$attempt"
    rm -f "$fd"
    Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$fd" 2>"$work/xvfb.log" & pids+=($!)
    if until_ok 30 grep -q '[0-9]' "$fd"; then
      export DISPLAY=":$(head -n1 "$fd" | tr -dc 0-9)"
      if until_ok 30 xdpyinfo; then
        openbox --sm-disable >"$work/openbox.log" 2>&1 & pids+=($!)
        # The window manager owns the screen once it has set its check window.
        until_ok 30 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' && return 0
        echo "$1: attempt $attempt: the window manager did not start on $DISPLAY: $(tr '\n' ' ' <"$work/openbox.log")" >&2
      else
        echo "$1: attempt $attempt: Xvfb did not answer on $DISPLAY: $(tr '\n' ' ' <"$work/xvfb.log")" >&2
      fi
    else
      echo "$1: attempt $attempt: Xvfb did not start: $(tr '\n' ' ' <"$work/xvfb.log")" >&2
    fi
    stop_all
  done
  fail "$1: no display after three attempts"
}

# drive NAME [ENV...]: one session; the picture is NAME.png.
drive() {
  local name="$1"; shift
  local files="$work/$name"
  mkdir -p "$files" "$work/$name-config/Kestrune"
  cp "$root/tests/data/stereo_48k.cpt" "$files/a.cpt"
  cp "$root/tests/data/stereo_48k_16le.wav" "$files/b.wav"
  cp "$root/tests/data/stereo_48k_ratechange.dts" "$files/c.dts"
  cp "$root/tests/data/surround51_48k.dts" "$files/d.dts"
  # 100 bytes of junk after the second frame: the command line says "skipped 100 bytes".
  { head -c 1024 "$root/tests/data/stereo_48k.dts"; head -c 100 /dev/zero | tr '\0' 'U'; tail -c +1025 "$root/tests/data/stereo_48k.dts"; } >"$files/damaged.dts"
  mkfifo "$files/fifo.dts"
  # A long stream (1.3 GB of 5.1 frames), so a run on it is still going when Stop comes.
  cp "$root/tests/data/surround51_48k.dts" "$files/big.dts"
  for _ in $(seq 1 16); do cat "$files/big.dts" "$files/big.dts" >"$files/big.tmp"; mv "$files/big.tmp" "$files/big.dts"; done
  # The picker opens in the folder and with the filter last used; "Rebuild Stream" is ticked.
  printf '[General]\nlastFolder=%s\nlastFilter=DTS Padded audio Files (*.dts)\nrebuildStream=true\n' "$files" \
    >"$work/$name-config/Kestrune/Kestrune.conf"

  start_display "$name"
  # A session bus of its own: without one, the accessibility bridge's search for a bus can hold
  # the start of the application. A window that still does not come is given a second start.
  local app="" main=""
  for attempt in 1 2; do
    dbus-run-session -- env XDG_CONFIG_HOME="$work/$name-config" "$@" "$build/app/kestrune" >"$work/app.log" 2>&1 & app=$!
    pids+=($app)
    main="$(wait_window "$title")" && break
    kill -0 "$app" 2>/dev/null || { wait "$app"; fail "$name: the application ended with status $? before its window opened"; }
    echo "$name: attempt $attempt: the window did not open within 60 s (DISPLAY=$DISPLAY)" >&2
    kill "$app" 2>/dev/null || true
  done
  [ -n "$main" ] || fail "$name: the window did not open (DISPLAY=$DISPLAY)"

  # Typed under the *.dts filter, which lists only the .dts files; the fifo is left out.
  pick "$main" '"a.cpt" "b.wav" "c.dts" "fifo.dts" "damaged.dts"'
  keys "$main" alt+s
  local box
  box="$(wait_window '^Kestrune$')" || fail "$name: no closing box after the batch"
  keys "$box" Return
  until_ok 20 window_gone '^Kestrune$' || fail "$name: the closing box stayed open"
  import -window root "$shots/$name.png"

  [ -e "$files/d.dts.fixed.dts" ] && fail "$name: d.dts was added though it was not typed"
  for f in a.cpt b.wav c.dts damaged.dts; do
    [ -f "$files/$f.fixed.dts" ] || fail "$name: $f was not added or not done (no output)"
    mv "$files/$f.fixed.dts" "$files/$f.window.dts"
    "$build/cli/kestrune-cli" --rebuild "$files/$f" >/dev/null 2>&1 || fail "$name: the command line fails on $f"
    cmp -s "$files/$f.window.dts" "$files/$f.fixed.dts" || fail "$name: the window's output for $f differs from the command line's"
  done

  # The batch list has four rows (no fifo); the damaged file's row shows its frames.
  local batch frames
  batch="$(clip "$main" alt+b ctrl+a ctrl+c)"
  [ "$(grep -c $'\tdone\t' <<<"$batch")" -eq 4 ] || fail "$name: the batch list is not four done rows: $batch"
  grep -q 'fifo' <<<"$batch" && fail "$name: the fifo was added"
  batch="$(clip "$main" alt+b Home Down Down Down ctrl+c)"
  grep -q "damaged.dts"$'\t'"done" <<<"$batch" || fail "$name: Ctrl+C in the batch list did not copy the damaged file's row: $batch"
  frames="$(clip "$main" alt+f ctrl+a ctrl+c)"
  grep -q 'skipped 100 bytes' <<<"$frames" || fail "$name: the damaged file's frames have no skipped row: $frames"
  "$build/cli/kestrune-cli" "$files/damaged.dts" | grep -q 'skipped 100 bytes' || fail "$name: the command line disagrees on the damage"

  # A long file: a first run writes its output, a second is stopped halfway.
  keys "$main" alt+b ctrl+a Delete
  pick "$main" '"big.dts" "c.dts"'
  keys "$main" alt+s
  box="$(wait_window '^Kestrune$')" || fail "$name: no closing box after the long run"
  keys "$box" Return
  until_ok 20 window_gone '^Kestrune$' || fail "$name: the closing box stayed open"
  cp "$files/big.dts.fixed.dts" "$files/big.first.dts"
  # Esc and the Rebuild Stream mnemonic during the run change nothing; Stop ends it.
  keys "$main" alt+s Escape alt+r alt+t
  local deadline=$(( $(date +%s) + 60 ))
  until batch="$(clip "$main" alt+b ctrl+a ctrl+c)"; grep -q $'\tstopped\t' <<<"$batch"; do
    [ "$(date +%s)" -ge "$deadline" ] && fail "$name: the run did not stop: $batch"
    sleep 0.3
  done
  xdotool search --onlyvisible --name "$title" >/dev/null || fail "$name: Stop or Esc closed the window"
  window_gone '^Kestrune$' || fail "$name: a closing box came after a stop"
  grep -q "c.dts"$'\t'"queued" <<<"$batch" || fail "$name: the re-run did not put the rows back to queued: $batch"
  cmp -s "$files/big.dts.fixed.dts" "$files/big.first.dts" || fail "$name: the stopped run changed the older output"

  local geometry
  geometry="$(xdotool getwindowgeometry "$main" | sed -n 's/.*Geometry: //p')"
  keys "$main" alt+q
  until_ok 20 window_gone "$title" || fail "$name: Quit did not close the window"
  grep -q '^geometry=' "$work/$name-config/Kestrune/Kestrune.conf" || fail "$name: the window size was not remembered"
  grep -q '^rebuildStream=true' "$work/$name-config/Kestrune/Kestrune.conf" || fail "$name: Rebuild Stream changed during the run"
  local w="${geometry%x*}" h="${geometry#*x}"
  [ "$w" -le 1024 ] && [ "$h" -le 768 ] || fail "$name: the window ($geometry) is larger than the screen"
  echo "$name: typed files added (fifo left out) and done, outputs equal the command line's, skipped row shown, Esc harmless, options locked, Stop kept the window, window $geometry"
  stop_all
  rm -rf "$files"
}

start=$(date +%s)
drive screenshot
drive screenshot-144dpi QT_SCALE_FACTOR=1.5
echo "all checks passed in $(( $(date +%s) - start )) s"
