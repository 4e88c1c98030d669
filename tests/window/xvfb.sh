# Sourced by the scripts that run on a virtual X server: start_xvfb W H starts
# Xvfb on a display it picks itself, exports DISPLAY, QT_QPA_PLATFORM and an
# XDG_RUNTIME_DIR below $work, and sets xvfb_pid for the caller's cleanup.
# Needs $work (a folder the caller removes). A test script calls
# start_test_xvfb W H instead: it makes $work, and on exit the program under
# test ($app_pid, if the script sets it), Xvfb and $work go. The windows are
# found and keys pressed with xdotool.

# Skips the calling test (exit 77) when Xvfb or xdotool is missing; fails it
# instead under CI, or when $1 (checks already failed) is not 0.
require_xvfb_tools() {
  local tool
  for tool in Xvfb xdotool; do
    if ! command -v "$tool" >/dev/null; then
      echo "*** $tool is missing: install xvfb and xdotool ***"
      [ "${CI:-}" = true ] && exit 1
      [ "${1:-0}" -ne 0 ] && exit 1
      exit 77  # skipped
    fi
  done
}

start_xvfb() {
  # The server picks a free display and writes its number once it accepts clients.
  # -noreset: by default the server resets whenever its last client leaves (each
  # xdotool call), and a program connecting just then is refused.
  Xvfb -displayfd 3 -noreset -screen 0 "$1x$2x24" -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
}

# Ids of the shown top-level windows titled exactly $1 (xdotool's own name
# match ignores case, and two of the titles differ only in case).
window_ids() {
  local id
  for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
    [ "$(xdotool getwindowname "$id" 2>/dev/null)" = "$1" ] && echo "$id"
  done
  return 0
}
# Waits up to 15 s for a window titled $1 other than those listed in $2, and
# prints its id.
wait_for_window() {
  local id
  for _ in $(seq 150); do
    for id in $(window_ids "$1"); do
      [[ " ${2:-} " == *" $id "* ]] || { echo "$id"; return 0; }
    done
    sleep 0.1
  done
  return 1
}
# Gives window $1 (an id, or the first window of that title) the keyboard
# focus and presses key $2 there (no window manager runs, so focus is given
# directly).
press() {
  local id="$1"
  [[ "$id" =~ ^[0-9]+$ ]] || id="$(window_ids "$1" | head -n1)"
  xdotool windowfocus --sync "$id" key "$2"
}

_cleanup_test_xvfb() {
  [ -n "$app_pid" ] && kill -9 "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
  return 0
}
start_test_xvfb() {
  work="$(mktemp -d)" xvfb_pid="" app_pid=""
  trap _cleanup_test_xvfb EXIT
  start_xvfb "$@"
}
