#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A stop signal that lands while the rebuilt output takes its final name (the rename held up for
# a second with strace): the file is "done" with its output kept, so the exit status must be 0 as
# the report says, not 128 + the signal; nothing temporary may be left. Takes about two seconds.
# Usage: signal_at_rename.sh PATH/TO/kestrune-cli SAMPLE.dts   (exit 77: skipped, no usable strace)
source "$(dirname "$0")/strace_prelude.sh" "$@"
cp "$sample" "$in"
calls=rename,renameat,renameat2,linkat
strace -f -o /dev/null -e trace=$calls -e inject=$calls:delay_enter=1000000 \
    "$cli" --json --rebuild "$in" >"$dir/report.json" 2>"$dir/err.txt" &
tracer=$!
sleep 0.5
kill -TERM $(cat "/proc/$tracer/task/$tracer/children")
wait "$tracer"
status=$?
fail() { echo "FAIL: $*"; cat "$dir/report.json" "$dir/err.txt" | head -c 2000; echo; exit 1; }

python3 - "$dir/report.json" <<'PY' || fail "report"
import json, sys
f = json.load(open(sys.argv[1]))["files"][0]
assert f["state"] == "done", f["state"]
assert f["output"] is not None
PY
[ "$status" -eq 0 ] || fail "exit status $status for a file reported done"
cmp -s "$sample" "$in.fixed.dts" || fail "the output is not the whole rebuild"
[ "$(ls -A "$dir" | sort | tr '\n' ' ')" = "err.txt in.dts in.dts.fixed.dts report.json " ] || fail "left behind: $(ls -A "$dir")"
echo "ok: a signal during the final rename leaves a done file, exit 0"
