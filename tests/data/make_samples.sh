#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the committed DTS samples with FFmpeg's DTS encoder, then the packed, WAVE, header-CRC,
# open-rate and DTS-HD variants with kestrune_make_variants, and prints what each file holds
# (see README.md).
# Usage: tests/data/make_samples.sh   (build dir: $KESTRUNE_BUILD_DIR, default build-samples)
set -euo pipefail
data="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$data/../.." && pwd)"
build="${KESTRUNE_BUILD_DIR:-$root/build-samples}"
cd "$data"

# encode NAME LAYOUT RATE BITRATE SECONDS: a 440 Hz sine, laid out by aformat, encoded as a raw
# DTS core stream. The encoder is marked experimental, hence -strict -2; it refuses bit rates below
# what the layout and sample rate need (e.g. 384k for quad at 32 kHz, 768k for 5.1 at 48 kHz).
encode() {
    ffmpeg -hide_banner -loglevel error -y \
        -f lavfi -i "sine=frequency=440:sample_rate=$3:duration=$5" \
        -af "aformat=channel_layouts=$2" \
        -c:a dca -b:a "$4" -strict -2 -fflags +bitexact -flags:a +bitexact -f dts "$1"
}

encode mono_8k.dts            mono      8000  32k     0.5
encode mono_11k.dts           mono      11025 64k     0.3
encode stereo_22k.dts         stereo    22050 128k    0.3
encode stereo_44k_1411k.dts   stereo    44100 1411200 0.1
encode stereo_48k.dts         stereo    48000 384k    0.25
encode quad_32k.dts           "quad(side)" 32000 384k 0.2
encode surround50_32k.dts     "5.0(side)"  32000 448k 0.2
encode surround51_44k.dts     "5.1(side)"  44100 640k 0.2
encode surround51_48k.dts     "5.1(side)"  48000 1536k 0.1
# 1234800 b/s at 44.1 kHz gives 1792-byte frames (FSIZE 1791), as on DTS CDs: a whole number of
# 14-bit words (1024), so every frame of the packed variants starts on a word, as FFmpeg expects.
encode stereo_44k_cd.dts      stereo    44100 1234800 0.06

# Two encodings joined: the bit rate and frame size change after the fifth frame.
encode part_a.tmp.dts stereo 48000 384k 0.05
encode part_b.tmp.dts stereo 48000 768k 0.05
cat part_a.tmp.dts part_b.tmp.dts > stereo_48k_ratechange.dts
rm -f part_a.tmp.dts part_b.tmp.dts

# Variants of stereo_48k.dts, built byte by byte apart from the core (tests/support/StreamVariants).
# The tool is the CMake target kestrune_make_variants; when the tree does not configure (work in
# progress elsewhere), its four sources are compiled directly, as they need nothing else.
variants="$build/tests/support/kestrune_make_variants"
if ! { cmake -S "$root" -B "$build" -G Ninja -DKESTRUNE_BUILD_GUI=OFF >/dev/null 2>&1 &&
       cmake --build "$build" --target kestrune_make_variants >/dev/null; }; then
    mkdir -p "$build"
    variants="$build/kestrune_make_variants"
    support="$root/tests/support"
    "${CXX:-c++}" -std=c++20 -O2 -I"$root" -I"$root/tests" -DKESTRUNE_TEST_DATA_DIR="\"$data\"" \
        "$support/MakeVariants.cpp" "$support/StreamVariants.cpp" "$support/TestFiles.cpp" \
        "$support/TempDir.cpp" -o "$variants"
fi
# The stereo_48k variants pack 512-byte frames, which do not fill whole 14-bit words: frames after
# the first start inside a word. Kestrune reads the words as one continuous bit stream; FFmpeg does not.
"$variants" cpt   stereo_48k.dts    stereo_48k.cpt
"$variants" wav16 stereo_48k.dts    stereo_48k_16le.wav --prefix 6
"$variants" hcrc  stereo_48k.dts    stereo_48k_hcrc.dts
"$variants" cpt   stereo_44k_cd.dts stereo_44k_cd.cpt
"$variants" wav14 stereo_44k_cd.dts stereo_44k_cd_14le.wav --prefix 4
# Frames FSIZE bytes long with the open rate (RATE 29), as some encoders write them: FFmpeg walks
# FSIZE + 1 and loses every other frame; a rebuild writes the standard's FSIZE.
"$variants" openrate stereo_48k.dts stereo_48k_openrate.dts
# DTS-HD MA as laid out on discs: each 514-byte core frame (with a header CRC), two zero bytes to the
# 4-byte boundary, then an extension substream with one lossless asset (dialog normalisation code 9).
"$variants" hd stereo_48k_hcrc.dts stereo_48k_hcrc_ma.dts

# What FFmpeg makes of every file: the stream it probes (raw DTS is probed with -f dts, since
# auto-detection gives up on the smallest files) and the MD5 of the decoded PCM, which must match
# between a 16-bit stream and its packed or wrapped variants.
for f in *.dts *.cpt *.wav; do
    fmt=(-f dts)
    case "$f" in *.wav) fmt=() ;; esac
    printf '%-28s %s | %s\n' "$f" \
        "$(ffprobe -hide_banner -v error "${fmt[@]}" -count_packets -show_entries stream=codec_name,sample_rate,channels,channel_layout,bit_rate,nb_read_packets \
            -of compact=p=0 "$f" 2>/dev/null | head -1)" \
        "$(ffmpeg -hide_banner -v error "${fmt[@]}" -i "$f" -map 0:a -f md5 - 2>/dev/null || echo "decode failed")"
done
xxd -l 16 stereo_48k.dts
xxd -l 16 stereo_48k.cpt
xxd -s 36 -l 24 stereo_48k_16le.wav
xxd -s 36 -l 24 stereo_44k_cd_14le.wav
xxd -l 16 stereo_48k_hcrc.dts
xxd -l 16 stereo_48k_openrate.dts
xxd -s 512 -l 16 stereo_48k_hcrc_ma.dts
# The field table walks FSIZE + 1 bytes a frame: not the open-rate or the DTS-HD variant.
python3 "$data/describe_samples.py" $(ls *.dts | grep -v -e _openrate -e _ma)
