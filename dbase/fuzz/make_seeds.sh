#!/usr/bin/env bash
# Writes the seed corpora of the file-format fuzz targets into
# dbase/fuzz/<target>_seeds/, where the fuzz runner picks them up. The seeds
# are files made by dbf_create and the engine itself; the targets write them
# when DBF_FUZZ_WRITE_SEEDS names a directory.
#
# Usage: dbase/fuzz/make_seeds.sh [FUZZ_BIN_DIR]   (default build/fuzz/bin;
# build the targets first, e.g. with scripts/fuzz.sh or the fuzz phase of
# scripts/test.sh)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
bin="${1:-$root/build/fuzz/bin}"
for target in table memo cdx xbase_dataset mdx ndx ntx; do
  if [[ ! -x "$bin/${target}_fuzz" ]]; then
    echo "$bin/${target}_fuzz is not built" >&2
    exit 1
  fi
  out="$root/dbase/fuzz/${target}_seeds"
  rm -rf "$out"
  DBF_FUZZ_WRITE_SEEDS="$out" "$bin/${target}_fuzz"
  echo "$(ls "$out" | wc -l) seeds in $out"
done
