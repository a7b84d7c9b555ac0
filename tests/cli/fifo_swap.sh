#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A fifo put in place of the input between the check of what it is and its opening: strace holds
# the open of the input for half a second while the file is swapped for a fifo with no writer.
# The open must not block: the file fails with "cannot open input", exit 1, within seconds.
# Takes about a second. Usage: fifo_swap.sh PATH/TO/kestrune-cli SAMPLE.dts
# (exit 77: skipped, no usable strace)
source "$(dirname "$0")/strace_prelude.sh" "$@"
cp "$sample" "$in"

timeout 10 strace -f -o /dev/null -P "$in" -e trace=openat -e inject=openat:delay_enter=500000:when=1 \
    "$cli" "$in" >"$dir/report.txt" 2>"$dir/err.txt" &
pid=$!
sleep 0.2
rm "$in"
mkfifo "$in"
wait "$pid"
status=$?
fail() { echo "FAIL: $*"; cat "$dir/report.txt" "$dir/err.txt"; exit 1; }

[ "$status" -ne 124 ] || fail "the open of the fifo blocked"
[ "$status" -eq 1 ] || fail "exit status $status, not 1"
grep -q "^kestrune-cli: $in: cannot open input: it is not a regular file$" "$dir/err.txt" || fail "message"
echo "ok: a fifo swapped in before the open is refused without blocking"
