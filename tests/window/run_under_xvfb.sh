#!/usr/bin/env bash
# Runs a widget test program on a real X server (Xvfb) instead of the
# offscreen platform: the keyboard bindings, palette and events are then the
# ones an operator's X11 desktop gives. Usage: run_under_xvfb.sh PROGRAM [ARGS...]
set -euo pipefail
if ! command -v Xvfb >/dev/null; then
  echo "*** Xvfb is missing: install xvfb ***"
  [ "${CI:-}" = true ] && exit 1
  exit 77  # skipped
fi
work="$(mktemp -d)"
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# The server picks a free display and writes its number once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
[ -s "$work/display" ] || { echo "Xvfb did not start:"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"
"$@"
