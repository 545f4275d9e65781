#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs every Debian package Tessaline needs to build, test and run.
# Safe to run again: when everything is present it returns without touching apt.
set -euo pipefail

PACKAGES=(
  # toolchain
  build-essential cmake ninja-build pkg-config g++ clang clang-format
  libclang-rt-14-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # libraries
  libpng-dev libcups2-dev qt6-base-dev
  # logo files as people have them: PNG (libpng above), JPEG and GIF
  libjpeg62-turbo-dev libgif-dev
  # printers reached directly (TCP, serial ports), header-only, also for MinGW
  libasio-dev
  # the manifest of tessaline-cli apply (TOML), header-only, also for MinGW
  libtomlplusplus-dev
  # private CUPS server for the integration tests, lp for the benchmark; cups
  # brings the backends (socket, usb, ...) the README's lpadmin -v examples use
  cups cups-daemon cups-client cups-bsd
  # the virtual printers' receipt text (GNU Unifont, Hangul included) and QR codes
  unifont libqrencode-dev
  # Korean texts in the program, and a display for window tests
  fonts-nanum fonts-liberation2 xvfb
  # the Debian package (cpack, dpkg-shlibdeps) and the Python host example
  dpkg-dev file python3
  # the Ansible example of tessaline-cli apply, run by its test
  ansible-core
  # the Windows build (windows preset): MinGW-w64 with POSIX threads, widl,
  # the system IDL files and stdole2.tlb; Wine runs its tests
  g++-mingw-w64-x86-64-posix mingw-w64-tools libwine-dev wine wine64
  # the Korean locale, whose ANSI code page is 949 under Wine
  locales
  # the Windows installer (cpack's NSIS generator), Marlett for Wine's caption
  # buttons, and the pictures of the Windows program's window
  nsis fonts-wine xdotool imagemagick
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

# Wine takes code page 949 from a ko_KR locale the system has generated.
korean_locale() {
  if locale -a 2>/dev/null | grep -qix 'ko_KR.utf8'; then
    return 0
  fi
  local run=""
  if [ "$(id -u)" -ne 0 ]; then
    run="sudo"
  fi
  echo "install-deps: generating the locale ko_KR.UTF-8" >&2
  $run localedef -i ko_KR -f UTF-8 ko_KR.UTF-8
}

if [ ${#missing[@]} -eq 0 ]; then
  korean_locale
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    SUDO="sudo"
  else
    echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
    exit 1
  fi
fi

echo "install-deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
korean_locale
