# The Windows window (korvel2tqf.exe, Qt built by tools/lib/qt_windows.sh)
# under Wine on a virtual X server. Sourced by tools/test after
# tools/lib/windows_build.sh, once build-windows/ is built and Wine prepared.
#
#   WINDOWS_WINDOW_PACKAGES      what this needs beyond the Windows build's
#   picture_windows_window       the main dialog, the file dialog with a waveform
#                                and the coverage dialog in Wine's own look, as
#                                build-windows/screenshots/look-*-windows.png
#   convert_through_windows_window
#                                a Cyrillic station converted by the window's
#                                "Конвертировать" under Wine, on the embedded
#                                catalogue through Wine's ODBC; its files and
#                                rows must equal korvel2tqf-cli's on Linux
#   check_windows_installer      makes korvel2tqf-VERSION-win64.exe (CPack,
#                                NSIS), installs it silently under Wine, starts
#                                the installed window from the Start-menu
#                                entry's folder, follows README-windows'
#                                commands in its command prompt, then
#                                uninstalls it
#   stop_windows_display         ends the virtual X server

WINDOWS_WINDOW_PACKAGES=(xvfb xdotool nsis qt6-translations-l10n fonts-wine)

# One virtual X server for all of this, with its files in build-windows/.
_korvel_windows_display() {
  [ -n "${_korvel_xvfb_pid:-}" ] && kill -0 "$_korvel_xvfb_pid" 2>/dev/null && return 0
  local work="$KORVEL_WINDOWS_BUILD/display"
  rm -rf "$work" && mkdir -p "$work"
  source "$KORVEL_ROOT/tests/window/xvfb.sh"
  start_xvfb 1280 1024
  _korvel_xvfb_pid=$xvfb_pid
  unset QT_QPA_PLATFORM  # the Windows build's own platform, qwindows
  # Wine's desktop, started by wineboot without a display, may live on in the
  # kept server and hold every later window on its null driver, where a
  # window never hides: a new server, booted again on this display (its
  # services' output in the log, as prepare_wine has it).
  if [ -n "${WINEPREFIX:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    env -u LC_ALL -u LC_CTYPE LANG=ru_RU.UTF-8 wineserver -p </dev/null \
      >>"$KORVEL_WINDOWS_BUILD/wineserver.log" 2>&1
    env -u LC_ALL -u LC_CTYPE LANG=ru_RU.UTF-8 wineboot </dev/null \
      >>"$KORVEL_WINDOWS_BUILD/wineboot.log" 2>&1
  fi
}

stop_windows_display() {
  [ -n "${_korvel_xvfb_pid:-}" ] && kill "$_korvel_xvfb_pid" 2>/dev/null
  _korvel_xvfb_pid=""
  return 0
}

# COMMAND... under Wine with the Russian locale, on the virtual display.
_korvel_wine_shown() {
  env -u LC_ALL -u LC_CTYPE -u QT_QPA_PLATFORM LANG=ru_RU.UTF-8 "$@"
}

# Ids of the shown windows titled exactly $1; waits up to $2 seconds (15)
# for one. xdotool's own match ignores case and takes part of a name.
_korvel_window_id() {
  local id tries=$((${2:-15} * 10))
  for _ in $(seq "$tries"); do
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
      if [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ]; then
        echo "$id"
        return 0
      fi
    done
    sleep 0.1
  done
  return 1
}

# Gives the window titled $1 the keyboard and presses key $2 there.
_korvel_press() {
  local id
  id="$(_korvel_window_id "$1")" || { echo "no window titled '$1'" >&2; return 1; }
  xdotool windowactivate --sync "$id" 2>/dev/null || xdotool windowfocus --sync "$id"
  sleep 0.3
  xdotool key --clearmodifiers "$2"
}

# Waits up to $2 seconds for process $1 to end; its exit status, or 124.
_korvel_wait_pid() {
  for _ in $(seq $((${2:-30} * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then
      wait "$1"
      return $?
    fi
    sleep 0.1
  done
  kill "$1" 2>/dev/null
  return 124
}

picture_windows_window() {
  _korvel_windows_display
  local log="$KORVEL_WINDOWS_BUILD/screenshots.log"
  rm -f "$KORVEL_WINDOWS_BUILD"/screenshots/look-*-windows.png
  if ! (cd "$KORVEL_WINDOWS_BUILD" && _korvel_wine_shown KORVEL_TEST_DSNS=TQF_SQLITE \
      KORVEL_BIN_DIR="$KORVEL_WINDOWS_BUILD/bin" \
      wine bin/mainwindow_tests.exe '--gtest_filter=*EveryWindowFitsTheScreen*') >"$log" 2>&1; then
    tail -40 "$log"
    echo "the window's pictures under Wine failed (the whole log: $log)" >&2
    return 1
  fi
  local shots
  shots="$(find "$KORVEL_WINDOWS_BUILD/screenshots" -name 'look-*-windows.png' | wc -l)"
  if [ "$shots" -ne 3 ]; then
    echo "the window's pictures under Wine: $shots of 3 were saved" >&2
    return 1
  fi
  echo "    the main, file and coverage dialogs pictured under Wine in build-windows/screenshots"
}

# _korvel_window_setup DIR: a Cyrillic station's raw file, tqf.ini,
# korvel2tqf.ini and an embedded catalogue with its SITECHAN rows in DIR;
# the data source E2E_<basename of DIR> in $ODBCINI. Windows paths when $2
# is "windows".
_korvel_window_setup() {
  local dir="$1" side="$2" name
  name="$(basename "$dir")"
  rm -rf "$dir" && mkdir -p "$dir/Архив TQF" "$dir/сырые"
  cp "$KORVEL_ROOT/tests/data/raw/kir-cyrillic.raw" "$dir/сырые/КИР-данные.raw"
  local out="$dir/Архив TQF" raw="$dir/сырые"
  [ "$side" = windows ] && out="$(_korvel_wine_path "$out")" raw="$(_korvel_wine_path "$raw")"
  printf '[DATA]\r\nDIR=%s\r\n' "$out" >"$dir/tqf.ini"
  printf '[SYSTEM]\r\nNSTA=1\r\nTIME=23:59:00 07/03/2007\r\nTIMEQTY=00:05:00\r\n[STA0]\r\nNAME=КИР\r\n[КИР]\r\nDIR=%s\r\n' \
    "$raw" >"$dir/korvel2tqf.ini"
  printf '[E2E_%s]\nDriver=SQLite3\nDatabase=%s\n' "$name" "$dir/catalogue.sqlite" >>"$ODBCINI"
  "$KORVEL_ROOT/build/bin/korvel2tqf-cli" --dsn "E2E_$name" create-tables >/dev/null \
    && "$KORVEL_ROOT/build/bin/korvel2tqf-cli" --dsn "E2E_$name" add-channels "$dir/сырые/КИР-данные.raw" >/dev/null 2>&1
}

convert_through_windows_window() {
  _korvel_windows_display
  local e2e="$KORVEL_WINDOWS_BUILD/e2e-window"
  rm -rf "$e2e" && mkdir -p "$e2e"
  local saved_odbcini="${ODBCINI:-}" failed=0
  export ODBCINI="$e2e/odbc.ini"
  : >"$ODBCINI"
  _korvel_window_setup "$e2e/linux" linux && _korvel_window_setup "$e2e/windows" windows || failed=1
  if ((failed == 0)); then
    (cd "$e2e/linux" && TQF_CONFIG_DIR="$e2e/linux" "$KORVEL_ROOT/build/bin/korvel2tqf-cli" \
      --dsn E2E_linux convert --station КИР) >"$e2e/linux.log" 2>&1 || failed=1
    # The window, started as an operator would with a station to preselect;
    # "Конвертировать" is the default button, so Enter converts.
    (cd "$e2e/windows" && TQF_CONFIG_DIR="$(_korvel_wine_path "$e2e/windows")" \
      _korvel_wine_shown wine "$KORVEL_WINDOWS_BUILD/bin/korvel2tqf.exe" ODBC=E2E_windows КИР) \
      >"$e2e/windows.log" 2>&1 &
    local app=$!
    if _korvel_window_id KORVEL2TQF 60 >/dev/null && _korvel_press KORVEL2TQF Return \
        && _korvel_window_id "KORVEL->TQF" 60 >/dev/null; then
      _korvel_press "KORVEL->TQF" Return
      sleep 1
      _korvel_press KORVEL2TQF Escape
    else
      echo "the window under Wine did not show itself, or no conversion message came" >&2
      failed=1
    fi
    _korvel_wait_pid "$app" 30 || { echo "the window under Wine did not end cleanly" >&2; failed=1; }
  fi
  if [ -n "$saved_odbcini" ]; then export ODBCINI="$saved_odbcini"; else unset ODBCINI; fi
  if ((failed == 0)); then
    _korvel_rows "$e2e/linux/catalogue.sqlite" >"$e2e/linux/rows.tsv"
    _korvel_rows "$e2e/windows/catalogue.sqlite" >"$e2e/windows/rows.tsv"
    local files
    files="$(find "$e2e/linux/Архив TQF" -type f ! -name .korvel2tqf.lock | wc -l)"
    if [ "$files" -eq 0 ] || ! diff -r "$e2e/linux/Архив TQF" "$e2e/windows/Архив TQF" \
        || ! diff "$e2e/linux/rows.tsv" "$e2e/windows/rows.tsv"; then
      echo "the window under Wine wrote other files or rows than korvel2tqf-cli on Linux" >&2
      failed=1
    fi
  fi
  if ((failed != 0)); then
    cat "$e2e/linux.log" "$e2e/windows.log" 2>/dev/null | tail -20
    return 1
  fi
  echo "    the window under Wine converted station КИР through Wine's ODBC: $files files and" \
    "$(($(wc -l <"$e2e/windows/rows.tsv") - 1)) rows, the same as korvel2tqf-cli's on Linux"
}

# README-windows' own commands, in its order, as the operator types them in
# "Командная строка korvel2tqf" (cmd.exe in the working folder $1, the
# program's folder put first on PATH as the entry does), on a server data
# source (E2E_installed, in $ODBCINI): the tables, tqf.ini, korvel2tqf.ini,
# sample raw files, add-channels with a wildcard, a conversion and verify.
_korvel_windows_guide() {
  local folder="$1" guide="$KORVEL_WINDOWS_BUILD/guide"
  rm -rf "$guide" "$KORVEL_WINDOWS_BUILD/installed.sqlite"
  mkdir -p "$guide/raw/KIR" "$guide/tqf"
  local g
  g="$(_korvel_wine_path "$guide")"
  printf '[DATA]\r\nDIR=%s\\tqf\r\n[DATABASE]\r\nODBC=E2E_installed\r\n' "$g" >"$guide/tqf.ini"
  printf '[SYSTEM]\r\nNSTA=1\r\n[STA0]\r\nNAME=KIR\r\n[KIR]\r\nDIR=%s\\raw\\KIR\r\n' "$g" \
    >"$folder/korvel2tqf.ini"
  local steps=(
    "korvel2tqf-cli.exe --dsn E2E_installed create-tables"
    "korvel-rawgen.exe --out $g\\raw\\KIR --station KIR --files 2"
    "korvel2tqf-cli.exe add-channels $g\\raw\\KIR\\*"
    "korvel2tqf-cli.exe convert --station KIR --all-times"
    "korvel2tqf-cli.exe verify"
  ) step log="$KORVEL_WINDOWS_BUILD/guide.log"
  : >"$log"
  for step in "${steps[@]}"; do
    echo "> $step" >>"$log"
    if ! (cd "$folder" && TQF_CONFIG_DIR="$g" _korvel_wine ru_RU.UTF-8 wine cmd.exe /c \
        "set PATH=C:\\Program Files\\korvel2tqf;%PATH%&& $step") >>"$log" 2>&1; then
      echo "README-windows' step failed under Wine: $step" >&2
      tail -20 "$log" >&2
      return 1
    fi
  done
  local added
  added="$(grep -c "^KIR	" "$log")" || true
  if [ "$added" != 3 ] || [ "$(find "$guide/tqf" -type f | wc -l)" -lt 3 ]; then
    echo "README-windows' steps added $added channels and converted too little (see $log)" >&2
    return 1
  fi
  echo "    README-windows' commands: the tables, sample files, add-channels with *, convert, verify"
}

check_windows_installer() {
  _korvel_windows_display
  (cd "$KORVEL_WINDOWS_BUILD" && cpack -G NSIS >"$KORVEL_WINDOWS_BUILD/cpack.log" 2>&1) \
    || { tail -30 "$KORVEL_WINDOWS_BUILD/cpack.log"; echo "cpack -G NSIS failed" >&2; return 1; }
  local installer
  installer="$(find "$KORVEL_WINDOWS_BUILD" -maxdepth 1 -name 'korvel2tqf-*-win64.exe' | head -n 1)"
  [ -n "$installer" ] || { echo "cpack made no korvel2tqf-*-win64.exe" >&2; return 1; }
  local c="$WINEPREFIX/drive_c"
  local program="$c/Program Files/korvel2tqf"
  local menu="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/korvel2tqf"
  local folder="$c/users/Public/Documents/korvel2tqf"
  local failed=0 item
  chmod +x "$installer"
  _korvel_wine_shown wine "$installer" /S >"$KORVEL_WINDOWS_BUILD/install.log" 2>&1 \
    || { echo "the installer failed under Wine" >&2; return 1; }
  for item in "$program/korvel2tqf.exe" "$program/korvel2tqf-cli.exe" "$program/korvel-rawgen.exe" \
    "$program/Qt6Widgets.dll" \
    "$program/platforms/qwindows.dll" "$program/styles/qwindowsvistastyle.dll" \
    "$program/translations/qtbase_ru.qm" "$program/LICENSE.txt" "$program/licenses/LGPL-3.0.txt" \
    "$program/licenses/GPL-3.0.txt" "$program/licenses/Qt6-copyright.txt" \
    "$program/licenses/GCC-runtime-copyright.txt" "$program/licenses/mingw-w64-copyright.txt" \
    "$program/Uninstall.exe" "$menu/korvel2tqf.lnk" \
    "$menu/Удалить korvel2tqf.lnk" "$menu/Командная строка korvel2tqf.lnk" "$folder"; do
    [ -e "$item" ] || { echo "not installed: ${item#"$c/"}" >&2; failed=1; }
  done
  [ -e "$menu/Uninstall.lnk" ] && { echo "the uninstaller's menu entry is not in Russian" >&2; failed=1; }
  ((failed == 0)) || return 1

  # The installed window, in the entry's working folder, on a catalogue.
  local saved_odbcini="${ODBCINI:-}"
  export ODBCINI="$KORVEL_WINDOWS_BUILD/installed.odbc.ini"
  printf '[E2E_installed]\nDriver=SQLite3\nDatabase=%s\n' "$KORVEL_WINDOWS_BUILD/installed.sqlite" >"$ODBCINI"
  rm -f "$KORVEL_WINDOWS_BUILD/installed.sqlite"
  "$KORVEL_ROOT/build/bin/korvel2tqf-cli" --dsn E2E_installed create-tables >/dev/null || failed=1
  printf '[DATA]\r\nDIR=C:\\\r\n' >"$KORVEL_WINDOWS_BUILD/tqf.ini"
  printf '[SYSTEM]\r\nNSTA=1\r\n[STA0]\r\nNAME=KIR\r\n' >"$folder/korvel2tqf.ini"
  (cd "$folder" && TQF_CONFIG_DIR="$(_korvel_wine_path "$KORVEL_WINDOWS_BUILD")" \
    _korvel_wine_shown wine 'C:\Program Files\korvel2tqf\korvel2tqf.exe' ODBC=E2E_installed) \
    >"$KORVEL_WINDOWS_BUILD/installed.log" 2>&1 &
  local app=$!
  if _korvel_window_id KORVEL2TQF 60 >/dev/null; then
    _korvel_press KORVEL2TQF Escape
    _korvel_wait_pid "$app" 30 || { echo "the installed window did not end" >&2; failed=1; }
    grep -q '^TIME=' "$folder/korvel2tqf.ini" \
      || { echo "the installed window saved no time window in its working folder" >&2; failed=1; }
  else
    echo "the installed window did not show itself under Wine" >&2
    tail -20 "$KORVEL_WINDOWS_BUILD/installed.log"
    kill "$app" 2>/dev/null
    failed=1
  fi
  _korvel_windows_guide "$folder" || failed=1
  if [ -n "$saved_odbcini" ]; then export ODBCINI="$saved_odbcini"; else unset ODBCINI; fi

  # The uninstaller copies itself away and goes on alone: wait for it.
  _korvel_wine_shown wine 'C:\Program Files\korvel2tqf\Uninstall.exe' /S \
    >"$KORVEL_WINDOWS_BUILD/uninstall.log" 2>&1 || failed=1
  # It removes the program before the menu entry: wait for every one of them.
  local items=("$program/korvel2tqf.exe" "$program/Qt6Widgets.dll" "$menu/korvel2tqf.lnk"
    "$menu/Удалить korvel2tqf.lnk" "$menu/Командная строка korvel2tqf.lnk") left
  for _ in $(seq 300); do
    left=0
    for item in "${items[@]}"; do [ -e "$item" ] && left=1; done
    ((left)) || break
    sleep 0.1
  done
  for item in "${items[@]}"; do
    [ -e "$item" ] && { echo "left after uninstalling: ${item#"$c/"}" >&2; failed=1; }
  done
  [ -f "$folder/korvel2tqf.ini" ] \
    || { echo "uninstalling took the operator's korvel2tqf.ini" >&2; failed=1; }
  ((failed == 0)) || return 1
  echo "    $(basename "$installer") installed, started and uninstalled under Wine" \
    "($(du -k "$installer" | cut -f1) KB)"
}
