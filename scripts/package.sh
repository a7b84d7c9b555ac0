#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, checks it (lintian, desktop-file-validate, appstreamcli), installs it
# with apt-get, runs the installed programs from /usr/bin (a rebuild, the manual page, the window
# under Xvfb with a screenshot) and removes it again. Needs root or sudo, as apt-get does.
# KESTRUNE_PACKAGE_BUILD_DIR: build directory (default build-package); KESTRUNE_SCREENSHOT:
# where the picture of the installed window goes (default: inside the build directory).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kestrune_install_deps
kestrune_install_deps "${KESTRUNE_PACKAGING_PACKAGES[@]}"

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
build="${KESTRUNE_PACKAGE_BUILD_DIR:-$root/build-package}"
screenshot="${KESTRUNE_SCREENSHOT:-$build/installed.png}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
step() { echo "== $*"; }

step "build with Debian's hardening flags"
# dpkg-buildflags gives what Debian builds its own packages with (fortify, relro, bindnow).
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"  # CMake reads no CPPFLAGS, where _FORTIFY_SOURCE is
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKESTRUNE_BUILD_GUI=ON -DKESTRUNE_BUILD_TESTS=OFF
cmake --build "$build" -j "$(nproc)"

step "validate the desktop entry and the AppStream metadata"
desktop-file-validate "$root/packaging/io.github.kestrune.Kestrune.desktop"
appstreamcli validate --no-net "$build/packaging/io.github.kestrune.Kestrune.metainfo.xml"

step "make the package"
rm -f "$build"/kestrune_*.deb
(cd "$build" && cpack -G DEB)
deb="$(ls "$build"/kestrune_*_amd64.deb)"
dpkg-deb --info "$deb"

step "lintian"
# Errors fail the script; warnings are shown for the next person to fix.
lintian --fail-on error --display-info "$deb"

step "install with apt-get"
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "$deb" >/dev/null
dpkg-query -W kestrune

step "run the installed command line from /usr/bin"
/usr/bin/kestrune-cli --version
cp "$root/tests/data/stereo_48k.dts" "$scratch/sample.dts"
(cd "$scratch" && /usr/bin/kestrune-cli --rebuild --remove-crc sample.dts)
[ -s "$scratch/sample.dts.fixed.dts" ] || { echo "error: the rebuild wrote no output" >&2; exit 1; }
# The rebuilt copy must itself read back as a whole stream with the same number of frames.
frames_in="$(/usr/bin/kestrune-cli --json "$scratch/sample.dts" | grep -o '"frames":[0-9]*')"
frames_out="$(/usr/bin/kestrune-cli --json "$scratch/sample.dts.fixed.dts" | grep -o '"frames":[0-9]*')"
[ "$frames_in" = "$frames_out" ] || { echo "error: input $frames_in, rebuilt $frames_out" >&2; exit 1; }
echo "rebuilt copy reads back: $frames_out"
# A movie file loads the kestrune-media module from where the package put it.
ffmpeg -v error -y -i "$root/tests/data/stereo_48k.dts" -c copy "$scratch/movie.mkv"
/usr/bin/kestrune-cli --json "$scratch/movie.mkv" | grep -q '"container":"Matroska"' ||
  { echo "error: the installed kestrune-cli reads no Matroska track" >&2; exit 1; }
echo "movie file read through the installed module"

step "the installed manual page and completion"
man_text="$(MANWIDTH=80 man -P cat kestrune-cli 2>/dev/null | tr -s ' ')"
echo "$man_text" | head -12
grep -q "kestrune-cli - inspect and repair" <<<"$man_text" || { echo "error: man kestrune-cli shows no page" >&2; exit 1; }
grep -q -- "--remove-dialnorm" <<<"$man_text" || { echo "error: the page lacks the options" >&2; exit 1; }
man -P cat kestrune >/dev/null 2>&1 || { echo "error: man kestrune shows no page" >&2; exit 1; }
bash -c 'source /usr/share/bash-completion/completions/kestrune-cli && complete -p kestrune-cli'
desktop-file-validate /usr/share/applications/io.github.kestrune.Kestrune.desktop
appstreamcli validate --no-net /usr/share/metainfo/io.github.kestrune.Kestrune.metainfo.xml

step "start the installed window under Xvfb"
mkdir -p "$(dirname "$screenshot")"
# A window manager draws the title bar, so the picture shows the window's icon and title.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -e
  # wait_for TEXT: until a window whose name starts with TEXT exists.
  wait_for() {
    for _ in $(seq 100); do
      xwininfo -root -tree | grep -q "\"$1" && return 0
      sleep 0.1
    done
    echo "error: no window \"$1...\" appeared" >&2
    return 1
  }
  openbox >/dev/null 2>&1 &
  wait_for Openbox
  /usr/bin/kestrune >/dev/null 2>&1 &
  app=$!
  wait_for "Kestrune V"
  sleep 1  # the first paint
  kill -0 "$app" || { echo "error: the installed kestrune exited" >&2; exit 1; }
  import -window root "$1"
  kill "$app"
' screenshot "$screenshot"
echo "screenshot of the installed window: $screenshot"

step "remove the package"
DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -qq kestrune >/dev/null
for f in /usr/bin/kestrune-cli /usr/bin/kestrune /usr/share/man/man1/kestrune-cli.1.gz \
         /usr/share/applications/io.github.kestrune.Kestrune.desktop /usr/share/doc/kestrune; do
  [ ! -e "$f" ] || { echo "error: $f is still there after removal" >&2; exit 1; }
done
echo "package built, checked, installed, run and removed: $(basename "$deb")"
