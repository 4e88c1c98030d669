# Sourced by the scripts that run on a virtual X server: start_xvfb W H starts
# Xvfb on a display it picks itself, exports DISPLAY, QT_QPA_PLATFORM and an
# XDG_RUNTIME_DIR below $work, and sets xvfb_pid for the caller's cleanup.
# Needs $work (a folder the caller removes).
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
