#!/usr/bin/env bash
# Installs what is needed, builds the sanitizer tree and runs every test.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/asan Debug -DENABLE_SANITIZERS=ON
build_tree build/asan

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ROOT_DIR/build/asan" --output-on-failure -j8
