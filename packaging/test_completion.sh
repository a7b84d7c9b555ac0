#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks kestrune-cli's bash completion: it offers exactly the options --help lists (so a new
# option cannot be forgotten there), narrows them by prefix, and falls back to file names.
# Usage: test_completion.sh COMPLETION_SCRIPT KESTRUNE_CLI
set -uo pipefail
completion="$1" cli="$2"
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

source "$completion"

# complete_line WORD...: what completing the last word offers, one per line, sorted.
complete_line() {
    COMP_WORDS=(kestrune-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _kestrune_cli
    printf '%s\n' "${COMPREPLY[@]}" | sort
}

help_options="$("$cli" --help | grep -oE '^ +--[a-z][a-z-]*' | tr -d ' ' | sort)"
[ -n "$help_options" ] || fail "no options found in kestrune-cli --help"
offered="$(complete_line --)"
[ "$offered" = "$help_options" ] ||
    fail "completion of '--' offers [$(echo $offered)], --help lists [$(echo $help_options)]"

offered="$(complete_line --json --remove-)"
[ "$offered" = "$(printf '%s\n' --remove-crc --remove-dialnorm)" ] ||
    fail "completion of '--remove-' offers [$(echo $offered)]"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
touch movie.dts music.wav -- -odd.dts
offered="$(complete_line --rebuild mov)"
[ "$offered" = "movie.dts" ] || fail "completion of 'mov' offers [$(echo $offered)], not movie.dts"
# After "--" a word that starts with a dash is a file name, not an option.
offered="$(complete_line --json -- -o)"
[ "$offered" = "-odd.dts" ] || fail "completion of '-o' after '--' offers [$(echo $offered)]"

[ "$failures" -eq 0 ] && echo "bash completion: all checks passed"
exit "$failures"
