# The Windows build: korvel2tqf-cli.exe, korvel-rawgen.exe and the platform,
# config, engine and database test suites, cross-compiled with Debian's
# mingw-w64 and run under Wine; with Qt for Windows in its cache, also the
# window (korvel2tqf.exe, its DLLs beside it) and the controls and main
# window suites. Sourced by tools/test (and by a packaging script); needs
# tools/lib/common.sh and tools/lib/qt_windows.sh first.
#
#   WINDOWS_PACKAGES             the Debian packages all of this needs
#   WINDOWS_BUILD_PACKAGES       those the build alone needs
#   build_windows                configures and builds build-windows/ (bin/*.exe)
#   prepare_wine                 the ru_RU.UTF-8 locale and one Wine prefix in
#                                build-windows/wine-prefix, booted once, with its
#                                server kept up; exports WINEPREFIX and WINEDEBUG.
#                                Programs then run under LANG=ru_RU.UTF-8, where
#                                Wine's ANSI code page is 1251 as on the
#                                operators' machines (the caller's LANG stays).
#                                As root, a 16 MB tmpfs is Wine's drive S: and
#                                KORVEL_SMALL_DISK=S:\ lets the tests fill it
#   run_windows_suites           the suites under Wine through ctest, on the
#                                data sources of KORVEL_TEST_DSNS (tools/test's);
#                                the window's on a virtual display
#                                (tools/lib/windows_window.sh)
#   compare_windows_conversion   korvel2tqf-cli.exe and build/bin/korvel2tqf-cli
#                                convert tests/data/raw, a Cyrillic station and a
#                                Cyrillic file name among them; the output trees
#                                and the FILELIST rows must be identical to each
#                                other and to tests/data/expected
#   stop_wine                    ends the Wine server of the prefix and takes
#                                the small disk away
#   package_windows_zip [OUTDIR [VERSION]]
#                                brings build-windows/ up to date and makes
#                                OUTDIR/korvel2tqf-VERSION-windows-x86_64.zip
#                                (OUTDIR: build/package, beside the Debian
#                                package; VERSION: the project's) with the two
#                                programs (stripped), README-windows.txt and
#                                the licences;
#                                prints the zip's path and nothing else
#   check_windows_zip ZIP        unpacks ZIP into a folder of its own and runs its
#                                programs there under Wine: a raw file made and read

WINDOWS_BUILD_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64 googletest libcli11-dev)
WINDOWS_PACKAGES=("${WINDOWS_BUILD_PACKAGES[@]}" wine wine64 locales sqlite3 libsqliteodbc)
KORVEL_WINDOWS_BUILD="$KORVEL_ROOT/build-windows"

build_windows() {
  # The window and its suites too, once Qt for Windows is in its cache
  # (ensure_windows_qt, tools/lib/qt_windows.sh, builds it).
  if [ -f "$KORVEL_WINDOWS_QT/.built" ]; then
    configure_and_build windows -DKORVEL_WINDOWS_QT="$KORVEL_WINDOWS_QT"
  else
    configure_and_build windows-cli
  fi
}

# _korvel_wine LANG COMMAND...: COMMAND in Wine's environment, without a
# display (none is wanted) and with the locale that sets the ANSI code page.
_korvel_wine() {
  local lang="$1"
  shift
  env -u LC_ALL -u LC_CTYPE LANG="$lang" DISPLAY= "$@"
}

prepare_wine() {
  ensure_russian_locale
  export WINEPREFIX="$KORVEL_WINDOWS_BUILD/wine-prefix"
  export WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  # One server for every program that follows, instead of one per program;
  # it holds none of the caller's output open.
  _korvel_wine ru_RU.UTF-8 wineserver -p </dev/null >>"$KORVEL_WINDOWS_BUILD/wineserver.log" 2>&1
  # Booted here, so that Wine's own services start now with their output in
  # the log: started by the first test program, they would hold its output
  # pipe open and keep ctest waiting.
  local boot=()
  if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
    echo "==> a Wine prefix in $WINEPREFIX"
    boot=(--init)
  fi
  _korvel_wine ru_RU.UTF-8 wineboot "${boot[@]}" </dev/null >"$KORVEL_WINDOWS_BUILD/wineboot.log" 2>&1 \
    || { cat "$KORVEL_WINDOWS_BUILD/wineboot.log"; return 1; }
  _korvel_mount_small_disk
}

# A disk that the tests may fill (Windows has no /dev/full and no file size
# limit): a tmpfs of its own, seen by Wine as drive S:.
_korvel_mount_small_disk() {
  local disk="$KORVEL_WINDOWS_BUILD/small-disk"
  unset KORVEL_SMALL_DISK
  mkdir -p "$disk"
  if ! mountpoint -q "$disk" && ! mount -t tmpfs -o size=16m tmpfs "$disk" 2>/dev/null; then
    echo "    (no small disk: mounting a tmpfs needs root; the full-disk test is skipped)"
    return 0
  fi
  ln -sfn "$disk" "$WINEPREFIX/dosdevices/s:"
  export KORVEL_SMALL_DISK='S:\'
}

stop_wine() {
  if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then wineserver -k 2>/dev/null || true; fi
  if mountpoint -q "$KORVEL_WINDOWS_BUILD/small-disk" 2>/dev/null; then
    umount "$KORVEL_WINDOWS_BUILD/small-disk" 2>/dev/null || umount -l "$KORVEL_WINDOWS_BUILD/small-disk" || true
  fi
}

run_windows_suites() {
  if [ -f "$KORVEL_WINDOWS_BUILD/bin/korvel2tqf.exe" ] && declare -F _korvel_windows_display >/dev/null; then
    # The window's suites run in Windows' own platform, on a virtual display.
    _korvel_windows_display
    env -u LC_ALL -u LC_CTYPE LANG=ru_RU.UTF-8 ctest --test-dir "$KORVEL_WINDOWS_BUILD" \
      --output-on-failure -j "$JOBS"
  else
    _korvel_wine ru_RU.UTF-8 ctest --test-dir "$KORVEL_WINDOWS_BUILD" --output-on-failure -j "$JOBS"
  fi
}

# The Windows name of a path on this machine (Wine's drive Z: is /).
_korvel_wine_path() {
  local path="$1"
  echo "Z:${path//\//\\}"
}

# _korvel_rows DATABASE: the FILELIST rows as tests/data/expected/rows.tsv has them.
_korvel_rows() {
  echo -e "STA\tCH\tCPATH\tTBEGIN\tTQTY\tSPS\tCALIB\tCALPER\tGAIN\tDATATYPE\tFOFF\tCREATER"
  sqlite3 -separator $'\t' "$1" "SELECT STA, CH, CPATH, printf('%.6f', TBEGIN), printf('%.6f', TQTY),
    printf('%.6f', SPS), printf('%.7f', CALIB), printf('%.6f', CALPER), printf('%.0f', GAIN),
    printf('%.0f', DATATYPE), printf('%.0f', FOFF), CREATER FROM FILELIST" | LC_ALL=C sort
}

# _korvel_convert_reference NAME PROGRAM...: converts the reference raw files in
# $e2e/NAME (its own tqf.ini, an output root with a Cyrillic name and a space,
# and an SQLite catalogue), then verifies and mends the archive, lists the
# Cyrillic file's summary and adds its channels to SITECHAN by its full path;
# what each step printed is kept for comparison.
_korvel_convert_reference() {
  local name="$1"
  shift
  local dir="$e2e/$name"
  mkdir -p "$dir/Архив TQF" "$dir/сырые"
  cp "$KORVEL_ROOT/tests/data/raw/kir-a.raw" "$KORVEL_ROOT/tests/data/raw/kir-b.raw" "$dir/"
  cp "$KORVEL_ROOT/tests/data/raw/kir-cyrillic.raw" "$dir/сырые/КИР-данные.raw"
  local out="$dir/Архив TQF" raw="$dir/сырые/КИР-данные.raw"
  case "$name" in windows*) out="$(_korvel_wine_path "$out")" raw="$(_korvel_wine_path "$raw")" ;; esac
  printf '[DATA]\r\nDIR=%s\r\n' "$out" >"$dir/tqf.ini"
  {
    echo "[E2E_$name]"
    echo "Driver=SQLite3"
    echo "Database=$dir/catalogue.sqlite"
  } >>"$e2e/odbc.ini"
  local config="$dir"
  case "$name" in windows*) config="$(_korvel_wine_path "$dir")" ;; esac
  (
    cd "$dir"
    export TQF_CONFIG_DIR="$config"
    "$@" --dsn "E2E_$name" create-tables >/dev/null
    "$@" --dsn "E2E_$name" files --station KIR --channel KIR:Z --channel KIR:N-S kir-a.raw kir-b.raw
    "$@" --dsn "E2E_$name" files --station КИР --channel "КИР:SH Z" --channel КИР:Z \
      "сырые/КИР-данные.raw"
    "$@" info "сырые/КИР-данные.raw" | tr -d '\r' >info.txt
    "$@" --dsn "E2E_$name" verify --station KIR --station КИР | tr -d '\r' >verify.txt
    "$@" --dsn "E2E_$name" verify --fix --station KIR --station КИР | tr -d '\r' >>verify.txt
    "$@" --dsn "E2E_$name" add-channels "$raw" | tr -d '\r' >channels.txt
  ) >"$dir/run.log" 2>&1 || { cat "$dir/run.log"; echo "$name: the conversion failed" >&2; return 1; }
  if [ "$(cat "$dir/verify.txt")" != $'problems\t0\nproblems\t0\nfixed\t0' ]; then
    cat "$dir/verify.txt"
    echo "$name: verify finds the converted archive wrong" >&2
    return 1
  fi
  _korvel_rows "$dir/catalogue.sqlite" >"$dir/rows.tsv"
}

compare_windows_conversion() {
  local e2e="$KORVEL_WINDOWS_BUILD/e2e"
  rm -rf "$e2e"
  mkdir -p "$e2e"
  : >"$e2e/odbc.ini"
  local saved_odbcini="${ODBCINI:-}"
  export ODBCINI="$e2e/odbc.ini"
  local failed=0
  _korvel_convert_reference linux "$KORVEL_ROOT/build/bin/korvel2tqf-cli" || failed=1
  _korvel_convert_reference windows _korvel_wine ru_RU.UTF-8 wine \
    "$KORVEL_WINDOWS_BUILD/bin/korvel2tqf-cli.exe" || failed=1
  # The same again where the system's ANSI code page is not 1251: names must
  # reach the disk the same way.
  _korvel_convert_reference windows-1252 _korvel_wine C.UTF-8 wine \
    "$KORVEL_WINDOWS_BUILD/bin/korvel2tqf-cli.exe" || failed=1
  if [ -n "$saved_odbcini" ]; then export ODBCINI="$saved_odbcini"; else unset ODBCINI; fi
  ((failed == 0)) || return 1

  local name
  for name in linux windows windows-1252; do
    # The stations' lock files are no output.
    if ! diff -r -x .korvel2tqf.lock "$KORVEL_ROOT/tests/data/expected/tqf" "$e2e/$name/Архив TQF"; then
      echo "$name: the TQF files differ from tests/data/expected/tqf" >&2
      failed=1
    fi
    if ! diff "$KORVEL_ROOT/tests/data/expected/rows.tsv" "$e2e/$name/rows.tsv"; then
      echo "$name: the FILELIST rows differ from tests/data/expected/rows.tsv" >&2
      failed=1
    fi
  done
  for name in windows windows-1252; do
    if ! diff -r "$e2e/linux/Архив TQF" "$e2e/$name/Архив TQF" \
      || ! diff "$e2e/linux/rows.tsv" "$e2e/$name/rows.tsv" \
      || ! diff "$e2e/linux/info.txt" "$e2e/$name/info.txt" \
      || ! diff "$e2e/linux/channels.txt" "$e2e/$name/channels.txt"; then
      echo "$name: korvel2tqf-cli.exe's files, rows, summary or SITECHAN rows differ from the Linux build's" >&2
      failed=1
    fi
  done
  ((failed == 0)) || return 1
  echo "    korvel2tqf-cli.exe (ANSI code pages 1251 and 1252) and the Linux build gave the same" \
    "$(find "$e2e/linux/Архив TQF" -type f ! -name .korvel2tqf.lock | wc -l) files and" \
    "$(($(wc -l <"$e2e/linux/rows.tsv") - 1)) rows in a Cyrillic output root, verified, and the" \
    "same SITECHAN rows from a Cyrillic path"
}

package_windows_zip() {
  local outdir="${1:-$KORVEL_ROOT/build/package}"
  local version="${2:-$(sed -n 's/^project(korvel2tqf VERSION \([0-9.]*\).*/\1/p' "$KORVEL_ROOT/CMakeLists.txt")}"
  ensure_packages "${WINDOWS_BUILD_PACKAGES[@]}" >&2
  build_windows >&2 || return 1
  local name="korvel2tqf-$version-windows-x86_64"
  local stage="$KORVEL_WINDOWS_BUILD/package/$name"
  rm -rf "$stage"
  mkdir -p "$stage" "$outdir"
  local program
  for program in korvel2tqf-cli korvel-rawgen; do
    x86_64-w64-mingw32-strip -o "$stage/$program.exe" "$KORVEL_WINDOWS_BUILD/bin/$program.exe"
  done
  # CR LF line ends, as Notepad wants them.
  sed 's/$/\r/' "$KORVEL_ROOT/tools/lib/README-windows.txt" >"$stage/README-windows.txt"
  # The licences, as the installer has them (cmake/windows_licences.cmake).
  cp -r "$KORVEL_WINDOWS_BUILD/package-licences/." "$stage/"
  rm -f "$outdir/$name.zip"
  (cd "$stage/.." && cmake -E tar cf "$(cd "$outdir" && pwd)/$name.zip" --format=zip "$name")
  echo "$outdir/$name.zip"
}

check_windows_zip() {
  local zip="${1:?check_windows_zip needs a zip}"
  local dir="$KORVEL_WINDOWS_BUILD/zip-check"
  rm -rf "$dir"
  mkdir -p "$dir"
  (cd "$dir" && cmake -E tar xf "$zip") || return 1
  local folder
  folder="$(find "$dir" -mindepth 1 -maxdepth 1 -type d)"
  local needed
  for needed in README-windows.txt LICENSE.txt licenses/LGPL-3.0.txt licenses/GPL-3.0.txt \
      licenses/GCC-runtime-copyright.txt licenses/mingw-w64-copyright.txt; do
    if [ ! -s "$folder/$needed" ]; then
      echo "$zip holds no $needed" >&2
      return 1
    fi
  done
  if ! grep -q "GCC RUNTIME LIBRARY EXCEPTION" "$folder/licenses/GCC-runtime-copyright.txt"; then
    echo "$zip: licenses/GCC-runtime-copyright.txt has no runtime library exception" >&2
    return 1
  fi
  # Alone in a folder: nothing of ours beside the programs. The generator
  # prints the path with Windows' own separator, to be pasted as it is.
  local lines made
  made="$(cd "$folder" && _korvel_wine ru_RU.UTF-8 wine ./korvel-rawgen.exe --out . --station KIR \
    --channels Z,N-S --seconds 2 | tr -d '\r')" || true
  if [ "$made" != '.\KIR-20070301-000000.kor' ]; then
    echo "korvel-rawgen.exe of $zip printed '$made', not '.\KIR-20070301-000000.kor'" >&2
    return 1
  fi
  lines="$(cd "$folder" && _korvel_wine ru_RU.UTF-8 wine ./korvel2tqf-cli.exe info \
    KIR-20070301-000000.kor | grep -c "^KIR")" || true
  if [ "$lines" != 2 ]; then
    echo "the programs of $zip do not run alone under Wine" >&2
    return 1
  fi
  echo "    $(basename "$zip"): korvel-rawgen.exe and korvel2tqf-cli.exe run alone"
}
