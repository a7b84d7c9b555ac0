#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the fuzz targets with clang-14 (libFuzzer, ASan, UBSan) and runs each for a given time.
# Usage: fuzz/run_fuzz.sh SECONDS [TARGET...]   (targets: FuzzWholePath FuzzRiffReader)
# New inputs go to fuzz/work/<target>/ (not committed); crashes are written there too.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-60}"; shift || true
targets=("$@"); [ ${#targets[@]} -gt 0 ] || targets=(FuzzWholePath FuzzRiffReader)
build="${KESTRUNE_FUZZ_BUILD_DIR:-$root/build-fuzz}"
source "$root/scripts/deps.sh"
kestrune_install_deps "${KESTRUNE_PACKAGES[@]}" "${KESTRUNE_FUZZ_PACKAGES[@]}"

CXX=clang++-14 cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTRUNE_FUZZ=ON -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  case "$t" in FuzzWholePath) seeds=whole ;; FuzzRiffReader) seeds=riff ;; *) echo "unknown target $t" >&2; exit 2 ;; esac
  work="$root/fuzz/work/$t"; mkdir -p "$work/corpus"
  echo "== $t for ${seconds}s"
  # -max_len keeps inputs a few frames long; -timeout flags any input that hangs the walk.
  # Scratch files on a memory file system where there is one: the target writes every input to a file.
  [ -d /dev/shm ] && export TMPDIR=/dev/shm
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
      "$build/fuzz/$t" -max_total_time="$seconds" -max_len=8192 -timeout=30 -rss_limit_mb=2048 \
      -artifact_prefix="$work/" -print_final_stats=1 "$work/corpus" "$root/fuzz/corpus/$seeds" \
      2>"$work/log.txt"; then
    status=1
    tail -n 40 "$work/log.txt"
  fi
  grep -E '^stat::number_of_executed_units|^stat::new_units_added|Done [0-9]+ runs' "$work/log.txt" || true
done
exit $status
