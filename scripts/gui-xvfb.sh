#!/usr/bin/env bash
# Runs a program (or a test) on a virtual X display and saves a screenshot
# of the whole screen for a person to look at.
#
#   scripts/gui-xvfb.sh [--delay SECONDS] [--size WxH] [--wm] [--wait] [OUTPUT.png] -- PROGRAM [ARGS...]
#
# The program starts with DISPLAY set to the virtual display (and
# GUI_TEST_DISPLAY=1, so widget tests use it instead of the offscreen
# platform). After --delay seconds (default 3) the screen is saved to
# OUTPUT.png; a program still running then is stopped. The exit status is
# the program's when it ended on its own, else 0 once the picture exists.
# Needs xvfb and imagemagick (the project's install script brings both).
#
# --wm    runs openbox (with scripts/lib/openbox_rc.xml: no edge resistance,
#         no key bindings of its own) on the display before the program, so
#         windows get frames, stacking and moves as on a desktop; a missing
#         Xvfb, import or openbox then ends the script with 77 (skip).
# --wait  lets the program run to its end with no time limit; its exit
#         status is the script's, and the screen is saved when it ends (only
#         when OUTPUT.png is given).
set -euo pipefail

delay=3
size=1024x768
wm=0
wait_end=0
while (($#)); do
  case "$1" in
    --delay) delay="$2"; shift 2 ;;
    --size) size="$2"; shift 2 ;;
    --wm) wm=1; shift ;;
    --wait) wait_end=1; shift ;;
    --) shift; break ;;
    -*) echo "gui-xvfb.sh: unknown option $1" >&2; exit 2 ;;
    *) if [[ -z "${output:-}" ]]; then output="$1"; shift; else break; fi ;;
  esac
done
if [[ ( -z "${output:-}" && $wait_end -eq 0 ) || $# -eq 0 ]]; then
  echo "usage: scripts/gui-xvfb.sh [--delay SECONDS] [--size WxH] [--wm] [--wait] [OUTPUT.png] -- PROGRAM [ARGS...]" >&2
  exit 2
fi
tools=(Xvfb import)
((wm)) && tools+=(openbox)
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "gui-xvfb.sh: $tool is missing (install xvfb, imagemagick and openbox)" >&2
    ((wm)) && exit 77
    exit 2
  fi
done

# Xvfb picks a display number nobody uses and writes it to us (two runs
# side by side must never share one: each would draw into the other's).
display_file="$(mktemp)"
Xvfb -displayfd 3 -screen 0 "${size}x24" -dpi 96 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
program_pid=""
wm_pid=""
cleanup() {
  if [[ -n "$program_pid" ]] && kill -0 "$program_pid" 2>/dev/null; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  if [[ -n "$wm_pid" ]]; then
    kill "$wm_pid" 2>/dev/null || true
    wait "$wm_pid" 2>/dev/null || true
  fi
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  rm -f "$display_file"
}
trap cleanup EXIT

display=""
for _ in $(seq 1 200); do
  display="$(tr -dc '0-9' < "$display_file")"
  [[ -n "$display" && -e /tmp/.X11-unix/X$display ]] && break
  display=""
  sleep 0.05
done
if [[ -z "$display" ]]; then
  echo "gui-xvfb.sh: Xvfb did not start" >&2
  exit 1
fi

export DISPLAY=":$display"
export GUI_TEST_DISPLAY=1
if ((wm)); then
  rc="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/lib/openbox_rc.xml"
  openbox --config-file "$rc" >/dev/null 2>&1 &
  wm_pid=$!
  # The window manager is up once it has marked the root window.
  for _ in $(seq 1 100); do
    if command -v xprop >/dev/null; then
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    fi
    sleep 0.05
  done
fi
# On a real display Qt loads the D-Bus library, whose buffers live as long
# as the process; sanitizer builds are told so.
if [[ -z "${LSAN_OPTIONS:-}" ]]; then
  export LSAN_OPTIONS="suppressions=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/platform/gui/tests/lsan.supp:print_suppressions=0"
fi
export QT_QPA_PLATFORM=xcb
"$@" &
program_pid=$!

if ((wait_end)); then
  status=0
  wait "$program_pid" || status=$?
  program_pid=""
  if [[ -n "${output:-}" ]]; then
    mkdir -p "$(dirname "$output")"
    import -display ":$display" -window root "$output"
    echo "screenshot: $output"
  fi
  exit "$status"
fi

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
