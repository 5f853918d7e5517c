#!/usr/bin/env bash
# Installs what is needed, builds the release tree and starts the program.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/release RelWithDebInfo
build_tree build/release
exec "$ROOT_DIR/build/release/bin/platebna" "$@"
