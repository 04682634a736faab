#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Re-makes the pictures in app/resources/ from the drawings below (ImageMagick 6
# and the DejaVu / Liberation fonts). The outputs are committed, so this only
# needs to run after a drawing changes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="$root/app/resources"
convert="${CONVERT:-convert}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

sans=/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf
sans_bold=/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf
serif_bold=/usr/share/fonts/truetype/liberation2/LiberationSerif-Bold.ttf
for f in "$sans" "$sans_bold" "$serif_bold"; do
  [ -f "$f" ] || { echo "fehlt: $f (fonts-dejavu-core, fonts-liberation2)" >&2; exit 1; }
done

# Small pictures are drawn larger and scaled down, which gives smooth edges.
# PNG time stamps are left out so that re-making an unchanged drawing gives
# the same bytes.
png_out=(-strip -define png:exclude-chunks=date,time)

# The nursery's logo at 4 x 225 x 113: a seedling in a clay pot, the name and
# a line below it. $1 is the background (an ImageMagick canvas).
draw_logo() {
  "$convert" -size 900x452 "$1" \
    -stroke '#2f6b2a' -strokewidth 5 -fill none \
    -draw "path 'M 150,330 C 145,260 150,180 160,85'" \
    -fill '#5aa845' -stroke '#2f6b2a' -strokewidth 5 \
    -draw "path 'M 148,250 C 110,250 50,230 30,150 C 100,140 140,190 148,250 Z'" \
    -draw "path 'M 152,200 C 200,200 260,170 280,90 C 200,90 160,140 152,200 Z'" \
    -draw "path 'M 160,88 C 128,62 130,34 165,14 C 197,38 192,72 160,88 Z'" \
    -fill none -stroke '#a9d98e' -strokewidth 4 \
    -draw "path 'M 146,245 C 110,225 75,200 45,160'" \
    -draw "path 'M 154,195 C 195,175 235,145 268,100'" \
    -fill '#c8693c' -stroke '#8a4424' -strokewidth 5 \
    -draw "path 'M 85,340 L 215,340 L 200,430 L 100,430 Z'" \
    -draw "roundrectangle 72,310 228,345 6,6" \
    -stroke none -fill '#2f6b2a' \
    -font "$sans_bold" -pointsize 84 -draw "text 315,195 'Gärtnerei'" \
    -fill '#1f4d1c' -font "$serif_bold" -pointsize 130 -draw "text 312,330 'Trovanek'" \
    -fill '#5aa845' -draw "rectangle 315,365 880,372" \
    -fill '#4a6b45' -font "$sans" -pointsize 35 -draw "text 318,422 'Pflanzen aus eigener Anzucht'" \
    -resize 225x113! "$2"
}

# About box: on a pale green wash.
draw_logo 'gradient:#fdfdf6-#e9f2dc' "$work/logo-screen.png"
"$convert" "$work/logo-screen.png" -strip -quality 92 "$out/logo.jpg"

# Printed invoice: on white paper, so no wash; 24-bit uncompressed BMP at
# 2834 pixels per metre (72 dpi).
draw_logo 'xc:white' "$work/logo-print.png"
"$convert" "$work/logo-print.png" -strip -alpha off -type TrueColor \
  -units PixelsPerCentimeter -density 28.34 "BMP3:$out/logo.bmp"

# 16 x 16 warning sign, drawn pixel by pixel: scaled down it would blur.
cat > "$work/warning16.xpm" <<'XPM'
/* XPM */
static char *warning16[] = {
"16 16 3 1",
". c None",
"K c #000000",
"Y c #FFD21F",
".......KK.......",
"......KYYK......",
"......KYYK......",
".....KYYYYK.....",
".....KYKKYK.....",
"....KYYKKYYK....",
"....KYYKKYYK....",
"...KYYYKKYYYK...",
"...KYYYKKYYYK...",
"..KYYYYKKYYYYK..",
"..KYYYYYYYYYYK..",
".KYYYYYKKYYYYYK.",
".KYYYYYKKYYYYYK.",
"KYYYYYYYYYYYYYYK",
"KKKKKKKKKKKKKKKK",
"................"
};
XPM
"$convert" "$work/warning16.xpm" "${png_out[@]}" "PNG32:$out/warning16.png"

# Window icon: an invoice sheet with a folded corner and a green leaf.
# 32 x 32 from a detailed drawing at 16 x ...
"$convert" -size 512x512 xc:none \
  -fill '#ffffff' -stroke '#5b6470' -strokewidth 22 \
  -draw "path 'M 70,20 L 330,20 L 430,120 L 430,492 L 70,492 Z'" \
  -fill '#dfe5ec' -draw "path 'M 330,20 L 330,120 L 430,120 Z'" \
  -stroke '#8d99a6' -strokewidth 26 \
  -draw "line 130,120 270,120" -draw "line 130,200 370,200" -draw "line 130,280 300,280" \
  -fill '#4f9e3a' -stroke '#245c1f' -strokewidth 22 \
  -draw "path 'M 180,480 C 180,350 300,270 490,250 C 480,420 360,490 180,480 Z'" \
  -fill none -stroke '#bde3a6' -strokewidth 18 \
  -draw "path 'M 215,450 C 290,390 360,340 440,300'" \
  -filter Triangle -resize 32x32 "${png_out[@]}" "PNG32:$out/icon32.png"

# ... and 16 x 16 from a plainer one whose lines sit on the pixel grid.
"$convert" -size 256x256 xc:none \
  -fill '#ffffff' -stroke '#5b6470' -strokewidth 16 \
  -draw "path 'M 40,8 L 168,8 L 216,56 L 216,248 L 40,248 Z'" \
  -fill '#dfe5ec' -draw "path 'M 168,8 L 168,56 L 216,56 Z'" \
  -stroke '#8d99a6' -strokewidth 16 \
  -draw "line 80,72 136,72" -draw "line 80,120 184,120" \
  -fill '#4f9e3a' -stroke '#245c1f' -strokewidth 16 \
  -draw "path 'M 88,248 C 88,176 160,128 248,120 C 248,208 184,248 88,248 Z'" \
  -fill none -stroke '#bde3a6' -strokewidth 14 \
  -draw "path 'M 112,228 C 150,200 190,176 228,148'" \
  -filter Box -resize 16x16 "${png_out[@]}" "PNG32:$out/icon16.png"

# The invoice printing relies on this header; ImageMagick's rounding of the
# density has changed between versions before.
python3 - "$out/logo.bmp" <<'PY'
import struct, sys
d = open(sys.argv[1], 'rb').read()
w, h, planes, bpp, comp, _, xppm, yppm = struct.unpack('<iiHHIIii', d[18:46])
ok = d[:2] == b'BM' and (w, h, bpp, comp, xppm, yppm) == (225, 113, 24, 0, 2834, 2834)
if not ok:
    sys.exit('logo.bmp: unerwarteter Kopf %r' % ((w, h, bpp, comp, xppm, yppm),))
PY
echo "Bilder in $out erneuert."
