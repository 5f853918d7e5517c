#!/usr/bin/env bash
# Renders the main window on a virtual display through scripts/gui-xvfb.sh
# and checks that the picture is not a single colour.
#   screenshot_check.sh SHOT_PROGRAM OUTPUT_DIR [--wm]
# With --wm the display has a window manager and the whole-screen pictures
# (main_window_wm.png, main_window_topmost.png, window_menu.png) are
# checked as well. Exit status 77 (skipped) when Xvfb, ImageMagick or (with
# --wm) openbox is not installed.
set -euo pipefail
shot="$1"
out="$2"
wm="${3:-}"
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
pictures=(main_window.png)
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
