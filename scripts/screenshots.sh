#!/usr/bin/env bash
# Installs what is needed, builds the screenshot program of the release tree
# and renders the main window and the re-indexing progress window on a
# virtual display with a window manager: build/screenshots/main_window.png
# and progress_window.png, plus main_window_wm.png, the whole virtual
# screen with the main window in its frame (menu bar with the always-on-top
# button, status bar with its panes).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/release RelWithDebInfo
cmake --build "$ROOT_DIR/build/release" --target main_window_shot -j8

out="$ROOT_DIR/build/screenshots"
mkdir -p "$out"
rm -f "$out/main_window.png" "$out/progress_window.png" "$out/main_window_wm.png"
"$ROOT_DIR/scripts/gui-xvfb.sh" --wm --delay 5 "$out/main_window_wm.png" -- \
  "$ROOT_DIR/build/release/bin/main_window_shot" --hold "$out"
for picture in main_window.png progress_window.png main_window_wm.png; do
  if [[ ! -s "$out/$picture" ]]; then
    echo "screenshots.sh: $out/$picture was not written" >&2
    exit 1
  fi
done
