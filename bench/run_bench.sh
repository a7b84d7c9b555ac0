#!/usr/bin/env bash
# Times kestrune-cli on the big inputs of make_big_stream.sh against the physical limit on this
# machine, all in the same run: inspect against `cat FILE >/dev/null` (and FFmpeg's packet count
# where ffprobe is installed), rebuild against `cp FILE COPY`, and the 14-bit packed and WAVE
# inputs against cat of the same file. Prints the median of each and their ratios, then the peak
# memory of kestrune-cli for a 100 MiB and the big stream.
#
# usage: bench/run_bench.sh [--runs N]     (default 5)
# KESTRUNE_BUILD_DIR names the build directory (default build-speed).
# Run it on a quiet machine: other work on the cores makes the figures meaningless.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build-speed}"
runs=5
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs="$2"; shift 2 ;;
    *) echo "usage: $0 [--runs N]" >&2; exit 2 ;;
  esac
done

cli="$build/cli/kestrune-cli"
work="$root/bench/work"
big="$work/big.dts"
cpt="$work/big.cpt"
wav="$work/big.wav"
mid="$work/mid.dts"
for f in "$cli" "$big" "$cpt" "$wav" "$mid"; do
  if [ ! -e "$f" ]; then
    echo "missing $f: build kestrune-cli and run bench/make_big_stream.sh first" >&2
    exit 1
  fi
done
have_ffprobe=0
command -v ffprobe >/dev/null 2>&1 && have_ffprobe=1

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
echo "build:   $build ($(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" 2>/dev/null | cut -d= -f2))"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
for f in "$big" "$cpt" "$wav"; do
  echo "input:   $(basename "$f"), $(stat -c %s "$f") bytes"
done
echo "runs:    $runs, medians of wall-clock seconds; inputs read from the page cache"

# Every input is read once before timing, so kestrune-cli and cat alike read from the cache.
for f in "$big" "$cpt" "$wav" "$mid"; do cat "$f" >/dev/null; done

declare -A times
copy="$work/copy.dts"
fixed="$big.fixed.dts"
clean_outputs() {
  rm -f "$copy" "$fixed"
  # Dirty pages of one writer must not be flushed during the next timing.
  sync
}

# time_case NAME COMMAND...: appends the wall-clock seconds of one run of COMMAND to NAME.
time_case() {
  local name="$1"; shift
  local start end
  start=$EPOCHREALTIME
  "$@"
  end=$EPOCHREALTIME
  times[$name]+="$(awk -v s="$start" -v e="$end" 'BEGIN { printf "%.4f", e - s }') "
}
run_cat() { cat "$1" >/dev/null; }
run_inspect() { "$cli" "$1" >/dev/null; }
run_rebuild() { "$cli" --rebuild "$1" >/dev/null; }
run_cp() { cp "$1" "$2"; }
run_cat_copy() { cat "$1" >"$2"; }
run_ffprobe() { ffprobe -v error -count_packets -show_entries stream=nb_read_packets "$1" >/dev/null; }

clean_outputs
for ((i = 1; i <= runs; i++)); do
  # Interleaved, so that a slow spell of the machine hits every case alike.
  time_case cat run_cat "$big"
  time_case inspect run_inspect "$big"
  time_case cp run_cp "$big" "$copy"; clean_outputs
  time_case cat_copy run_cat_copy "$big" "$copy"; clean_outputs
  time_case rebuild run_rebuild "$big"; clean_outputs
  time_case cat_cpt run_cat "$cpt"
  time_case inspect_cpt run_inspect "$cpt"
  time_case cat_wav run_cat "$wav"
  time_case inspect_wav run_inspect "$wav"
  if [ $have_ffprobe = 1 ]; then time_case ffprobe run_ffprobe "$big"; fi
  echo "run $i done" >&2
done

median() { tr ' ' '\n' <<<"${times[$1]}" | grep -v '^$' | sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
verdict() { awk -v r="$1" -v t="$2" -v op="$3" 'BEGIN { ok = (op == "<=") ? r <= t : r >= t; print ok ? "met" : "MISSED" }'; }

echo
declare -A sizes=([cat]="$big" [inspect]="$big" [cp]="$big" [cat_copy]="$big" [rebuild]="$big" [ffprobe]="$big"
                  [cat_cpt]="$cpt" [inspect_cpt]="$cpt" [cat_wav]="$wav" [inspect_wav]="$wav")
printf '%-14s %9s %8s   %s\n' "case" "median s" "GB/s" "all runs"
for name in cat inspect cp cat_copy rebuild cat_cpt inspect_cpt cat_wav inspect_wav ffprobe; do
  [ -n "${times[$name]:-}" ] || continue
  m=$(median "$name")
  printf '%-14s %9s %8s   %s\n' "$name" "$m" "$(awk -v b="$(stat -c %s "${sizes[$name]}")" -v t="$m" 'BEGIN { printf "%.2f", b / t / 1e9 }')" "${times[$name]}"
done

echo
printf '%-52s %7s  %s\n' "ratio (target)" "value" "verdict"
report() {  # label value target op
  printf '%-52s %7s  %s\n' "$1 ($4 $3)" "$2" "$(verdict "$2" "$3" "$4")"
}
r=$(ratio "$(median inspect)" "$(median cat)"); report "inspect / cat" "$r" 2.0 "<="
if [ $have_ffprobe = 1 ]; then
  r=$(ratio "$(median ffprobe)" "$(median inspect)"); report "ffprobe packet count / inspect" "$r" 4 ">="
fi
r=$(ratio "$(median rebuild)" "$(median cp)"); report "rebuild / cp" "$r" 1.25 "<="
r=$(ratio "$(median inspect_cpt)" "$(median cat_cpt)"); report "14-bit inspect / cat of the 14-bit file" "$r" 3 "<="
r=$(ratio "$(median inspect_wav)" "$(median cat_wav)"); report "WAVE inspect / cat of the WAVE file" "$r" 3 "<="
echo "for information:"
printf '  %-50s %7s\n' "rebuild / cat FILE >COPY" "$(ratio "$(median rebuild)" "$(median cat_copy)")"
printf '  %-50s %7s\n' "14-bit inspect / cat of the 16-bit stream" "$(ratio "$(median inspect_cpt)" "$(median cat)")"
printf '  %-50s %7s\n' "WAVE inspect / cat of the 16-bit stream" "$(ratio "$(median inspect_wav)" "$(median cat)")"

# Peak resident memory of one kestrune-cli run, in KiB.
peak_kib() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
  else
    python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=False)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
  fi
}
echo
printf '%-52s %7s  %s\n' "peak memory of kestrune-cli (target <= 32 MiB)" "MiB" "verdict"
for f in "$mid" "$big"; do
  for mode in inspect rebuild; do
    if [ $mode = inspect ]; then kib=$(peak_kib "$cli" "$f"); else kib=$(peak_kib "$cli" --rebuild "$f"); rm -f "$f.fixed.dts"; fi
    mib=$(awk -v k="$kib" 'BEGIN { printf "%.1f", k / 1024 }')
    printf '%-52s %7s  %s\n' "$mode $(basename "$f") ($(( $(stat -c %s "$f") / 1048576 )) MiB)" "$mib" "$(verdict "$mib" 32 "<=")"
  done
done
