# Qt for the Windows window: Debian's own source of its Qt (the same 6.4.2 as
# the host's Qt tools, which a cross build needs), built once with mingw-w64
# into a cache outside any clone and reused afterwards.
#
#   ensure_windows_qt   builds it unless the cache holds this version already;
#                       sets KORVEL_WINDOWS_QT to its folder. Safe to run twice.
#
# Only Core, Gui, Widgets and Test are built, with the qwindows platform plugin
# and the windowsvista style; the third-party libraries come from Qt's own
# source (no sql, network, dbus, concurrent, printsupport or xml).

KORVEL_QT_VERSION="6.4.2"
KORVEL_QT_CACHE="${KORVEL_QT_CACHE:-/var/cache/korvel2tqf}"
KORVEL_WINDOWS_QT="$KORVEL_QT_CACHE/qt6-mingw-$KORVEL_QT_VERSION"
QT_WINDOWS_PACKAGES=(dpkg-dev g++-mingw-w64-x86-64 qt6-base-dev qt6-base-dev-tools cmake ninja-build)

# The source package, fetched once: the only download of this step.
_korvel_qt_source() {
  local src="$KORVEL_QT_CACHE/src"
  if [ -d "$src/qtbase" ]; then
    echo "$src/qtbase"
    return 0
  fi
  local list=/etc/apt/sources.list.d/korvel2tqf-sources.list
  if ! apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$'; then
    echo "==> Qt for Windows: a deb-src line for bookworm (for apt-get source)" >&2
    # With the keyring the system's own bookworm entry names, where it names
    # one: apt refuses two entries of one source with different keys.
    local keyring
    keyring="$(sed -n 's/^Signed-By: *//p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)"
    echo "deb-src ${keyring:+[signed-by=$keyring] }http://deb.debian.org/debian bookworm main" >"$list"
    apt-get update -qq >&2 || { rm -f "$list"; return 1; }
  fi
  rm -rf "$src.tmp" && mkdir -p "$src.tmp"
  local version
  version="$(apt-cache showsrc qt6-base | sed -n 's/^Version: //p' | grep "^$KORVEL_QT_VERSION" | head -n 1)"
  [ -n "$version" ] || { echo "Debian has no source of qt6-base $KORVEL_QT_VERSION" >&2; return 1; }
  echo "==> Qt for Windows: apt-get source qt6-base=$version" >&2
  (cd "$src.tmp" && apt-get source -qq "qt6-base=$version" >&2) || return 1
  local unpacked
  unpacked="$(find "$src.tmp" -mindepth 1 -maxdepth 1 -type d -name 'qt6-base-*' | head -n 1)"
  [ -n "$unpacked" ] || { echo "apt-get source left no qt6-base folder" >&2; return 1; }
  mkdir -p "$src" && mv "$unpacked" "$src/qtbase" && rm -rf "$src.tmp"
  echo "$src/qtbase"
}

ensure_windows_qt() {
  if [ -f "$KORVEL_WINDOWS_QT/.built" ] && [ "$(cat "$KORVEL_WINDOWS_QT/.built")" = "$KORVEL_QT_VERSION" ]; then
    echo "==> Qt $KORVEL_QT_VERSION for Windows: in $KORVEL_WINDOWS_QT"
    export KORVEL_WINDOWS_QT
    return 0
  fi
  local started=$SECONDS
  echo "==> Qt $KORVEL_QT_VERSION for Windows: building it once into $KORVEL_WINDOWS_QT (about 20 minutes on 2 cores)"
  mkdir -p "$KORVEL_QT_CACHE"
  local source build="$KORVEL_QT_CACHE/build-qt6-mingw"
  source="$(_korvel_qt_source)" || return 1
  rm -rf "$build" "$KORVEL_WINDOWS_QT"
  mkdir -p "$build"
  cat >"$build/toolchain.cmake" <<'TOOLCHAIN'
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
TOOLCHAIN
  # Debian's source has no Wacom tablet header (tabletevent off); OpenGL
  # stays on as 6.4.2's Windows plugin needs it.
  if ! cmake -S "$source" -B "$build" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$build/toolchain.cmake" -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_INSTALL_PREFIX="$KORVEL_WINDOWS_QT" \
      -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
      -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
      -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_concurrent=OFF \
      -DFEATURE_printsupport=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF \
      -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF \
      -DFEATURE_system_jpeg=OFF -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF \
      -DFEATURE_system_doubleconversion=OFF -DFEATURE_openssl=OFF \
      >"$build/configure.log" 2>&1; then
    tail -40 "$build/configure.log" >&2
    echo "Qt for Windows: configure failed (the whole log: $build/configure.log)" >&2
    return 1
  fi
  echo "    configured; compiling (log: $build/build.log)"
  if ! cmake --build "$build" -j "${JOBS:-2}" >"$build/build.log" 2>&1 \
      || ! cmake --install "$build" >>"$build/build.log" 2>&1; then
    tail -40 "$build/build.log" >&2
    echo "Qt for Windows: the build failed (the whole log: $build/build.log)" >&2
    return 1
  fi
  echo "$KORVEL_QT_VERSION" >"$KORVEL_WINDOWS_QT/.built"
  rm -rf "$build"
  echo "    Qt for Windows built in $((SECONDS - started)) s"
  export KORVEL_WINDOWS_QT
}
