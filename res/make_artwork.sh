#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Rebuilds res/kestrune_32.png, kestrune_16.png, kestrune.ico, logo.png and the bigger icons in
# res/icons/ from artwork/MakeArtwork.cpp.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
g++ -std=c++20 -fPIC -O1 -o "$tmp/make_artwork" "$here/artwork/MakeArtwork.cpp" $(pkg-config --cflags --libs Qt6Gui)
mkdir -p "$here/icons"
QT_QPA_PLATFORM=offscreen "$tmp/make_artwork" "$here"
