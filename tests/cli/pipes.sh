#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# kestrune-cli in pipes, as a shell runs it: "-" read as standard input, "--rebuild -o -" writing
# the stream to standard output, and a reader that goes away. ffprobe decodes what comes out.
# Usage: pipes.sh PATH/TO/kestrune-cli SAMPLE.dts SAMPLE_IN_WAVE.wav
set -u
cli=$1 sample=$2 wave=$3
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# The stream through two pipes equals the rebuild of the named file, and standard output holds
# nothing but it (the report went to stderr, the JSON report to its file). Catches a report or a
# message mixed into the stream, and bytes lost or reordered on the way through.
cp "$sample" "$dir/named.dts"
"$cli" --rebuild "$dir/named.dts" >/dev/null || fail "rebuild of the named file"
cat "$sample" | "$cli" --rebuild -o - - >"$dir/piped.dts" 2>"$dir/err.txt" || fail "piped rebuild: $(cat "$dir/err.txt")"
cmp -s "$dir/piped.dts" "$dir/named.dts.fixed.dts" || fail "the piped stream differs from the named file's rebuild"
grep -q '^-: done, Detected Format: ' "$dir/err.txt" || fail "no report on stderr: $(cat "$dir/err.txt")"
[ "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$dir/piped.dts")" = dts ] || fail "ffprobe"
cat "$sample" | "$cli" --rebuild -o - --json="$dir/report.json" - | ffprobe -v error -show_entries stream=codec_name -of csv=p=0 - >"$dir/probe.txt"
[ "$(cat "$dir/probe.txt")" = dts ] || fail "ffprobe behind the pipe: $(cat "$dir/probe.txt")"
python3 -c 'import json,sys; f=json.load(open(sys.argv[1]))["files"][0]; assert f["file"]=="-" and f["state"]=="done" and f["size"] is None, f' \
    "$dir/report.json" || fail "the JSON report"

# What a pipe cannot do ends in a failure that says why, never in "done": a WAVE file (its chunks
# are found by positioning) and junk before the first frame (the search goes back). The same
# WAVE file redirected from the file, which can be positioned, is read.
cat "$wave" | "$cli" - >/dev/null 2>"$dir/err.txt"; status=$?
[ "$status" -eq 1 ] && grep -q 'cannot open input: a WAVE file cannot be read from a pipe' "$dir/err.txt" \
    || fail "WAVE in a pipe: status $status, $(cat "$dir/err.txt")"
"$cli" - <"$wave" >"$dir/out.txt" || fail "WAVE redirected from its file"
grep -q '^-: done' "$dir/out.txt" || fail "WAVE redirected: $(cat "$dir/out.txt")"
# Junk before the stream: the search goes back only as far as its read-ahead holds, so a pipe is
# searched as a file is.
{ yes junk | head -c 300000; cat "$sample"; } | "$cli" --json - >"$dir/report.json" 2>"$dir/err.txt" \
    || fail "junk in a pipe: $(cat "$dir/err.txt")"
python3 -c 'import json,sys; f=json.load(open(sys.argv[1]))["files"][0]; assert f["state"]=="done" and f["skipped"][0]["bytes"]==300000, f' \
    "$dir/report.json" || fail "junk in a pipe: $(cat "$dir/report.json")"

# A reader that goes away: the run ends at once, with no message and status 141, whether SIGPIPE ends
# it (the default) or is ignored and the failed write is seen. Catches a walk that goes on to the
# end of a long input, a "write failed" message, and status 1 for what the user did on purpose.
# A format change every few frames: the report (about 300 KB) outgrows a pipe's buffer too.
for _ in $(seq 40); do cat "$(dirname "$sample")/stereo_48k_ratechange.dts"; done >"$dir/part.dts"
for _ in $(seq 50); do cat "$dir/part.dts"; done >"$dir/long.dts"
for sigpipe in default ignored; do
  for args in "--rebuild -o - $dir/long.dts" "$dir/long.dts" "--json $dir/long.dts"; do
    if [ $sigpipe = ignored ]; then trap '' PIPE; fi
    # shellcheck disable=SC2086
    "$cli" $args 2>"$dir/err.txt" | head -c 10 >/dev/null
    status=${PIPESTATUS[0]}
    trap - PIPE
    [ "$status" -eq 141 ] || fail "$args with SIGPIPE $sigpipe: status $status"
    ! grep -q '^kestrune-cli:' "$dir/err.txt" || fail "$args with SIGPIPE $sigpipe: $(grep '^kestrune-cli:' "$dir/err.txt")"
  done
done
echo "ok: standard input and output in pipes"
