#!/usr/bin/env bash
# Runs several copies of one test filter at the same time, for some rounds,
# and counts the failures. Races between processes that one copy alone
# rarely meets show up when the machine is busy; two writers of our own on
# one table were caught this way.
#
#   scripts/parallel-copies.sh [FILTER] [COPIES] [ROUNDS] [TEST BINARY]
#
# Defaults: the two-writer tests of the table handler, 8 copies, 3 rounds,
# the sanitizer tree's dbase_tests. Exits non-zero when any copy failed.
set -uo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/lib/common.sh"

filter=${1:-'HandlerMultiprocess.TwoWriters*'}
copies=${2:-8}
rounds=${3:-3}
binary=${4:-"$ROOT_DIR/build/asan/bin/dbase_tests"}
[[ -x "$binary" ]] || { echo "no test binary at $binary (build dbase_tests first)" >&2; exit 2; }

export ASAN_OPTIONS=${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
failed=0
total=0
for round in $(seq 1 "$rounds"); do
  pids=()
  for copy in $(seq 1 "$copies"); do
    "$binary" --gtest_filter="$filter" > "$logs/$round.$copy" 2>&1 &
    pids+=($!)
  done
  for copy in $(seq 1 "$copies"); do
    total=$((total + 1))
    if ! wait "${pids[$((copy - 1))]}"; then
      failed=$((failed + 1))
      echo "round $round, copy $copy failed:"
      grep -E "Failure|walked|Expected|Which is|FAILED" "$logs/$round.$copy" | head -8
    fi
  done
done
echo "$((total - failed)) passed, $failed failed"
[[ $failed -eq 0 ]]
