# Shared helpers of the set-up scripts: the Debian package list, an idempotent
# installer and the configure/build steps. Sourced, never run directly.

ROOT_DIR="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

# Every Debian package the project needs to build, run and test.
PACKAGES=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev
  libicu-dev
  python3
)

# Installs what is missing; with everything present it makes no apt call.
ensure_packages() {
  local missing=() pkg status
  for pkg in "${PACKAGES[@]}"; do
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
configure_tree() {
  local dir="$1" type="$2"
  shift 2
  cmake -S "$ROOT_DIR" -B "$ROOT_DIR/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@"
}

# build_tree <dir>
build_tree() {
  cmake --build "$ROOT_DIR/$1" -j8
}
