#!/usr/bin/env bash
# Screenshots of the tool tips as a user sees them: the demo program on a
# virtual X server with a window manager, a real pointer resting on the
# Download command (docs/tooltip-toolbar.png) and, after a download by mouse,
# on the lit rhythm finding of the opened recording (docs/tooltip-finding.png).
# Needs xvfb, openbox, xdotool and imagemagick (scripts/setup-deps.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/bin/ecg-manager}
out=${2:-docs}
work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & pids+=($!)
export DISPLAY=$display
sleep 1
openbox >/dev/null 2>&1 & pids+=($!)
sleep 1
HOME=$work XDG_RUNTIME_DIR=$work "$program" --demo --language 1033 >/dev/null 2>&1 & pids+=($!)
sleep 5

window=$(xdotool search --sync --onlyvisible --name "Talmon ECG Manager" | tail -1)
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the window
wx=$X wy=$Y

# Rests the pointer on the window point (x, y) until the tip shows, then shoots
# the window's surroundings into $3.
rest_and_shoot() {
  xdotool mousemove $((wx + $1)) $((wy + $2))
  sleep 0.3
  xdotool mousemove $((wx + $1 + 1)) $((wy + $2 + 1))
  sleep 2.5
  import -window root -crop 1125x760+$((wx - 50))+$((wy - 50)) "$3"
}

rest_and_shoot 810 622 "$out/tooltip-toolbar.png"

# Download by mouse: the Download command, then the dialog's Download button.
xdotool mousemove $((wx + 810)) $((wy + 622)) click 1
sleep 2
dialog=$(xdotool search --onlyvisible --class ecg | grep -v "^$window$" | tail -1)
eval "$(xdotool getwindowgeometry --shell "$dialog")"
xdotool mousemove $((X + 300)) $((Y + 310)) click 1
sleep 12
xdotool key Return  # "Download complete."
sleep 4
rest_and_shoot 566 617 "$out/tooltip-finding.png"
