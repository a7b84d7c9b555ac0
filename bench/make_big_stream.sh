#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the inputs of run_bench.sh in bench/work (git-ignored) by repeating a small DTS sample: the
# same stream in every word layout, DTS-HD, a search through random bytes, a WAVE with many small
# chunks and a stream with a row in every frame. Each input's core frame count goes to FILE.frames.
#
# usage: bench/make_big_stream.sh [--sample FILE.dts] [--mib N]
#   --sample  a 16-bit stream of whole frames (default tests/data/surround51_48k.dts,
#             5.1 channels at 1536 kbit/s: 2048-byte frames, as in film soundtracks)
#   --mib     size of the big inputs in MiB (default 1024); the chunk list is 100 MiB and the
#             row stream 128 MiB at 1024, scaled with it
# About 8.7 GB at 1024: small enough for the page cache to hold all of them, so that the timings
# of run_bench.sh are of warm reads.
# KESTRUNE_BUILD_DIR names the build directory (default build-speed, configured if missing).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build-speed}"
sample="$root/tests/data/surround51_48k.dts"
# Cut to 96-byte frames for the row stream; a stereo frame's header fits them.
rows_sample="$root/tests/data/stereo_48k.dts"
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
cmake --build "$build" -j2 --target kestrune_bench_stream kestrune-cli
tool="$build/bench/kestrune_bench_stream"

work="$root/bench/work"
mkdir -p "$work"
# The inputs of earlier versions of this script, a few GB that nothing reads any more.
rm -f "$work"/big.dts* "$work"/big.cpt* "$work"/big.wav* "$work"/mid.dts*

# make_one MODE OUTPUT MIN_BYTES [SAMPLE]: remade only when its sample, size or the tool changed.
tool_sum=$(cksum <"$tool" | cut -d' ' -f1)
make_one() {
  local mode="$1" out="$2" bytes="$3" from="${4:-$sample}"
  local stamp
  stamp="$mode $(basename "$from") $(stat -c %s "$from") $bytes $tool_sum"
  if [ -f "$out" ] && [ -f "$out.frames" ] && [ -f "$out.stamp" ] && [ "$(cat "$out.stamp")" = "$stamp" ]; then
    echo "$out: up to date"
    return
  fi
  rm -f "$out" "$out.stamp" "$out.frames"
  "$tool" "$mode" "$from" "$out" "$bytes" | tail -n 1 >"$out.frames"
  echo "$out: $(stat -c %s "$out") bytes, $(cat "$out.frames") frames"
  echo "$stamp" >"$out.stamp"
}

big=$((mib * 1024 * 1024))
make_one dts "$work/be16.dts" "$big"
make_one le16 "$work/le16.dts" "$big"
make_one cpt "$work/be14.cpt" "$big"
make_one cptle "$work/le14.cpt" "$big"
# A WAVE file's words are little-endian: there is no 14-bit big-endian WAVE to measure.
make_one wav16 "$work/wav16.wav" "$big"
make_one wav14 "$work/wav14.wav" "$big"
make_one hd "$work/hd.dts" "$big"
make_one search "$work/search.dts" "$big"
make_one chunks "$work/chunks.wav" $((mib * 100 * 1024))
make_one rows "$work/rows.dts" $((big / 8)) "$rows_sample"
# The window's bench: 100,000 rows of 96-byte frames, whatever the size of the big inputs.
make_one rows "$work/rows100k.dts" 9600000 "$rows_sample"
