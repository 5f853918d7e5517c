#!/usr/bin/env bash
# Renders a window on a virtual display through scripts/gui-xvfb.sh and
# checks that its picture is not a single colour.
#   screenshot_check.sh SHOT_PROGRAM OUTPUT_DIR [PICTURE | --wm]
# PICTURE is the file the program writes into OUTPUT_DIR (main_window.png
# by default). With --wm the display has a window manager and the
# whole-screen pictures (main_window_wm.png, main_window_topmost.png,
# window_menu.png) are checked as well. Exit status 77 (skipped) when Xvfb,
# ImageMagick or (with --wm) openbox is not installed.
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
tools=(Xvfb import identify)
[[ "$wm" == "--wm" ]] && tools+=(openbox)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" > /dev/null; then
    echo "screenshot_check.sh: $tool is not installed; check skipped"
    exit 77
  fi
done
rm -rf "$out"
mkdir -p "$out"
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
  if (( colours < 2 )); then
    echo "screenshot_check.sh: $picture is a single colour" >&2
    exit 1
  fi
done
