#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Offsets beyond 4 GiB: builds a real DTS stream of more than 4.5 GB by repeating an FFmpeg sample,
# with a different DIALNORM in the last frames, and checks that `kestrune-cli --json` reports the
# change at its true offset, frame number and size. Run by hand (not in CI); needs ~5 GB of disk.
#
#   bench/big_offsets.sh [path/to/kestrune-cli]
#
# Without a path it builds kestrune-cli (Release, no GUI, no tests) in the work directory.
# Environment: KESTRUNE_BIG_DIR    where to put the work directory (default: $TMPDIR or /tmp)
#              KESTRUNE_BIG_SAMPLE the sample to repeat (default: tests/data/surround51_48k.dts)
#              KESTRUNE_BIG_BYTES  the least size of the stream (default: 4600000000)
# Needs only POSIX sh, od, dd, head, cat and GNU-style 64-bit shell arithmetic (dash and bash have it).
set -eu

SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)
SAMPLE=${KESTRUNE_BIG_SAMPLE:-$SRC_DIR/tests/data/surround51_48k.dts}
MIN_BYTES=${KESTRUNE_BIG_BYTES:-4600000000}
NEW_DIALNORM=11     # the last frames say -11 dB instead of the sample's -0 dB
CHANGED_FRAMES=3    # how many frames at the end carry it

WORK=$(mktemp -d "${KESTRUNE_BIG_DIR:-${TMPDIR:-/tmp}}/kestrune-big.XXXXXX")
cleanup() { rm -rf "$WORK"; }
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

fail() { echo "big_offsets: FAIL: $*" >&2; exit 1; }

if [ $# -ge 1 ]; then
    CLI=$1
else
    echo "big_offsets: building kestrune-cli in $WORK/build"
    cmake -S "$SRC_DIR" -B "$WORK/build" -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_GUI=OFF \
        -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
    cmake --build "$WORK/build" --target kestrune-cli >/dev/null
    CLI=$(find "$WORK/build" -name kestrune-cli -type f | head -n 1)
fi
[ -x "$CLI" ] || fail "no kestrune-cli at '$CLI'"

# One unsigned byte of a file at a (64-bit) offset.
byte_at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }

# The sample's frames, read from their headers here rather than trusted: every frame must have the
# same FSIZE (a frame takes FSIZE + 1 bytes), CPF 0 (so DIALNORM is the low four bits of byte 12)
# and DIALNORM 0, and the file must end with its last frame, so that repeating it adds no row.
SAMPLE_BYTES=$(wc -c <"$SAMPLE" | tr -d ' ')
FRAME_BYTES=
FRAMES_PER_COPY=0
pos=0
while [ "$pos" -lt "$SAMPLE_BYTES" ]; do
    sync="$(byte_at "$SAMPLE" "$pos") $(byte_at "$SAMPLE" $((pos + 1))) $(byte_at "$SAMPLE" $((pos + 2))) $(byte_at "$SAMPLE" $((pos + 3)))"
    [ "$sync" = "127 254 128 1" ] || fail "no sync 7FFE8001 at $pos of $SAMPLE"
    b5=$(byte_at "$SAMPLE" $((pos + 5)))
    b6=$(byte_at "$SAMPLE" $((pos + 6)))
    b7=$(byte_at "$SAMPLE" $((pos + 7)))
    b12=$(byte_at "$SAMPLE" $((pos + 12)))
    # CPF is bit 38: bit 1 of byte 4. FSIZE is bits 46..59: the low 2 bits of byte 5, byte 6, the
    # high 4 bits of byte 7.
    cpf=$(( ($(byte_at "$SAMPLE" $((pos + 4))) >> 1) & 1 ))
    fsize=$(( ((b5 & 3) << 12) | (b6 << 4) | (b7 >> 4) ))
    [ "$cpf" -eq 0 ] || fail "frame at $pos of the sample carries a CRC"
    [ $((b12 & 15)) -eq 0 ] || fail "frame at $pos of the sample has DIALNORM $((b12 & 15))"
    [ -z "$FRAME_BYTES" ] || [ "$FRAME_BYTES" -eq $((fsize + 1)) ] || fail "the sample's frames differ in size"
    FRAME_BYTES=$((fsize + 1))
    FRAMES_PER_COPY=$((FRAMES_PER_COPY + 1))
    pos=$((pos + FRAME_BYTES))
done
[ "$pos" -eq "$SAMPLE_BYTES" ] || fail "the sample does not end with a whole frame"
[ "$FRAMES_PER_COPY" -gt "$CHANGED_FRAMES" ] || fail "the sample has too few frames"

# The copies: enough to pass MIN_BYTES, in blocks of 1000 so that cat runs a few hundred times.
BLOCK=1000
COPIES=$(( (MIN_BYTES + SAMPLE_BYTES - 1) / SAMPLE_BYTES ))
COPIES=$(( (COPIES + BLOCK - 1) / BLOCK * BLOCK ))
TOTAL_BYTES=$((COPIES * SAMPLE_BYTES))

# The last copy, with DIALNORM set in its last CHANGED_FRAMES frames.
cp "$SAMPLE" "$WORK/last.dts"
i=$((FRAMES_PER_COPY - CHANGED_FRAMES))
while [ "$i" -lt "$FRAMES_PER_COPY" ]; do
    at=$((i * FRAME_BYTES + 12))
    b=$(byte_at "$WORK/last.dts" "$at")
    printf "\\$(printf '%03o' $(( (b & 240) | NEW_DIALNORM )))" |
        dd of="$WORK/last.dts" bs=1 seek="$at" count=1 conv=notrunc 2>/dev/null
    i=$((i + 1))
done

echo "big_offsets: writing $COPIES copies of $(basename "$SAMPLE") ($SAMPLE_BYTES bytes, $FRAMES_PER_COPY frames of $FRAME_BYTES bytes): $TOTAL_BYTES bytes"
n=0
while [ "$n" -lt "$BLOCK" ]; do cat "$SAMPLE"; n=$((n + 1)); done >"$WORK/block.dts"
BIG="$WORK/big.dts"
{
    n=0
    while [ "$n" -lt $((COPIES / BLOCK - 1)) ]; do cat "$WORK/block.dts"; n=$((n + 1)); done
    head -c $(( (BLOCK - 1) * SAMPLE_BYTES )) "$WORK/block.dts"
    cat "$WORK/last.dts"
} >"$BIG"
rm -f "$WORK/block.dts"
[ "$(wc -c <"$BIG" | tr -d ' ')" -eq "$TOTAL_BYTES" ] || fail "the stream is not $TOTAL_BYTES bytes"

# What the change must look like, from the repetition arithmetic alone.
FIRST_CHANGED=$((FRAMES_PER_COPY - CHANGED_FRAMES))
EXPECT_OFFSET=$(( (COPIES - 1) * SAMPLE_BYTES + FIRST_CHANGED * FRAME_BYTES ))
EXPECT_FRAME=$(( (COPIES - 1) * FRAMES_PER_COPY + FIRST_CHANGED ))
EXPECT_FRAMES=$((COPIES * FRAMES_PER_COPY))
# A smaller KESTRUNE_BIG_BYTES makes a quick dry run of the script itself.
[ "$EXPECT_OFFSET" -gt 4294967296 ] || echo "big_offsets: note: the change is not beyond 4 GiB (a dry run)"
EXPECT_ROW0='"offset":"00000000","frame":"00000000"'
EXPECT_ROW1=$(printf '"offset":"%08X","frame":"%08d"' "$EXPECT_OFFSET" "$EXPECT_FRAME")
EXPECT_SIZE="\"frame_size\":\"$FRAME_BYTES bytes\",\"dialnorm\":\"-$NEW_DIALNORM dB\""

echo "big_offsets: running $CLI --json on it"
start=$(date +%s)
"$CLI" --json "$BIG" >"$WORK/report.json" || fail "kestrune-cli exited with $?"
seconds=$(( $(date +%s) - start ))

REPORT=$(cat "$WORK/report.json")
ROWS=$(printf '%s\n' "$REPORT" | grep -o '"offset":"[0-9A-F]*","frame":"[0-9]*"' || true)
SIZES=$(printf '%s\n' "$REPORT" | grep -o '"frame_size":"[^"]*","dialnorm":"[^"]*"' || true)
echo "big_offsets: reported rows:"
printf '%s\n' "$ROWS" | sed 's/^/    /'
echo "big_offsets: expected second row: $EXPECT_ROW1, $EXPECT_SIZE"

case $REPORT in *'"state":"done"'*) ;; *) fail "state is not done: $REPORT" ;; esac
case $REPORT in *"\"size\":$TOTAL_BYTES,"*) ;; *) fail "size is not $TOTAL_BYTES" ;; esac
case $REPORT in *"\"frames\":$EXPECT_FRAMES,"*) ;; *) fail "frame count is not $EXPECT_FRAMES" ;; esac
[ "$(printf '%s\n' "$ROWS" | wc -l | tr -d ' ')" -eq 2 ] || fail "expected exactly 2 rows"
[ "$(printf '%s\n' "$ROWS" | sed -n 1p)" = "$EXPECT_ROW0" ] || fail "first row is not at offset 0, frame 0"
[ "$(printf '%s\n' "$ROWS" | sed -n 2p)" = "$EXPECT_ROW1" ] || fail "second row is not $EXPECT_ROW1"
[ "$(printf '%s\n' "$SIZES" | sed -n 2p)" = "$EXPECT_SIZE" ] || fail "second row's size is not $EXPECT_SIZE"

echo "big_offsets: PASS: $TOTAL_BYTES bytes, $EXPECT_FRAMES frames; change at offset $EXPECT_OFFSET (0x$(printf '%X' "$EXPECT_OFFSET")), frame $EXPECT_FRAME, $FRAME_BYTES bytes; read in ${seconds}s"
