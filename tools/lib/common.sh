# Shared by tools/demo and tools/test: Debian packages and the main build.

KORVEL_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# Installs the Debian packages that are missing; `apt-get update` runs only then.
ensure_packages() {
  local missing=()
  local package
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$package")
    fi
  done
  if ((${#missing[@]})); then
    echo "==> installing ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then sudo=(sudo); fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
}

BUILD_PACKAGES=(cmake ninja-build g++ libgtest-dev libcli11-dev unixodbc-dev unixodbc libsqliteodbc odbc-postgresql
  qt6-base-dev qt6-translations-l10n fonts-dejavu-core fonts-liberation2)

# configure_and_build DIR [cmake options...]
configure_and_build() {
  local dir="$1"
  shift
  mkdir -p "$KORVEL_ROOT/$dir"
  # The configure log stays inside its build folder, out of the source tree.
  cmake -S "$KORVEL_ROOT" -B "$KORVEL_ROOT/$dir" -G Ninja "$@" >"$KORVEL_ROOT/$dir/configure.log" 2>&1 \
    || { cat "$KORVEL_ROOT/$dir/configure.log"; return 1; }
  cmake --build "$KORVEL_ROOT/$dir" -j "$JOBS"
}

build_main() {
  configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKORVEL_WITH_GUI=ON
}
