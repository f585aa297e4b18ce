#!/usr/bin/env bash
# Draws the program's two icons (107: the large window icon, 108: the small one) at 16, 32
# and 48 pixels and writes them to resources/. Run it again after changing the drawing; the
# .ico files are kept in the repository so that a build needs no ImageMagick.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

draw() { # size background letter-colour output
    local size=$1 background=$2 ink=$3 out=$4
    local r=$((size / 8)) border=$((size / 16 > 0 ? size / 16 : 1))
    convert -size "${size}x${size}" xc:none \
        -fill "$background" -stroke '#1b2a3a' -strokewidth "$border" \
        -draw "roundrectangle $border,$border $((size - border - 1)),$((size - border - 1)) $r,$r" \
        -fill "$ink" -stroke none -font DejaVu-Sans-Bold -pointsize $((size * 3 / 4)) \
        -gravity center -annotate +0+0 'D' \
        "PNG32:$out"
}

for size in 16 32 48; do
    draw "$size" '#3b6ea5' '#f4e7c5' "$work/large-$size.png"
    draw "$size" '#a5533b' '#f4e7c5' "$work/small-$size.png"
done
convert "$work/large-16.png" "$work/large-32.png" "$work/large-48.png" "$root/resources/dravik_107.ico"
convert "$work/small-16.png" "$work/small-32.png" "$work/small-48.png" "$root/resources/dravik_108.ico"
identify "$root/resources/dravik_107.ico" "$root/resources/dravik_108.ico"
