#!/usr/bin/env bash
# Runs a widget test program on a real X server (Xvfb) instead of the
# offscreen platform: the keyboard bindings, palette and events are then the
# ones an operator's X11 desktop gives. Usage: run_under_xvfb.sh PROGRAM [ARGS...]
set -euo pipefail
source "$(dirname "$0")/xvfb.sh"
if ! command -v Xvfb >/dev/null; then
  echo "*** Xvfb is missing: install xvfb ***"
  [ "${CI:-}" = true ] && exit 1
  exit 77  # skipped
fi
# KORVEL_XVFB_SCREEN="W H": a smaller screen, as a netbook has.
# shellcheck disable=SC2086
start_test_xvfb ${KORVEL_XVFB_SCREEN:-1280 1024}
"$@"
