#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A read error in the middle of the input, injected with strace on the fifth read of the input
# file: the file must be "error: read failed" with its cause, exit 1, no output kept, an older
# output left as it was and nothing else left in the folder. Takes about a second.
# Usage: read_error.sh PATH/TO/kestrune-cli SAMPLE.dts   (exit 77: skipped, no usable strace)
source "$(dirname "$0")/strace_prelude.sh" "$@"
# About 3.5 MB: dozens of reads of the input, so the fifth falls well inside it.
for _ in $(seq 300); do cat "$sample"; done >"$in"
printf 'older' >"$in.fixed.dts"

strace -f -o /dev/null -P "$in" -e trace=read -e inject=read:error=EIO:when=5 \
    "$cli" --json --rebuild "$in" >"$dir/report.json" 2>"$dir/err.txt"
status=$?
fail() { echo "FAIL: $*"; cat "$dir/report.json" "$dir/err.txt" | head -c 2000; echo; exit 1; }

[ "$status" -eq 1 ] || fail "exit status $status, not 1"
python3 - "$dir/report.json" "$in" <<'PY' || fail "report"
import json, sys
doc = json.load(open(sys.argv[1]))
f = doc["files"][0]
assert f["state"] == "error: read failed", f["state"]
assert f["error"] == "reading the input failed (I/O error); the older output of that name was left as it was", f["error"]
assert f["output"] is None
assert 0 < f["frames"] < 7200, f["frames"]
PY
grep -qx "kestrune-cli: $in: read failed: reading the input failed (I/O error); the older output of that name was left as it was" "$dir/err.txt" || fail "message"
[ "$(cat "$in.fixed.dts")" = older ] || fail "the older output was changed"
[ "$(ls -A "$dir" | sort | tr '\n' ' ')" = "err.txt in.dts in.dts.fixed.dts report.json " ] || fail "left behind: $(ls -A "$dir")"

# The same at every read of a small WAVE file, its header's included: a failed read inside the
# chunks must not pass for a structural fault ("no data chunk") nor the data for no frames.
wave=$dir/in.wav
cp "$(dirname "$sample")/stereo_48k_16le.wav" "$wave"
reads=$(strace -f -o /dev/stdout -P "$wave" -e trace=read "$cli" "$wave" 2>/dev/null | grep -c '^[0-9]* *read(')
[ "$reads" -ge 4 ] || fail "only $reads reads of the WAVE file seen"
for when in $(seq "$reads"); do
    strace -f -o /dev/null -P "$wave" -e trace=read -e inject=read:error=EIO:when=$when \
        "$cli" --json "$wave" >"$dir/report.json" 2>/dev/null
    python3 -c 'import json, sys; s = json.load(open(sys.argv[1]))["files"][0]["state"]; assert s == "error: read failed", s' \
        "$dir/report.json" || fail "WAVE read $when of $reads"
done
echo "ok: a read error is \"error: read failed\", exit 1, nothing kept"
