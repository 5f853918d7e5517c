#!/usr/bin/env bash
# Runs a program (or a test) on a virtual X display and saves a screenshot
# of the whole screen for a person to look at.
#
#   scripts/gui-xvfb.sh [--delay SECONDS] [--size WxH] OUTPUT.png -- PROGRAM [ARGS...]
#
# The program starts with DISPLAY set to the virtual display (and
# GUI_TEST_DISPLAY=1, so widget tests use it instead of the offscreen
# platform). After --delay seconds (default 3) the screen is saved to
# OUTPUT.png; a program still running then is stopped. The exit status is
# the program's when it ended on its own, else 0 once the picture exists.
# Needs xvfb and imagemagick (the project's install script brings both).
set -euo pipefail

delay=3
size=1024x768
while (($#)); do
  case "$1" in
    --delay) delay="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --) shift; break ;;
    -*) echo "gui-xvfb.sh: unknown option $1" >&2; exit 2 ;;
    *) if [[ -z "${output:-}" ]]; then output="$1"; shift; else break; fi ;;
  esac
done
if [[ -z "${output:-}" || $# -eq 0 ]]; then
  echo "usage: scripts/gui-xvfb.sh [--delay SECONDS] [--size WxH] OUTPUT.png -- PROGRAM [ARGS...]" >&2
  exit 2
fi
for tool in Xvfb import; do
  if ! command -v "$tool" >/dev/null; then
    echo "gui-xvfb.sh: $tool is missing (install xvfb and imagemagick)" >&2
    exit 2
  fi
done

# A display number nobody uses.
display=99
while [[ -e /tmp/.X11-unix/X$display || -e /tmp/.X$display-lock ]]; do
  display=$((display + 1))
done

Xvfb ":$display" -screen 0 "${size}x24" -dpi 96 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
program_pid=""
cleanup() {
  if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

for _ in $(seq 1 100); do
  [[ -e /tmp/.X11-unix/X$display ]] && break
  sleep 0.05
done
if [[ ! -e /tmp/.X11-unix/X$display ]]; then
  echo "gui-xvfb.sh: Xvfb did not start on :$display" >&2
  exit 1
fi

export DISPLAY=":$display"
export GUI_TEST_DISPLAY=1
# On a real display Qt loads the D-Bus library, whose buffers live as long
# as the process; sanitizer builds are told so.
if [[ -z "${LSAN_OPTIONS:-}" ]]; then
  export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/platform/gui/tests/lsan.supp:print_suppressions=0"
fi
export QT_QPA_PLATFORM=xcb
"$@" &
program_pid=$!

# Wait for the delay, or less when the program ends first.
status=0
ended=0
deadline=$(( $(date +%s%N) + ${delay%.*} * 1000000000 ))
while (( $(date +%s%N) < deadline )); do
  if ! kill -0 "$program_pid" 2>/dev/null; then
    wait "$program_pid" || status=$?
    ended=1
    break
  fi
  sleep 0.1
done

mkdir -p "$(dirname "$output")"
import -display ":$display" -window root "$output"
echo "screenshot: $output"
if ((ended)); then
  program_pid=""
  exit "$status"
fi
exit 0
