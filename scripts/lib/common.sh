# Shared helpers of the set-up scripts: the Debian package list, an idempotent
# installer and the configure/build steps. Sourced, never run directly.

ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Every Debian package the project needs to build, run and test.
PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libicu-dev
  python3
  clang libclang-rt-14-dev
  python3-dbfread python3-dbf libdbd-xbase-perl
  libsqlite3-dev libshp-dev
  qt6-base-dev fonts-liberation2 fonts-dejavu-core
  xvfb imagemagick
  xauth
  python3-xlrd python3-olefile python3-xlwt python3-pil xdg-user-dirs
  libcups2-dev poppler-utils qpdf python3-fonttools
  libjpeg62-turbo-dev fonts-urw-base35 python3-html5lib mupdf-tools libcairo2-dev
  cups cups-client cups-bsd printer-driver-cups-pdf
  libx11-dev libxtst-dev openbox
  locales
)

# Installs what is missing of the given packages (none given: PACKAGES);
# with everything present it makes no apt call.
ensure_packages() {
  local missing=() pkg status wanted=("$@")
  if ((${#wanted[@]} == 0)); then
    wanted=("${PACKAGES[@]}")
  fi
  for pkg in "${wanted[@]}"; do
    status="$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)"
    if [[ "$status" != "install ok installed" ]]; then
      missing+=("$pkg")
    fi
  done
  if ((${#missing[@]} == 0)); then
    return 0
  fi
  echo "Installing: ${missing[*]}"
  local sudo=()
  if [[ "$(id -u)" != 0 ]]; then
    sudo=(sudo)
  fi
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# configure_tree <dir> <build type> [extra cmake args...]
# A compiler cache, when one is installed, is used; nothing requires it.
configure_tree() {
  local dir="$1" type="$2"
  shift 2
  local launcher=()
  if command -v ccache > /dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$ROOT_DIR" -B "$ROOT_DIR/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "${launcher[@]}" "$@"
}

# build_tree <dir>
build_tree() {
  cmake --build "$ROOT_DIR/$1" -j8
}

# --- fuzzing -----------------------------------------------------------------
# The fuzz tree: clang with every library instrumented for coverage and the
# sanitizers; only the libFuzzer targets of the modules' fuzz folders are built.
FUZZ_TREE=build/fuzz

configure_fuzz_tree() {
  configure_tree "$FUZZ_TREE" RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DENABLE_FUZZING=ON -DBUILD_TESTING=OFF -DBUILD_BENCHMARKS=OFF \
    -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
}

build_fuzz_targets() {
  cmake --build "$ROOT_DIR/$FUZZ_TREE" --target fuzz_targets -j8
}

# fuzz_source_dir <name>: the fuzz folder that holds <name>.cpp.
fuzz_source_dir() {
  local source
  source="$(find "$ROOT_DIR" -path "$ROOT_DIR/build" -prune -o -path "*/fuzz/$1.cpp" -print -quit)"
  if [[ -z "$source" ]]; then
    echo "no fuzz target source $1.cpp under $ROOT_DIR" >&2
    return 1
  fi
  dirname "$source"
}

# run_fuzz_target <name> <seconds> [more libFuzzer flags...]
# Runs build/fuzz/bin/<name> on a fresh corpus with its seeds: the lines of
# <module>/fuzz/<base>_seeds.txt (one seed each) or the files of
# <module>/fuzz/<base>_seeds/, where <base> is the name without "_fuzz" and
# <module>/fuzz the folder that holds <name>.cpp, and
# its dictionary <base>.dict and the extra libFuzzer flags of <base>.flags
# (e.g. a larger -max_len for file formats) when there are. Findings are
# kept under build/fuzz/findings/. Returns libFuzzer's status (non-zero for
# a crash, a leak or a timeout).
run_fuzz_target() {
  local name="$1" seconds="$2"
  shift 2
  local source_dir base="${name%_fuzz}"
  source_dir="$(fuzz_source_dir "$name")" || return 1
  local work findings="$ROOT_DIR/$FUZZ_TREE/findings"
  work="$(mktemp -d)"
  mkdir -p "$work/corpus" "$work/seeds" "$findings"
  if [[ -f "$source_dir/${base}_seeds.txt" ]]; then
    local line i=0
    while IFS= read -r line || [[ -n "$line" ]]; do
      printf '%s' "$line" > "$work/seeds/seed-$i"
      i=$((i + 1))
    done < "$source_dir/${base}_seeds.txt"
  fi
  if [[ -d "$source_dir/${base}_seeds" ]]; then
    cp -r "$source_dir/${base}_seeds/." "$work/seeds/"
  fi
  local flags=(-max_len=1024 -timeout=10 -max_total_time="$seconds" -artifact_prefix="$findings/$name-")
  if [[ -f "$source_dir/$base.dict" ]]; then
    flags+=(-dict="$source_dir/$base.dict")
  fi
  if [[ -f "$source_dir/$base.flags" ]]; then
    local extra
    read -r -a extra < "$source_dir/$base.flags" || true  # a last line without newline
    flags+=("${extra[@]}")
  fi
  local status=0
  (cd "$work" && "$ROOT_DIR/$FUZZ_TREE/bin/$name" "${flags[@]}" "$@" corpus seeds) || status=$?
  rm -rf "$work"
  return "$status"
}
