#!/usr/bin/env bash
# Installs what is needed, builds the screenshot program of the release tree
# and renders the main window and the re-indexing progress window on a
# virtual display with a window manager, Caps Lock and Num Lock on:
# build/screenshots/main_window.png and progress_window.png, and of the
# whole screen main_window_wm.png (the window in its frame, the menu bar
# with the always-on-top button, the status bar with "CAPS" embossed and
# "NUM"), main_window_topmost.png (the button down) and window_menu.png
# (the window menu open, its item checked).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/release RelWithDebInfo
cmake --build "$ROOT_DIR/build/release" --target main_window_shot x11_lock_keys -j8

out="$ROOT_DIR/build/screenshots"
mkdir -p "$out"
pictures=(main_window.png progress_window.png main_window_wm.png main_window_topmost.png window_menu.png)
for picture in "${pictures[@]}"; do rm -f "$out/$picture"; done
# Caps Lock and Num Lock go on first, so their panes show.
"$ROOT_DIR/scripts/gui-xvfb.sh" --wm --delay 6 "$out/screen.png" -- bash -c \
  '"$1" && exec "$2" --hold "$3"' lock-and-shoot \
  "$ROOT_DIR/build/release/bin/x11_lock_keys" "$ROOT_DIR/build/release/bin/main_window_shot" "$out"
for picture in "${pictures[@]}"; do
  if [[ ! -s "$out/$picture" ]]; then
    echo "screenshots.sh: $out/$picture was not written" >&2
    exit 1
  fi
done
