#!/usr/bin/env bash
# Long fuzz runs by hand: scripts/fuzz.sh TARGET SECONDS [libFuzzer flags...]
# e.g. scripts/fuzz.sh expression_fuzz 3600 -jobs=4
# Builds the clang fuzz tree (build/fuzz) and runs the target on a fresh
# corpus seeded from its fuzz folder; findings land in build/fuzz/findings/.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

if (($# < 2)); then
  echo "usage: scripts/fuzz.sh TARGET SECONDS [libFuzzer flags...]" >&2
  exit 2
fi
target="$1"
seconds="$2"
shift 2

ensure_packages
configure_fuzz_tree
build_fuzz_targets
export ASAN_OPTIONS="abort_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
run_fuzz_target "$target" "$seconds" "$@"
