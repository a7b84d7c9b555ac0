#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The one list of system packages Kestrune needs on Debian 12, installed with apt-get
# when any is missing. Sourced by run.sh and test.sh.
set -euo pipefail

KESTRUNE_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev
  qt6-base-dev libgl-dev fonts-dejavu-core
  ffmpeg libavformat-dev libavcodec-dev libavutil-dev mkvtoolnix
  strace time
  xvfb xauth
)

# Only for the fuzz targets (fuzz/run_fuzz.sh).
KESTRUNE_FUZZ_PACKAGES=(clang-14 libclang-rt-14-dev)

# Only for the Windows command line and its tests under wine (scripts/windows.sh).
KESTRUNE_WINDOWS_PACKAGES=(
  cmake ninja-build g++-mingw-w64-x86-64-posix googletest nlohmann-json3-dev wine64
)

# Only for the Debian package and its checks (scripts/package.sh): the manual page, the package
# tools, the validators, and a window manager and screen grabber for the installed window.
KESTRUNE_PACKAGING_PACKAGES=(
  help2man dpkg-dev fakeroot file lintian desktop-file-utils appstream man-db
  xvfb xauth x11-utils openbox imagemagick
)

# kestrune_install_deps [PACKAGE...]: the packages above by default.
kestrune_install_deps() {
  local wanted=("$@")
  [ ${#wanted[@]} -gt 0 ] || wanted=("${KESTRUNE_PACKAGES[@]}")
  local missing=()
  for p in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}" >&2
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then sudo="sudo"; else
      echo "error: packages missing (${missing[*]}) and not root; install them with apt-get" >&2
      return 1
    fi
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Only for driving the real window under Xvfb (scripts/drive_gui.sh).
KESTRUNE_GUI_DRIVE_PACKAGES=(xvfb xauth xdotool openbox imagemagick x11-utils xclip dbus-daemon)
