#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the Debian package, installs it with apt-get as a user would, makes
# a demo database in a scratch folder, starts the installed program there
# under Xvfb with openbox until its main window is on the screen, and removes
# the package again (purged, with any package apt brought in only for it).
#
# apt-get needs root: without root or sudo the check is skipped with a
# message, except under CI=true, where that is a failure like any other.
# Runs one at a time on a machine; a package left over by an earlier run is
# purged first.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build}"
# The main window's title, and the class Qt gives the executable's windows.
caption="Gärtnerei Trovanek"
class='("Rechnung" "Rechnung")'

fail() {
  echo "test-package: $*" >&2
  exit 1
}

# The part that runs on the display run-under-openbox.sh provides:
#   test-package.sh --show-window FOLDER
# Starts /usr/bin/Rechnung in FOLDER, waits for its main window, closes it.
if [ "${1:-}" = "--show-window" ]; then
  cd "$2"
  program_pid=""
  trap '[ -n "$program_pid" ] && kill -KILL "$program_pid" 2>/dev/null; true' EXIT
  /usr/bin/Rechnung >program.log 2>&1 &
  program_pid=$!
  # The program keeps the German settings it was started with; the X tools
  # need a UTF-8 locale to print the title as it is.
  export LC_ALL=C.UTF-8
  # The windows of ours that are on the screen, one "id title" a line.
  shown() {
    { xwininfo -root -tree | grep -F ": $class" || true; } | awk '{print $1}' | while read -r id; do
      xwininfo -id "$id" | grep -q 'Map State: IsViewable' || continue
      xprop -id "$id" _NET_WM_PID | grep -qx "_NET_WM_PID(CARDINAL) = $program_pid" || continue
      echo "$id $(xprop -id "$id" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = //p')"
    done
  }
  window=""
  for _ in $(seq 150); do
    if ! kill -0 "$program_pid" 2>/dev/null; then
      cat program.log >&2
      fail "/usr/bin/Rechnung endete, bevor sein Hauptfenster erschien."
    fi
    window="$(shown | grep -F " \"$caption\"" | awk '{print $1}' | head -n1)" || true
    [ -n "$window" ] && break
    sleep 0.2
  done
  if [ -z "$window" ]; then
    xwininfo -root -tree >&2
    cat program.log >&2
    fail "Kein sichtbares Fenster \"$caption\" von /usr/bin/Rechnung nach 30 s."
  fi
  # A start that asks something or reports a failure shows a second window
  # right after the first.
  sleep 1
  others="$(shown | grep -v "^$window ")" || true
  if [ -n "$others" ]; then
    cat program.log >&2
    fail "Außer dem Hauptfenster zeigt das Programm beim Start: $others"
  fi
  echo "Hauptfenster erschienen:"
  xwininfo -root -tree | grep -F "$window "
  echo "Programm: $(readlink "/proc/$program_pid/exe"), Prozess $program_pid"
  kill -TERM "$program_pid"
  for _ in $(seq 50); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null && fail "/usr/bin/Rechnung endet nicht auf SIGTERM."
  wait "$program_pid" 2>/dev/null || true
  program_pid=""
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo_cmd=(sudo -n)
  elif [ "${CI:-}" = "true" ]; then
    fail "Das Paket lässt sich nur als root (oder mit sudo) installieren."
  else
    echo "test-package: übersprungen, das Paket lässt sich nur als root (oder mit sudo) installieren."
    exit 0
  fi
fi
as_root() { "${sudo_cmd[@]}" "$@"; }
# Other programs on the machine may be using apt at the same moment; wait for them.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 -o Dpkg::Use-Pty=0 -y -q "$@"
}
# Anything dpkg still knows of, configuration files included.
installed() {
  local status
  status="$(dpkg-query -W -f='${db:Status-Status}' "$1" 2>/dev/null)" || return 1
  [ -n "$status" ] && [ "$status" != "not-installed" ]
}

# Whoever made the lock file first owns it; the others only need to read it.
lock=/tmp/rechnung-test-package.lock
: >>"$lock" 2>/dev/null || true
exec 9<"$lock"
flock -w 900 9 || fail "Eine andere Paketprobe läuft seit 15 Minuten."

bash "$root/scripts/deps.sh"
# Usually built already (test.sh builds first); its output only matters when it fails.
log="$(mktemp)"
if ! bash "$root/scripts/build.sh" >"$log" 2>&1; then
  cat "$log" >&2
  rm -f "$log"
  fail "Der Bau schlug fehl."
fi
rm -f "$log"
started=$SECONDS
rm -f "$build"/rechnung_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/rechnung_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack hat kein rechnung_*_*.deb gemacht."
deb="${debs[0]}"
echo "Paket: $(basename "$deb"), $(stat -c %s "$deb") Bytes"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"

work="$(mktemp -d)"
added=()
cleanup() {
  local status=$?
  if installed rechnung || [ ${#added[@]} -gt 0 ]; then
    apt_get purge rechnung "${added[@]}" >/dev/null 2>&1 || status=1
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if installed rechnung; then
  echo "Ein Paket rechnung ist schon installiert (von einem früheren Lauf?); es wird zuerst entfernt."
  apt_get purge rechnung >/dev/null
fi

# What apt adds only because our package needs it is taken away again at the end.
dpkg-query -W -f='${Package}\n' | sort >"$work/before"
apt_get install "$deb"
dpkg-query -W -f='${Package}\n' | sort >"$work/after"
mapfile -t added < <(comm -13 "$work/before" "$work/after" | comm -12 - <(apt-mark showauto | sort))
[ ${#added[@]} -eq 0 ] || echo "Dazu installiert, am Ende wieder entfernt: ${added[*]}"

# Everything a desktop needs is where it looks for it.
listed="$(dpkg -L rechnung)"
expected=(
  /usr/bin/Rechnung /usr/bin/rechnung-db
  /usr/share/applications/rechnung.desktop
  /usr/share/metainfo/org.example.Rechnung.metainfo.xml
  /usr/share/man/man1/Rechnung.1.gz /usr/share/man/man1/rechnung-db.1.gz
  /usr/share/icons/hicolor/scalable/apps/rechnung.svg
  /usr/share/rechnung/fatturapa/Schema_del_file_xml_FatturaPA_v1.2.2.xsd
  /usr/share/doc/rechnung/copyright
)
for size in 16 32 48 64 128 256; do
  expected+=("/usr/share/icons/hicolor/${size}x${size}/apps/rechnung.png")
done
for file in "${expected[@]}"; do
  grep -qx "$file" <<<"$listed" || fail "dpkg -L rechnung nennt $file nicht."
  [ -f "$file" ] || fail "$file fehlt nach der Installation."
done
desktop-file-validate /usr/share/applications/rechnung.desktop
exec_line="$(sed -n 's/^Exec=//p' /usr/share/applications/rechnung.desktop)"
[ "$(command -v "${exec_line%% *}")" = /usr/bin/Rechnung ] || fail "Exec=$exec_line startet nicht /usr/bin/Rechnung."

# The installed programs run in a folder of their own, with a home, settings
# and caches of their own, so nothing of the user's is read or written.
# The demo's amounts carry a decimal comma, so they get German settings.
mkdir -m 700 "$work/home" "$work/runtime"
(
cd "$work"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share" XDG_RUNTIME_DIR="$work/runtime"
german=(env -u LC_ALL LANG=de_DE.UTF-8 LC_NUMERIC=de_DE.UTF-8)
"${german[@]}" /usr/bin/rechnung-db demo rechungen.mdb

# The e-invoice is checked against the schema the package brings, found beside
# the executable, not the copy in the source tree the build knows about.
year="$(date +%Y)"
nr="$(sqlite3 rechungen.mdb "SELECT nr FROM rechnungsdaten$year ORDER BY id LIMIT 1")"
[ -n "$nr" ] || fail "Die Demo-Datenbank hat keine Rechnung im Jahr $year."
mkdir einvoice
if command -v strace >/dev/null 2>&1; then
  strace -f -qq -e trace=openat -e status=successful -o opened.log \
    "${german[@]}" /usr/bin/rechnung-db fatturapa rechungen.mdb --year "$year" --nr "$nr" --out einvoice
  grep -q '"/usr/share/rechnung/fatturapa/Schema_del_file_xml_FatturaPA_v1.2.2.xsd"' opened.log ||
    fail "rechnung-db liest nicht das Schema in /usr/share/rechnung/fatturapa."
  echo "Schema gelesen aus /usr/share/rechnung/fatturapa."
else
  "${german[@]}" /usr/bin/rechnung-db fatturapa rechungen.mdb --year "$year" --nr "$nr" --out einvoice
  echo "strace fehlt: nicht nachgeprüft, woher das Schema kam."
fi
ls einvoice/*.xml >/dev/null || fail "rechnung-db fatturapa hat keine Datei geschrieben."

bash "$root/tests/wm/run-under-openbox.sh" "${german[@]}" bash "$root/scripts/test-package.sh" --show-window "$work" ||
  fail "Das installierte Programm zeigte sein Hauptfenster nicht."
)

apt_get purge rechnung "${added[@]}" >/dev/null
added=()
[ ! -e /usr/bin/Rechnung ] || fail "/usr/bin/Rechnung ist nach dem Entfernen noch da."
! installed rechnung || fail "Das Paket rechnung ist nach dem Entfernen noch installiert."
echo "Paket installiert, Hauptfenster gesehen, Paket entfernt ($((SECONDS - started)) s ohne den Bau)."
