#!/usr/bin/env bash
# korvel2tqf on a real X server: against a working catalogue the main window
# appears; against an unknown data source only the connection message does,
# and once it is answered the program ends without ever opening the window.
# --version and --help are answered before any of that, with no display.
# Usage: start_under_xvfb.sh BIN_DIR
set -euo pipefail
bin="$(cd "$1" && pwd)"

fail=0
echo "--- --version and --help: printed without a display, a catalogue or a window"
no_display=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM)
cli_version="$("$bin/korvel2tqf-cli" --version)"
window_version="$("${no_display[@]}" "$bin/korvel2tqf" KIR --version ODBC=NO_SUCH_SOURCE)"
if [ "$window_version" = "korvel2tqf ${cli_version#korvel2tqf-cli }" ]; then echo "ok: $window_version"
else echo "FAIL: korvel2tqf --version printed '$window_version' (korvel2tqf-cli: '$cli_version')"; fail=1; fi
help="$("${no_display[@]}" "$bin/korvel2tqf" --help)"
if [ "${help%%$'\n'*}" = "Usage: korvel2tqf [ODBC=dsn] [USER=user] [PASSWORD=password] [CHKDB] [STATION]" ]; then
  echo "ok: --help prints the usage"
else echo "FAIL: korvel2tqf --help"; fail=1; fi
for tool in Xvfb xdotool; do
  if ! command -v "$tool" >/dev/null; then
    echo "*** $tool is missing: install xvfb and xdotool ***"
    [ "${CI:-}" = true ] && exit 1
    [ "$fail" -ne 0 ] && exit 1
    exit 77  # skipped
  fi
done

work="$(mktemp -d)"
xvfb_pid=""
app_pid=""
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/xvfb.sh"
start_xvfb 1024 768

# Ids of the shown top-level windows titled exactly $1 (xdotool's own name
# match ignores case, and the two titles differ only in case).
window_ids() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
  return 0
}
# Waits up to 15 s for a window titled $1.
wait_for_window() {
  for _ in $(seq 150); do
    [ -n "$(window_ids "$1")" ] && return 0
    sleep 0.1
  done
  return 1
}
windows_named() { window_ids "$1" | wc -l; }
# Gives the window titled $1 the keyboard focus and presses key $2 there (no
# window manager runs, so focus is given directly).
press() {
  xdotool windowfocus --sync "$(window_ids "$1" | head -n1)" key "$2"
}

# The embedded catalogue with one station's channels.
export ODBCINI="$work/odbc.ini" TQF_CONFIG_DIR="$work"
cd "$work"
"$bin/korvel2tqf-cli" init-catalogue --database "$work/catalogue.sqlite" >/dev/null
printf '[DATA]\nDIR=%s\n' "$work" >tqf.ini
printf '[SYSTEM]\nNSTA=1\n[STA0]\nNAME=KIR\n' >korvel2tqf.ini

echo "--- a working catalogue: the window opens"
"$bin/korvel2tqf" KIR >"$work/app1.log" 2>&1 &
app_pid=$!
if wait_for_window KORVEL2TQF; then
  echo "ok: the window KORVEL2TQF is shown"
  # Escape is the operator's way out of the dialog: it saves the time window.
  press KORVEL2TQF Escape
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then echo "FAIL: closing the window did not end the program"; fail=1; fi
  if grep -q '^TIME=00:00:00 01/01/2007' korvel2tqf.ini; then echo "ok: closing saved the time window"
  else echo "FAIL: korvel2tqf.ini lacks the saved TIME"; cat korvel2tqf.ini; fail=1; fi
else
  echo "FAIL: no window KORVEL2TQF within 15 s"; cat "$work/app1.log"; fail=1
fi
kill "$app_pid" 2>/dev/null || true
wait "$app_pid" 2>/dev/null || true
app_pid=""

echo "--- an unknown data source: the message, then the end, no window"
"$bin/korvel2tqf" ODBC=NO_SUCH_SOURCE >"$work/app2.log" 2>&1 &
app_pid=$!
if wait_for_window korvel2tqf; then
  echo "ok: the connection message box is shown"
  if [ "$(windows_named KORVEL2TQF)" -ne 0 ]; then echo "FAIL: the main window is open as well"; fail=1; fi
  press korvel2tqf Return
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  if kill -0 "$app_pid" 2>/dev/null; then echo "FAIL: the program did not end after the message"; fail=1
  else
    status=0; wait "$app_pid" || status=$?
    if [ "$status" -eq 3 ]; then echo "ok: the program ended (status 3) without opening the window"
    else echo "FAIL: the program ended with status $status, not 3"; fail=1; fi
  fi
else
  echo "FAIL: no message box within 15 s"; cat "$work/app2.log"; fail=1
fi
app_pid=""
if [ "$fail" -ne 0 ]; then
  echo "--- the X server's log"
  cat "$work/xvfb.log"
  kill -0 "$xvfb_pid" 2>/dev/null || echo "(the X server is no longer running)"
fi
exit "$fail"
