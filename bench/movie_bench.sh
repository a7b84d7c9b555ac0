#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures kestrune-cli on a movie file of about 1 GB (a video track and a DTS-HD MA track, the
# real MA sample from ../shared/samples repeated) against the tools a user would otherwise take:
# inspecting against `cat FILE >/dev/null`, --rebuild against `mkvextract FILE tracks 1:OUT`,
# --remux against `ffmpeg -i FILE -map 0 -c copy OUT`, and the peak memory of each of our runs.
# Prints the medians, then each figure as a ratio with its target and verdict.
#
# usage: bench/movie_bench.sh [--runs N]     (default 3; the runs interleave all the cases)
# KESTRUNE_BUILD_DIR names the build directory (default build).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build}"
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    *) echo "usage: $0 [--runs N]" >&2; exit 2 ;;
  esac
done
cli="$build/cli/kestrune-cli"
sample="$root/../shared/samples/sample_with_dts_hd_ma.mkv"
[ -x "$cli" ] || { echo "error: build kestrune-cli first ($cli)" >&2; exit 1; }
[ -f "$sample" ] || { echo "error: the DTS-HD MA sample is needed: $sample" >&2; exit 1; }
work="$root/bench/work/movie"
mkdir -p "$work"
movie="$work/movie.mkv"

if [ ! -f "$movie" ]; then
  echo "== making $movie"
  ffmpeg -v error -y -i "$sample" -map 0:a:0 -c copy -f dts "$work/ma.dts"
  # About 1 s of MA audio per copy; 600 copies, under 600 s of raw video at 2 MB/s.
  for _ in $(seq 600); do cat "$work/ma.dts"; done >"$work/ma600.dts"
  ffmpeg -v error -y -f lavfi -i "testsrc=s=320x180:r=24:d=600" -i "$work/ma600.dts" \
    -map 0 -map 1 -c:v rawvideo -pix_fmt yuv420p -c:a copy "$movie"
  rm -f "$work/ma.dts" "$work/ma600.dts"
fi
size=$(stat -c %s "$movie")

# seconds and peak KiB of a command: "SECONDS KIB"
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time.txt" "$@" >/dev/null 2>&1
  cat "$work/time.txt"
}
declare -A secs kib
for _ in $(seq "$runs"); do
  for c in cat inspect mkvextract rebuild ffmpeg remux; do
    case $c in
      cat) r=$(measure cat "$movie") ;;
      inspect) r=$(measure "$cli" "$movie") ;;
      mkvextract) r=$(measure mkvextract "$movie" tracks "1:$work/extracted.dts") ;;
      rebuild) r=$(measure "$cli" --rebuild "$movie") ;;
      ffmpeg) r=$(measure ffmpeg -v error -y -i "$movie" -map 0 -c copy "$work/copy.mkv") ;;
      remux) r=$(measure "$cli" --remux "$movie") ;;
    esac
    secs[$c]+="${r% *} "
    kib[$c]+="${r#* } "
  done
done
median() { tr ' ' '\n' | grep . | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
printf 'movie.mkv: %d bytes, %d runs\n' "$size" "$runs"
for c in cat inspect mkvextract rebuild ffmpeg remux; do
  printf '  %-10s %6.2f s  peak %6d KiB\n' "$c" "$(median <<<"${secs[$c]}")" "$(median <<<"${kib[$c]}")"
done
ratio() { awk -v a="$(median <<<"${secs[$1]}")" -v b="$(median <<<"${secs[$2]}")" -v t="$3" -v n="$4" \
  'BEGIN {r = b > 0 ? a / b : 0; printf "  %-28s %5.2f x (target %.1f) %s\n", n, r, t, r <= t ? "met" : "MISSED"}'; }
ratio inspect cat 1.5 "inspect / cat"
ratio rebuild mkvextract 1.2 "--rebuild / mkvextract"
ratio remux ffmpeg 1.3 "--remux / ffmpeg -c copy"
for c in inspect rebuild remux; do
  awk -v k="$(median <<<"${kib[$c]}")" -v n="$c" \
    'BEGIN {printf "  %-28s %5.1f MiB (target 64) %s\n", "peak memory of " n, k / 1024, k <= 65536 ? "met" : "MISSED"}'
done
rm -f "$work/extracted.dts" "$work/copy.mkv" "$work/movie.fixed.mkv" "$work/movie.mkv.fixed.dts" "$work/time.txt"
