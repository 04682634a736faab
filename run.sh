#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the program and starts it on a ready demo database in demo/.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="${BUILD_DIR:-$root/build}"
bash "$root/scripts/deps.sh"
bash "$root/scripts/build.sh"
mkdir -p "$root/demo"
if [ ! -f "$root/demo/rechungen.mdb" ]; then
  "$build/tools/rechnung-db" demo "$root/demo/rechungen.mdb"
fi
if [ -x "$build/app/Rechnung" ]; then
  cd "$root/demo"
  # The demo's amounts are written with a decimal comma. A machine without a
  # regional setting of its own gets the German one, so the demo reads them.
  german=()
  case "${LC_ALL:-${LC_NUMERIC:-${LANG:-}}}" in
    ""|C|C.*|POSIX) german=(-u LC_ALL LANG=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8) ;;
  esac
  exec env "${german[@]}" "$build/app/Rechnung"
fi
echo "Das Programm wurde nicht gebaut; siehe die Meldungen oben." >&2
exit 1
