#!/usr/bin/env bash
# Renders a window on a virtual display through scripts/gui-xvfb.sh and
# checks what a person would see in the picture. For the main window: the
# window's size, the grid's title row in the button face colour and the
# selected row in the highlight colour, each where the program says it put
# them (main_window.txt beside the picture); for another window, that its
# picture is more than one colour.
#   screenshot_check.sh SHOT_PROGRAM OUTPUT_DIR [PICTURE | --wm]
# PICTURE is the file the program writes into OUTPUT_DIR (main_window.png
# by default). With --wm the display has a window manager and the
# whole-screen pictures (main_window_wm.png, main_window_topmost.png,
# window_menu.png) must be more than one colour as well. Exit status 77
# (skipped) when Xvfb, ImageMagick or (with --wm) openbox is not installed.
set -euo pipefail
shot="$1"
out="$2"
wm=""
picture="main_window.png"
if [[ "${3:-}" == "--wm" ]]; then
  wm="--wm"
elif [[ -n "${3:-}" ]]; then
  picture="$3"
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
tools=(Xvfb import identify convert)
[[ "$wm" == "--wm" ]] && tools+=(openbox)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" > /dev/null; then
    echo "screenshot_check.sh: $tool is not installed; check skipped"
    exit 77
  fi
done
rm -rf "$out"
mkdir -p "$out"
fail() {
  echo "screenshot_check.sh: $*" >&2
  exit 1
}
pictures=("$picture")
if [[ "$wm" == "--wm" ]]; then
  "$root/scripts/gui-xvfb.sh" --wm --delay 8 "$out/screen.png" -- "$shot" --hold "$out"
  pictures+=(main_window_wm.png main_window_topmost.png window_menu.png)
else
  "$root/scripts/gui-xvfb.sh" --delay 60 "$out/screen.png" -- "$shot" "$out"
fi
for picture in "${pictures[@]}"; do
  colours="$(identify -format '%k' "$out/$picture")"
  echo "$picture: $colours colours"
  (( colours >= 2 )) || fail "$picture is a single colour"
done
[[ "$picture" == main_window.png ]] || exit 0

picture="$out/main_window.png"
read -r _ width height < <(grep '^size ' "$out/main_window.txt") || fail "main_window.txt has no size"
size="$(identify -format '%w %h' "$picture")"
echo "main_window.png: $size (window ${width} ${height})"
[[ "$size" == "$width $height" ]] || fail "the picture is $size, the window ${width}x${height}"
# The colour that covers most of a region, as RRGGBB, and its share in %.
dominant() {
  convert "$picture" -crop "$3x$4+$1+$2" +repage -format %c histogram:info: |
    sort -rn | awk -v total="$(($3 * $4))" 'NR == 1 {
      for (i = 1; i <= NF; ++i) if ($i ~ /^#/ && length($i) == 7) colour = substr($i, 2)
      count = $1; sub(":", "", count)
      printf "%s %d\n", toupper(colour), 100 * count / total }'
}
for region in title selected; do
  read -r _ x y w h expected < <(grep "^$region " "$out/main_window.txt") || fail "main_window.txt has no $region"
  (( w > 0 && h > 0 )) || fail "$region region is empty"
  read -r colour share < <(dominant "$x" "$y" "$w" "$h")
  echo "$region at $x,$y ${w}x${h}: mostly #$colour ($share%), expected #$expected"
  [[ "$colour" == "$expected" ]] || fail "the $region is mostly #$colour, not #$expected"
  (( share >= 50 )) || fail "the $region is only $share% #$colour"
done
