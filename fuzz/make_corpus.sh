#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the small committed seed corpora from the test samples (tests/data) plus a few
# malformed WAVE headers written byte by byte.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
data="$here/../tests/data"
whole="$here/corpus/whole"
riff="$here/corpus/riff"
mkdir -p "$whole" "$riff"

# Real streams, cut to their first frames to keep the seeds small.
head -c 1536 "$data/stereo_48k.dts"         > "$whole/stereo_48k_3frames.dts"
head -c 1542 "$data/stereo_48k_hcrc.dts"    > "$whole/stereo_48k_hcrc_3frames.dts"
head -c 1024 "$data/mono_8k.dts"            > "$whole/mono_8k_4frames.dts"
head -c 1800 "$data/stereo_48k.cpt"         > "$whole/stereo_48k.cpt"
head -c 1600 "$data/stereo_48k_16le.wav"    > "$whole/stereo_48k_16le.wav"
head -c 2100 "$data/stereo_44k_cd_14le.wav" > "$whole/stereo_44k_cd_14le.wav"
cp "$whole"/*.wav "$riff/"

# For the search and the substream reader: lead-in junk, a broken sync mid-stream, little-endian
# words, and DTS-HD frames (from the test tool kestrune_make_variants, built in build/).
{ tail -c +201 "$data/stereo_48k.cpt" | head -c 100; head -c 1536 "$data/stereo_48k.dts"; } > "$whole/junk_then_frames.dts"
{ head -c 512 "$data/stereo_48k.dts"; printf '\x00'; tail -c +514 "$data/stereo_48k.dts" | head -c 1023; } > "$whole/broken_sync.dts"
head -c 1536 "$data/stereo_48k.dts" | python3 -c 'import sys; b=sys.stdin.buffer.read(); sys.stdout.buffer.write(bytes(x for i in range(0, len(b) - 1, 2) for x in (b[i + 1], b[i])))' > "$whole/stereo_48k_16le.dts"
# 14-bit words: frames each padded to a whole word, and a DTS-CD stream with one stray word.
python3 - "$data/stereo_48k.dts" "$whole/stereo_48k_padded14.cpt" <<'PY'
import sys
def pack14(b):
    bits = ''.join(f'{x:08b}' for x in b)
    bits += '0' * (-len(bits) % 14)
    # Bits 15 and 14 of each word repeat bit 13, as 14-bit streams store them.
    words = (int(bits[i:i + 14], 2) for i in range(0, len(bits), 14))
    return b''.join((w | (0xC000 if w & 0x2000 else 0)).to_bytes(2, 'big') for w in words)
s = open(sys.argv[1], 'rb').read()
open(sys.argv[2], 'wb').write(b''.join(pack14(s[i:i + 512]) for i in range(0, 3 * 512, 512)))
PY
{ head -c 2048 "$data/stereo_44k_cd.cpt"; printf '\x12\x34'; tail -c +2049 "$data/stereo_44k_cd.cpt" | head -c 2048; } > "$whole/stereo_44k_cd_stray_word.cpt"
variants="$here/../build/tests/support/kestrune_make_variants"
[ -x "$variants" ] || cmake --build "$here/../build" --target kestrune_make_variants >/dev/null
"$variants" hd "$data/stereo_48k.dts" "$whole/stereo_48k_hd_3frames.dts" --frames 3

# Inputs on which the whole-path target once failed stay in the corpus as regress_* (committed as
# they were found; this script does not make them).

# le32 N: four little-endian bytes.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $((($1 >> 8) & 255)))\\x$(printf %02x $((($1 >> 16) & 255)))\\x$(printf %02x $((($1 >> 24) & 255)))"; }
fmt16() { printf 'fmt '; le32 16; printf '\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00'; }
sync16le() { printf '\xfe\x7f\x01\x80\xfc\x3c\x1f\xf0'; }

{ printf 'RIFF'; le32 4; printf 'WAVE'; } > "$riff/riff_header_only.wav"
{ printf 'RIFF'; le32 4294967295; printf 'WAVE'; printf 'fmt '; le32 4294967295; } > "$riff/sizes_near_4g.wav"
{ printf 'RIFF'; le32 60; printf 'WAVE'; printf 'data'; le32 8; sync16le; fmt16; } > "$riff/data_before_fmt.wav"
{ printf 'RIFF'; le32 70; printf 'WAVE'; printf 'fmt '; le32 21; printf '\x01\x00\x02\x00\x44\xac\x00\x00\x10\xb1\x02\x00\x04\x00\x10\x00\x00\x00\x00\x00\x00\x00'; printf 'data'; le32 8; sync16le; } > "$riff/odd_fmt_padded.wav"
{ printf 'RIFF'; le32 60; printf 'WAVE'; fmt16; printf 'data'; le32 100000; sync16le; } > "$riff/data_past_end.wav"
{ printf 'RIFF'; le32 60; printf 'AVI '; fmt16; printf 'data'; le32 8; sync16le; } > "$riff/other_form.wav"
cp "$riff"/*_*.wav "$whole/" 2>/dev/null || true
ls -l "$whole" "$riff"
