#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the core, command-line and their tests with AddressSanitizer (with its leak check) and
# UndefinedBehaviorSanitizer, and runs them. The desktop application is left out.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$root/scripts/deps.sh"
kestrune_install_deps

build="${KESTRUNE_SANITIZE_BUILD_DIR:-$root/build-sanitize}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUNE_SANITIZE=ON -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=ON
cmake --build "$build" -j "$(nproc)"
cd "$build"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --output-on-failure -j "$(nproc)"
