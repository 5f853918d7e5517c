#!/usr/bin/env bash
# Writes the seed workbooks of the reader's fuzz target into
# excel/fuzz/xls_reader_seeds/ with the fixture program (every kind of cell,
# format, hyperlink and chart the writer makes).
#
# Usage: excel/fuzz/make_seeds.sh [FIXTURE_WRITER]   (default
# build/asan/bin/xls_fixture_writer; build it first)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
writer="${1:-$root/build/asan/bin/xls_fixture_writer}"
out="$root/excel/fuzz/xls_reader_seeds"
rm -rf "$out"
mkdir -p "$out"
"$writer" "$out"
echo "$(ls "$out" | wc -l) seeds in $out"
