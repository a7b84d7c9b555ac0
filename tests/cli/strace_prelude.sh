# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the strace scripts: their two arguments, a skip (exit 77) where strace cannot trace,
# and a scratch folder removed on exit, with the input's path in it.
# Usage in a script: source "$(dirname "$0")/strace_prelude.sh" "$@"
set -u
cli=$1
sample=$2
if ! command -v strace >/dev/null || ! strace -o /dev/null true 2>/dev/null; then
    echo "skipped: strace cannot trace here"
    exit 77
fi
# LeakSanitizer cannot run under a tracer; the sanitizer suite checks leaks everywhere else.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
in=$dir/in.dts
