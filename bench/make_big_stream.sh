#!/usr/bin/env bash
# Builds the inputs of run_bench.sh in bench/work (git-ignored) by repeating a small DTS sample:
# a big plain 16-bit stream, the same stream 14-bit packed and in a WAVE file, and a 100 MiB
# plain stream for the memory comparison.
#
# usage: bench/make_big_stream.sh [--sample FILE.dts] [--mib N]
#   --sample  a 16-bit stream of whole frames (default tests/data/surround51_48k.dts,
#             5.1 channels at 1536 kbit/s: 2048-byte frames, as in film soundtracks)
#   --mib     size of the big stream in MiB (default 1024)
# KESTRUNE_BUILD_DIR names the build directory (default build-speed, configured if missing).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build-speed}"
sample="$root/tests/data/surround51_48k.dts"
mib=1024
while [ $# -gt 0 ]; do
  case "$1" in
    --sample) sample="$2"; shift 2 ;;
    --mib) mib="$2"; shift 2 ;;
    *) echo "usage: $0 [--sample FILE.dts] [--mib N]" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=ON -DKESTRUNE_BUILD_TESTS=ON
fi
cmake --build "$build" --target kestrune_bench_stream kestrune-cli
tool="$build/bench/kestrune_bench_stream"

work="$root/bench/work"
mkdir -p "$work"
# Each file is remade only when its sample or size changed.
stamp="$(basename "$sample") $(stat -c %s "$sample") ${mib}MiB"
make_one() {  # mode output stream-bytes
  local mode="$1" out="$2" bytes="$3"
  if [ -f "$out" ] && [ -f "$out.stamp" ] && [ "$(cat "$out.stamp")" = "$stamp $bytes" ]; then
    echo "$out: up to date"
    return
  fi
  rm -f "$out" "$out.stamp"
  "$tool" "$mode" "$sample" "$out" "$bytes"
  echo "$stamp $bytes" > "$out.stamp"
}

big=$((mib * 1024 * 1024))
make_one dts "$work/big.dts" "$big"
make_one cpt "$work/big.cpt" "$big"
make_one wav16 "$work/big.wav" "$big"
make_one dts "$work/mid.dts" $((100 * 1024 * 1024))
ls -l "$work"/*.dts "$work"/*.cpt "$work"/*.wav
