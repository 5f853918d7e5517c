#!/usr/bin/env bash
# Installs what is needed, builds the sanitizer tree and runs every test;
# then, when clang is there, builds the fuzz tree and runs each fuzz target
# briefly on its seeds (a finding fails the run).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

ensure_packages
configure_tree build/asan Debug -DENABLE_SANITIZERS=ON
build_tree build/asan

export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
ctest --test-dir "$ROOT_DIR/build/asan" --output-on-failure -j8

if command -v clang++ > /dev/null; then
  configure_fuzz_tree
  build_fuzz_targets
  for target in "$ROOT_DIR/$FUZZ_TREE"/bin/*_fuzz; do
    [[ -x "$target" ]] || continue
    echo "Fuzzing $(basename "$target") for at most 30 s"
    run_fuzz_target "$(basename "$target")" 30 -seed=1 -runs=200000
  done
else
  echo "clang++ not found: fuzz phase skipped (the seeded random-input tests above ran)"
fi
