#!/usr/bin/env bash
# korvel2tqf on a real X server, stopped part-way through a conversion:
# SIGTERM (what a logout sends) and SIGINT stop it without a question, settle
# the raw file in hand, and the window closes (exit status 143 or 130); Escape
# from the keyboard asks "Прервать конверсию?" and Return ("Да") stops it.
# Every time, every TQF file has its FILELIST row and every row its file
# (korvel2tqf-cli verify). Usage: stop_under_xvfb.sh BIN_DIR
set -euo pipefail
bin="$(cd "$1" && pwd)"
source "$(dirname "$0")/xvfb.sh"
require_xvfb_tools

start_test_xvfb 1024 768

# Waits up to $2 tenths of a second for the program to end; true when it did.
ended_within() {
  for _ in $(seq "$2"); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done
  ! kill -0 "$1" 2>/dev/null
}

raw_files=3000  # about 3 s of work for the window, stopped within the first hour
export ODBCINI="$work/odbc.ini" TQF_CONFIG_DIR="$work"
cd "$work"
mkdir raw tqf
"$bin/korvel-rawgen" --out raw --files "$raw_files" --seconds 60 >/dev/null
printf '[DATA]\nDIR=%s\n' "$work/tqf" >tqf.ini
first="$work/tqf/KIR/00/01032007-000000-Z.KIR"

verified() { "$bin/korvel2tqf-cli" verify --station KIR >/dev/null; }
fail=0
check() {  # $1: what; the rest: the command that must succeed
  local what="$1"; shift
  if "$@"; then echo "ok: $what"; else echo "FAIL: $what"; fail=1; fi
}

echo "--- SIGTERM to the idle window: it closes as the operator closes it"
printf '[SYSTEM]\nNSTA=1\n[STA0]\nNAME=KIR\n' >korvel2tqf.ini
"$bin/korvel2tqf-cli" init-catalogue --database "$work/catalogue.sqlite" >/dev/null 2>&1
"$bin/korvel2tqf" KIR >"$work/app.log" 2>&1 &
app_pid=$!
if wait_for_window KORVEL2TQF >/dev/null; then
  kill -TERM "$app_pid"
  check "the window closed within 10 s" ended_within "$app_pid" 100
  status=0; wait "$app_pid" || status=$?
  check "exit status 143 (was $status)" test "$status" -eq 143
  check "the time window was saved, as on a close" grep -q '^TIME=' korvel2tqf.ini
else
  echo "FAIL: no window"; cat app.log; fail=1
fi
app_pid=""

for stop in TERM INT Escape "Escape TERM"; do
  echo "--- stopped by ${stop} part-way"
  rm -rf tqf/* catalogue.sqlite* odbc.ini
  "$bin/korvel2tqf-cli" init-catalogue --database "$work/catalogue.sqlite" >/dev/null 2>&1
  "$bin/korvel2tqf-cli" add-channels "$(ls raw/* | head -n1)" >/dev/null 2>&1
  printf '[SYSTEM]\nNSTA=1\nTIME=00:00:00 01/03/2007\nTIMEQTY=99:00:00\n[STA0]\nNAME=KIR\n[KIR]\nDIR=%s\n' \
    "$work/raw" >korvel2tqf.ini
  "$bin/korvel2tqf" KIR >"$work/app.log" 2>&1 &
  app_pid=$!
  main="$(wait_for_window KORVEL2TQF)" || { echo "FAIL: no window"; cat app.log; fail=1; continue; }
  press "$main" Return  # "Конвертировать", the default button
  for _ in $(seq 1500); do [ -e "$first" ] && break; sleep 0.01; done
  if [ "$stop" = "Escape TERM" ]; then
    # A logout while the question is on show: no box waits for an answer.
    press "$main" Escape
    wait_for_window "KORVEL->TQF" >/dev/null || { echo "FAIL: Escape asked nothing"; fail=1; }
    kill -TERM "$app_pid"
    check "SIGTERM with the question on show ended the program within 10 s" \
      ended_within "$app_pid" 100
    expected_status=143
  elif [ "$stop" = Escape ]; then
    press "$main" Escape
    if question="$(wait_for_window "KORVEL->TQF")"; then
      press "$question" Return  # "Да"
      summary="$(wait_for_window "KORVEL->TQF" "$question")" && press "$summary" Return
      sleep 0.3
      press "$main" Escape
      check "the window closed after the stop" ended_within "$app_pid" 100
    else
      echo "FAIL: Escape asked nothing"; fail=1
    fi
    expected_status=0
  else
    # Held while the signal is sent, so that it lands amid the work whatever the speed.
    kill -STOP "$app_pid"; kill "-$stop" "$app_pid"; kill -CONT "$app_pid"
    # The raw file in hand and the catalogue's commit: well within 10 s.
    check "SIGTERM/SIGINT ended the program within 10 s" ended_within "$app_pid" 100
    expected_status=$([ "$stop" = TERM ] && echo 143 || echo 130)
    check "the summary went to standard error, not to a box" \
      grep -q "^KORVEL->TQF: Конверсия прервана, конвертировано" app.log
  fi
  if kill -0 "$app_pid" 2>/dev/null; then
    kill -9 "$app_pid"; wait "$app_pid" 2>/dev/null || true
  else
    status=0; wait "$app_pid" || status=$?
    check "exit status $expected_status (was $status)" test "$status" -eq "$expected_status"
  fi
  app_pid=""
  rows="$(sqlite3 catalogue.sqlite 'SELECT COUNT(*) FROM FILELIST')"
  check "stopped part-way: $rows rows, fewer than all $((raw_files * 3 / 60)) hours' files" \
    test "$rows" -gt 0 -a "$rows" -lt $((raw_files * 3 / 60))
  check "every file has its row and every row its file (verify)" verified
done
exit "$fail"
