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

BUILD_PACKAGES=(cmake ninja-build ccache g++ libgtest-dev libcli11-dev unixodbc-dev unixodbc libsqliteodbc odbc-postgresql
  libmseed-dev mseed2sac libxxhash-dev
  qt6-base-dev qt6-translations-l10n fonts-dejavu-core fonts-liberation2)

# Generates ru_RU.UTF-8 unless the system has it already: operators run the
# window in it, and the tests run again under it (needs the package locales).
ensure_russian_locale() {
  if locale -a 2>/dev/null | grep -qix 'ru_RU\.utf-\?8'; then return 0; fi
  echo "==> generating the ru_RU.UTF-8 locale"
  if [ -f /etc/locale.gen ] && grep -q '^# *ru_RU.UTF-8 UTF-8' /etc/locale.gen; then
    sed -i 's/^# *ru_RU.UTF-8 UTF-8/ru_RU.UTF-8 UTF-8/' /etc/locale.gen
  elif ! grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo "ru_RU.UTF-8 UTF-8" >>/etc/locale.gen
  fi
  locale-gen >/dev/null
}

# preset_dir PRESET: the build folder of one of CMakePresets.json's presets.
preset_dir() {
  case "$1" in
    default) echo build ;;
    windows*) echo build-windows ;;
    *) echo "build-$1" ;;
  esac
}

# configure_and_build PRESET [cmake options...]: CMakePresets.json holds the
# flags of each build; the options are for what only the moment knows.
configure_and_build() {
  local preset="$1"
  shift
  local dir="$KORVEL_ROOT/$(preset_dir "$preset")"
  mkdir -p "$dir"
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    _korvel_compiler_cache
  fi
  # The configure log stays inside its build folder, out of the source tree.
  (cd "$KORVEL_ROOT" && cmake --preset "$preset" "${launcher[@]}" "$@") >"$dir/configure.log" 2>&1 \
    || { cat "$dir/configure.log"; return 1; }
  (cd "$KORVEL_ROOT" && cmake --build --preset "$preset" -j "$JOBS")
}

# The compiler's results are kept outside the clone, as Qt for Windows is, so
# that a second run or a fresh clone compiles only what changed. Paths are
# hashed relative to the clone, so clones in other folders share them; a
# cached compile repeats its warnings.
_korvel_compiler_cache() {
  export CCACHE_DIR="${CCACHE_DIR:-/var/cache/korvel2tqf/ccache}"
  export CCACHE_BASEDIR="$KORVEL_ROOT" CCACHE_NOHASHDIR=1 CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-2G}"
  mkdir -p "$CCACHE_DIR" 2>/dev/null || export CCACHE_DIR="$HOME/.cache/korvel2tqf-ccache"
}

build_main() {
  configure_and_build default
}
