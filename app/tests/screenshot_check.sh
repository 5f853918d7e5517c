#!/usr/bin/env bash
# Renders a window on a virtual display through scripts/gui-xvfb.sh and
# checks that its picture is not a single colour.
#   screenshot_check.sh SHOT_PROGRAM OUTPUT_DIR [PICTURE]
# PICTURE is the file the program writes into OUTPUT_DIR (main_window.png
# by default).
# Exit status 77 (skipped) when Xvfb or ImageMagick is not installed.
set -euo pipefail
shot="$1"
out="$2"
picture="${3:-main_window.png}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
for tool in Xvfb import identify; do
  if ! command -v "$tool" > /dev/null; then
    echo "screenshot_check.sh: $tool is not installed; check skipped"
    exit 77
  fi
done
rm -rf "$out"
mkdir -p "$out"
"$root/scripts/gui-xvfb.sh" --delay 60 "$out/screen.png" -- "$shot" "$out"
colours="$(identify -format '%k' "$out/$picture")"
echo "$picture: $colours colours"
if (( colours < 2 )); then
  echo "screenshot_check.sh: $picture is a single colour" >&2
  exit 1
fi
