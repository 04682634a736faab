#!/usr/bin/env bash
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
  exec "$build/app/Rechnung"
fi
echo "Die Demo-Datenbank liegt in $root/demo/rechungen.mdb (lesbar mit: sqlite3 demo/rechungen.mdb)."
echo "Das Hauptfenster ist noch nicht gebaut; bis dahin legt dieser Befehl nur die Datenbank an."
