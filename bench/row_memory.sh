#!/usr/bin/env bash
# Peak memory of kestrune-cli on a stream where every frame starts a row, against a steady
# stream of the same size walked in the same run: the command line writes each file's rows as
# they come (text or JSON), so its peak must not grow with their number.
#
# usage: bench/row_memory.sh [--mib N]     (default 100)
# Builds both streams in bench/work (git-ignored) from the first frame of a committed sample, cut
# to 96 bytes (FSIZE 95) so that rows are as many as they can be: one per 96 bytes. The changing
# stream alternates DIALNORM 0 and 9 from frame to frame. Peak resident sizes from /usr/bin/time -v.
# KESTRUNE_BUILD_DIR names the build directory (default build-speed, configured if missing).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build-speed}"
mib=100
while [ $# -gt 0 ]; do
  case "$1" in
    --mib) mib="$2"; shift 2 ;;
    *) echo "usage: $0 [--mib N]" >&2; exit 2 ;;
  esac
done
target_kib=$((32 * 1024))

if [ ! -x /usr/bin/time ]; then
  echo "/usr/bin/time is missing: bash scripts/run.sh installs it (package 'time')" >&2
  exit 1
fi
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DKESTRUNE_BUILD_GUI=OFF -DKESTRUNE_BUILD_BENCH=ON -DKESTRUNE_BUILD_TESTS=ON
fi
cmake --build "$build" --target kestrune-cli >/dev/null
cli="$build/cli/kestrune-cli"

work="$root/bench/work"
mkdir -p "$work"
rows="$work/rows_${mib}m.dts"
steady="$work/steady_${mib}m.dts"
python3 - "$root/tests/data/stereo_48k.dts" "$rows" "$steady" "$mib" <<'PY'
import sys

sample, rows_path, steady_path, mib = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
first = bytearray(open(sample, "rb").read()[:96])
assert first[:4] == b"\x7f\xfe\x80\x01" and not (first[4] & 0x02), "a 16-bit frame without a header CRC"

def set_bits(frame, pos, width, value):
    for i in range(width):
        byte, bit = divmod(pos + i, 8)
        mask = 0x80 >> bit
        if (value >> (width - 1 - i)) & 1:
            frame[byte] |= mask
        else:
            frame[byte] &= ~mask

set_bits(first, 46, 14, 95)          # FSIZE: 96 bytes a frame
quiet = bytearray(first)
set_bits(quiet, 100, 4, 0)           # DIALNORM (bits 100..103 without a header CRC)
loud = bytearray(first)
set_bits(loud, 100, 4, 9)
pairs = mib * 1024 * 1024 // (2 * 96)
with open(rows_path, "wb") as out:
    out.write(bytes(quiet + loud) * pairs)
with open(steady_path, "wb") as out:
    out.write(bytes(quiet + quiet) * pairs)
PY

# peak_kib COMMAND...: the peak resident size of one run, in KiB; the report goes to /dev/null.
peak_kib() {
  /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F': ' '/Maximum resident set size/ { print $2 }'
}
count_rows() {
  "$cli" --json "$1" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["files"][0]["rows"]))'
}

echo "build:  $build ($(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" 2>/dev/null | cut -d= -f2))"
echo "inputs: $(basename "$rows") $(stat -c %s "$rows") bytes, $(count_rows "$rows") rows;" \
     "$(basename "$steady") $(stat -c %s "$steady") bytes, $(count_rows "$steady") row"
printf '%-8s %14s %14s %10s %s\n' report "steady (MiB)" "rows (MiB)" ratio "target 32 MiB"
status=0
for mode in text json; do
  args=()
  [ "$mode" = json ] && args=(--json)
  base=$(peak_kib "$cli" "${args[@]}" "$steady")
  peak=$(peak_kib "$cli" "${args[@]}" "$rows")
  verdict=met
  if [ "$peak" -gt "$target_kib" ]; then verdict=MISSED; status=1; fi
  awk -v m="$mode" -v b="$base" -v p="$peak" -v v="$verdict" \
    'BEGIN { printf "%-8s %14.1f %14.1f %10.2f %s\n", m, b / 1024, p / 1024, p / b, v }'
done
exit $status
