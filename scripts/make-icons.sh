#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Re-makes the program's icon in the sizes a desktop wants from its drawing
# (rsvg-convert, Debian librsvg2-bin). The outputs are committed.
set -euo pipefail
dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../packaging/icons" && pwd)"
for size in 16 32 48 64 128 256; do
  rsvg-convert -w "$size" -h "$size" "$dir/rechnung.svg" -o "$dir/rechnung-$size.png"
done
