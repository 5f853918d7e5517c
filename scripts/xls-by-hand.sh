#!/usr/bin/env bash
# Spreadsheet checks run by hand, never in CI:
#   scripts/xls-by-hand.sh libreoffice    LibreOffice converts the fixture
#                                         workbooks to CSV and ODS: the shown
#                                         values and the charts are compared,
#                                         and its own .xls files (a chart, a
#                                         comment) go through our reader
#   scripts/xls-by-hand.sh font-widths    regenerates the auto-fit width table
#                                         excel/server/xl_font_widths.inc
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

case "${1:-}" in
  libreoffice)
    ensure_packages libreoffice-calc-nogui
    ensure_packages
    configure_tree build/asan Debug -DENABLE_SANITIZERS=ON > /dev/null
    cmake --build "$ROOT_DIR/build/asan" --target xls_fixture_writer -j3
    /usr/bin/python3 "$ROOT_DIR/excel/tests/crosscheck/libreoffice_check.py" "$ROOT_DIR/build/asan/bin/xls_fixture_writer"
    ;;
  font-widths)
    ensure_packages python3-fonttools fonts-liberation2
    /usr/bin/python3 "$ROOT_DIR/tools/gen_xls_font_widths.py"
    ;;
  *)
    echo "usage: $0 libreoffice|font-widths" >&2
    exit 2
    ;;
esac
