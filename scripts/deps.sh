#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages the build, the program and the tests need.
# Idempotent: asks apt only when something is missing, and updates its lists once.
set -euo pipefail

packages=(
  cmake g++ make pkg-config
  clang libclang-rt-14-dev  # libFuzzer and its runtime, for fuzz/
  qt6-base-dev qt6-base-private-dev libgl-dev libvulkan-dev
  qt6-translations-l10n  # German texts of Qt's own dialogs (file dialog)
  libsqlite3-dev sqlite3
  libjpeg62-turbo-dev
  mdbtools-dev  # reads Access (Jet/ACE) files for the import
  dpkg-dev  # dpkg-shlibdeps, for the package's dependencies
  libxml2-dev libxml2-utils
  libbenchmark-dev
  fonts-wine fonts-dejavu-core fonts-liberation2
  poppler-utils
  python3  # the CSV tests read the files back with Python's csv module
  strace  # the package test checks which schema file the installed tool reads
  desktop-file-utils appstream
  xvfb openbox x11-utils libxcb1-dev libxcb-xtest0-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installiere: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
