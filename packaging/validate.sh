#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs Debian's validators on the desktop entry and the AppStream file.
set -euo pipefail
dir="$1"
for tool in desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "$tool fehlt (desktop-file-utils, appstream)"; exit 77; }
done
desktop-file-validate "$dir/rechnung.desktop"
appstreamcli validate --no-net "$dir/org.example.Rechnung.metainfo.xml"
echo "1 passed, 0 failed"
