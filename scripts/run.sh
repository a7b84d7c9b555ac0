#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds the desktop application and the command line (no tests) out of
# the source tree, and starts the desktop application with the files and folders it is given.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build}"

# Told before anything is installed or built: without a display the window cannot open.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found (DISPLAY and WAYLAND_DISPLAY are unset): the desktop application cannot open its window here." >&2
  echo "Build and use the command-line tool instead:" >&2
  echo "  cmake -S $root -B $build -G Ninja -DCMAKE_BUILD_TYPE=Release && cmake --build $build --target kestrune-cli" >&2
  echo "  $build/cli/kestrune-cli --help" >&2
  exit 1
fi

source "$root/scripts/deps.sh"
kestrune_install_deps

launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=ON "${launcher[@]}" >/dev/null
# Only the two programs: the tests are scripts/test.sh's business.
cmake --build "$build" --target kestrune kestrune-cli -j "$(nproc)"
exec "$build/app/kestrune" "$@"
