#!/usr/bin/env bash
# Installs what is needed, builds the release tree and starts the program.
# The program reads Platebna.ini beside itself; when there is none, one is
# written that points at the demo data directory (build/demo-data, or
# $PLATEBNA_DEMO_DIR), which mkdemo makes when it is missing.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/release RelWithDebInfo
# Only what starting needs: the program and the demo-data tool (the tests
# and benchmarks are built by scripts/test.sh).
cmake --build "$ROOT_DIR/build/release" --target platebna mkdemo -j8

bin="$ROOT_DIR/build/release/bin"
demo="${PLATEBNA_DEMO_DIR:-$ROOT_DIR/build/demo-data}"
if [[ ! -d "$demo" ]]; then
  "$bin/mkdemo" "$demo"
fi
if [[ ! -f "$bin/Platebna.ini" ]]; then
  # The settings file is CP1250 text, as the program reads it.
  printf '[Platebna]\r\nProdejna=0001\r\nCestaData=%s\r\nHlavniTiskarna=0\r\nCestaPrivate=%s/private\r\nKodMeny=Kč\r\n' \
    "$demo" "$demo" | iconv -f UTF-8 -t CP1250 > "$bin/Platebna.ini"
fi
exec "$bin/platebna" "$@"
