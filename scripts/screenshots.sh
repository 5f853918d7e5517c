#!/usr/bin/env bash
# Installs what is needed, builds the screenshot program of the release tree
# and renders the main window and the re-indexing progress window on a
# virtual display: build/screenshots/main_window.png and
# progress_window.png, plus screen.png, the whole virtual screen with the
# main window on it; and the dialogs (entry form, type picker, search,
# operation types, type edit form, company header, system settings) as
# build/screenshots/<dialog>.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/release RelWithDebInfo
cmake --build "$ROOT_DIR/build/release" --target main_window_shot dialog_shots -j8

out="$ROOT_DIR/build/screenshots"
mkdir -p "$out"
rm -f "$out/main_window.png" "$out/progress_window.png"
"$ROOT_DIR/scripts/gui-xvfb.sh" --delay 5 "$out/screen.png" -- \
  "$ROOT_DIR/build/release/bin/main_window_shot" --hold "$out"
for picture in main_window.png progress_window.png; do
  if [[ ! -s "$out/$picture" ]]; then
    echo "screenshots.sh: $out/$picture was not written" >&2
    exit 1
  fi
done

dialogs=(entry_form.png type_picker.png search_dialog.png types_overview.png type_edit_form.png
         company_form.png settings_dialog.png)
for picture in "${dialogs[@]}"; do rm -f "$out/$picture"; done
"$ROOT_DIR/scripts/gui-xvfb.sh" --delay 5 "$out/dialogs_screen.png" -- \
  "$ROOT_DIR/build/release/bin/dialog_shots" "$out"
for picture in "${dialogs[@]}"; do
  if [[ ! -s "$out/$picture" ]]; then
    echo "screenshots.sh: $out/$picture was not written" >&2
    exit 1
  fi
done
