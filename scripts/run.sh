#!/usr/bin/env bash
# Installs what is missing, builds Kestrune out of the source tree, and starts the desktop application.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kestrune_install_deps

build="${KESTRUNE_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON
cmake --build "$build" -j "$(nproc)"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the desktop application cannot open its window here." >&2
  echo "Use the command-line tool instead, for example:" >&2
  echo "  $build/cli/kestrune-cli $root/tests/data/stereo_48k.dts" >&2
  echo "  $build/cli/kestrune-cli --help" >&2
  exit 1
fi
exec "$build/app/kestrune" "$@"
