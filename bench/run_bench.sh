#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures kestrune-cli on every input of make_big_stream.sh against the physical limit of this
# machine, all in one run: inspecting each input against `cat FILE >/dev/null` of the same file,
# rebuilding each against `cat FILE >COPY`, its peak memory on every input, and a batch in the
# dialog against the command line. Prints the medians, then each figure as a ratio with its target
# and verdict, and how many targets were met.
#
# usage: bench/run_bench.sh [--runs N]     (default 5; the runs interleave all the cases)
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
dialog_bench="$build/bench/kestrune_dialog_bench"
work="$root/bench/work"

# The timed cases, each an input and its inspect target. There is no 14-bit big-endian WAVE (a
# WAVE file's words are little-endian), so 14-bit is measured plain in both byte orders and in WAVE.
cases=(be16 be14 le14 wav14 le16 wav16 hd search chunks)
declare -A file=([be16]=be16.dts [be14]=be14.cpt [le14]=le14.cpt [wav14]=wav14.wav [le16]=le16.dts
                 [wav16]=wav16.wav [hd]=hd.dts [search]=search.dts [chunks]=chunks.wav [rows]=rows.dts)
declare -A label=([be16]="16-bit BE" [be14]="14-bit BE" [le14]="14-bit LE" [wav14]="14-bit LE in WAVE"
                  [le16]="16-bit LE" [wav16]="16-bit LE in WAVE" [hd]="DTS-HD, 2-6 KB substreams"
                  [search]="search through random bytes" [chunks]="WAVE after many small chunks"
                  [rows]="a row in every frame")
declare -A inspect_target=([be16]=1.3 [be14]=2.0 [le14]=2.0 [wav14]=2.0 [le16]=1.5 [wav16]=1.5
                           [hd]=1.5 [search]=2.0 [chunks]=2.0)
rebuild_target=1.3
memory_target_mib=32
dialog_target=1.1
# The window's batch: six big inputs of each kind of work (plain, 14-bit unpacking, WAVE,
# substreams), then a file with 100,000 rows, each against the command line in the same run.
dialog_batch=(be16 be14 le14 wav16 hd le16)
# A rebuild is a clean 16-bit big-endian copy of the same stream, so it must equal this input.
declare -A rebuild_equals=([be16]=be16 [be14]=be16 [le14]=be16 [wav14]=be16 [le16]=be16
                           [wav16]=be16 [hd]=hd [rows]=rows)

for f in "$cli" "$work/be16.dts"; do
  if [ ! -e "$f" ]; then
    echo "missing $f: build kestrune-cli and run bench/make_big_stream.sh first" >&2
    exit 1
  fi
done
for k in "${cases[@]}" rows; do
  if [ ! -f "$work/${file[$k]}.frames" ] || [ ! -f "$work/rows100k.dts.frames" ]; then
    echo "missing $work/${file[$k]}: run bench/make_big_stream.sh first" >&2
    exit 1
  fi
done
path() { echo "$work/${file[$1]}"; }
bytes() { stat -c %s "$(path "$1")"; }

echo "machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo 2>/dev/null | cut -d: -f2- | sed 's/^ *//'), $(uname -sr)"
echo "build:   $build ($(grep -m1 CMAKE_BUILD_TYPE: "$build/CMakeCache.txt" 2>/dev/null | cut -d= -f2))"
echo "load:    $(cut -d' ' -f1-3 /proc/loadavg 2>/dev/null)"
echo "runs:    $runs, medians of wall-clock seconds, interleaved; inputs read from the page cache"
for k in "${cases[@]}" rows; do
  printf 'input:   %-12s %12s bytes, %9s frames  %s\n' "${file[$k]}" "$(bytes "$k")" "$(cat "$(path "$k").frames")" "${label[$k]}"
done

copy="$work/copy.out"
clean_outputs() {
  rm -f "$copy" "$work"/*.fixed.dts
  # Dirty pages of one writer must not be flushed during the next timing.
  sync
}
clean_outputs

# Peak resident memory, in MiB, of the run whose /usr/bin/time -f %M report is in $1.
mib_of() { awk '{ k = $1 } END { printf "%.1f", k / 1024 }' "$1"; }
declare -A found peak_inspect peak_json peak_rebuild rebuild_check
measured=$work/time.out
# check_input KEY: the command line's frame count (from --json) against what was written, its peak
# memory inspecting (text and JSON) and rebuilding, and whether the rebuild is the stream it should
# be. Reads every input once before any timing, so all of them are in the page cache.
check_input() {
  local k="$1" f tail_json
  f="$(path "$k")"
  tail_json=$(/usr/bin/time -f %M -o "$measured" "$cli" --json "$f" | tail -c 2048)
  peak_json[$k]=$(mib_of "$measured")
  found[$k]=$(grep -o '"frames":[0-9]*' <<<"$tail_json" | tail -n 1 | cut -d: -f2)
  grep -q '"state":"done"' <<<"$tail_json" || found[$k]="${found[$k]:-0} (not done)"
  /usr/bin/time -f %M -o "$measured" "$cli" "$f" >/dev/null
  peak_inspect[$k]=$(mib_of "$measured")
  /usr/bin/time -f %M -o "$measured" "$cli" --rebuild "$f" >/dev/null
  peak_rebuild[$k]=$(mib_of "$measured")
  rebuild_check[$k]="not compared"
  if [ -n "${rebuild_equals[$k]:-}" ]; then
    if cmp -s "$f.fixed.dts" "$(path "${rebuild_equals[$k]}")"; then
      rebuild_check[$k]="same as ${file[${rebuild_equals[$k]}]}"
    else
      rebuild_check[$k]="DIFFERS from ${file[${rebuild_equals[$k]}]}"
    fi
  fi
  clean_outputs
}
echo
echo "checking each input once (frame counts, rebuilt streams, peak memory)..." >&2
for k in "${cases[@]}" rows; do check_input "$k"; done

declare -A times
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
run_cat_copy() { cat "$1" >"$copy"; }
run_cp() { cp "$1" "$copy"; }
run_ffprobe() { ffprobe -v error -count_packets -show_entries stream=nb_read_packets "$1" >/dev/null; }
have_ffprobe=0
command -v ffprobe >/dev/null 2>&1 && have_ffprobe=1

for ((i = 1; i <= runs; i++)); do
  # Interleaved, so that a slow spell of the machine hits every case alike.
  for k in "${cases[@]}"; do
    time_case "cat $k" run_cat "$(path "$k")"
    time_case "inspect $k" run_inspect "$(path "$k")"
    time_case "cat>copy $k" run_cat_copy "$(path "$k")"; clean_outputs
    time_case "rebuild $k" run_rebuild "$(path "$k")"; clean_outputs
  done
  # For information: cp uses copy_file_range here, which copies inside the kernel.
  time_case "cp be16" run_cp "$(path be16)"; clean_outputs
  if [ $have_ffprobe = 1 ]; then time_case "ffprobe be16" run_ffprobe "$(path be16)"; fi
  echo "run $i of $runs done" >&2
done

median() {
  tr ' ' '\n' <<<"${times[$1]}" | grep -v '^$' | sort -g |
    awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.4f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
ratio() { awk -v a="$(median "$1")" -v b="$(median "$2")" 'BEGIN { printf "%.2f", a / b }'; }

echo
printf '%-22s %9s %8s   %s\n' "case" "median s" "GB/s" "all runs"
for k in "${cases[@]}"; do
  for op in cat inspect "cat>copy" rebuild; do
    name="$op $k"
    m=$(median "$name")
    printf '%-22s %9s %8s   %s\n' "$name" "$m" "$(awk -v b="$(bytes "$k")" -v t="$m" 'BEGIN { printf "%.2f", b / t / 1e9 }')" "${times[$name]}"
  done
done
for name in "cp be16" "ffprobe be16"; do
  [ -n "${times[$name]:-}" ] && printf '%-22s %9s %8s   %s\n' "$name" "$(median "$name")" "" "${times[$name]}"
done

met=0
total=0
# report LABEL VALUE TARGET [FAILED-BECAUSE]: one target's line; a failed check overrides the verdict.
report() {
  local verdict
  verdict=$(awk -v r="$2" -v t="$3" 'BEGIN { print (r <= t) ? "met" : "MISSED" }')
  [ -n "${4:-}" ] && verdict="FAILED ($4)"
  total=$((total + 1))
  [ "$verdict" = met ] && met=$((met + 1))
  printf '%-58s %7s  %-6s %s\n' "$1" "$2" "<= $3" "$verdict"
}
frames_failure() {
  local expected
  expected=$(cat "$(path "$1").frames")
  [ "${found[$1]}" = "$expected" ] || echo "found ${found[$1]} of $expected frames"
}

echo
printf '%-58s %7s  %-6s %s\n' "ratio" "value" "target" "verdict"
for k in "${cases[@]}"; do
  report "inspect ${label[$k]} / cat of the file" "$(ratio "inspect $k" "cat $k")" "${inspect_target[$k]}" "$(frames_failure "$k")"
done
for k in "${cases[@]}"; do
  bad=""
  [[ "${rebuild_check[$k]}" == DIFFERS* ]] && bad="${rebuild_check[$k]}"
  report "rebuild ${label[$k]} / cat FILE >COPY" "$(ratio "rebuild $k" "cat>copy $k")" "$rebuild_target" "$bad"
done
for k in "${cases[@]}" rows; do
  peak=$(printf '%s\n' "${peak_inspect[$k]}" "${peak_json[$k]}" "${peak_rebuild[$k]}" | sort -g | tail -n 1)
  report "peak memory, MiB, ${label[$k]} ($(( $(bytes "$k") / 1048576 )) MiB)" "$peak" "$memory_target_mib" "$(frames_failure "$k")"
done
if [ -x "$dialog_bench" ]; then
  batch=()
  for k in "${dialog_batch[@]}"; do batch+=("$(path "$k")"); done
  dialog_out=$(QT_QPA_PLATFORM=offscreen "$dialog_bench" --runs "$runs" "${batch[@]}" 2>&1)
  r=$(awk -F: '/^dialog \/ command line/ { split($2, a, " "); print a[1] }' <<<"$dialog_out")
  report "dialog batch (${dialog_batch[*]}) / command line" "${r:-0}" "$dialog_target" "$([ -n "$r" ] || head -n 1 <<<"$dialog_out")"
  dialog_out=$(QT_QPA_PLATFORM=offscreen "$dialog_bench" --runs "$runs" "$work/rows100k.dts" 2>&1)
  r=$(awk -F: '/^dialog \/ command line/ { split($2, a, " "); print a[1] }' <<<"$dialog_out")
  report "dialog, 100,000 rows / command line" "${r:-0}" "$dialog_target" "$([ -n "$r" ] || head -n 1 <<<"$dialog_out")"
else
  printf '%-58s %7s  %-6s %s\n' "dialog batch / command line" "" "<= $dialog_target" "skipped: no GUI build"
fi

echo
echo "for information:"
printf '  %-56s %7s\n' "rebuild 16-bit BE / cp FILE COPY (copy_file_range)" "$(ratio "rebuild be16" "cp be16")"
if [ $have_ffprobe = 1 ]; then
  printf '  %-56s %7s\n' "FFmpeg packet count / inspect 16-bit BE" "$(ratio "ffprobe be16" "inspect be16")"
fi
for k in "${cases[@]}" rows; do
  printf '  %-22s frames %s of %s; peak MiB inspect %s, --json %s, --rebuild %s; rebuild %s\n' "${file[$k]}" \
    "${found[$k]}" "$(cat "$(path "$k").frames")" "${peak_inspect[$k]}" "${peak_json[$k]}" "${peak_rebuild[$k]}" "${rebuild_check[$k]}"
done
echo
echo "$met of $total targets met"
