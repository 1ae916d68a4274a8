#!/usr/bin/env bash
# Takes the newcomer's journeys through the demo as screenshots, one per journey
# and language, into docs/journeys/ (JOURNEY-LANGUAGE.png, cropped to the main
# window). Each language runs on its own virtual X server with a window manager,
# with its own home folder, so the demo starts from an empty library every time.
#
# Builds nothing: run it after `cmake --build build`. Unattended; about two
# minutes per language. What each picture shows: README.md here.
#
#   docs/journeys/take-screenshots.sh [LANGUAGE_ID...]     (default: 1033 1031 1028)
#
# Environment: MANAGER (default build/bin/ecg-manager), OUT (default docs/journeys),
# KEEP=1 keeps the temporary home folders and logs.
#
# Needs these Debian packages, for the documentation only (CI does not run it):
#   xvfb openbox xdotool imagemagick x11-utils
set -euo pipefail
cd "$(dirname "$0")/../.."

manager=${MANAGER:-build/bin/ecg-manager}
out=${OUT:-docs/journeys}
languages=("$@")
[ ${#languages[@]} -gt 0 ] || languages=(1033 1031 1028)

for tool in Xvfb openbox xdotool import convert compare xwininfo xprop; do
  command -v "$tool" >/dev/null || { echo "take-screenshots: $tool is missing (see the header)" >&2; exit 2; }
done
[ -x "$manager" ] || { echo "take-screenshots: $manager is not built" >&2; exit 2; }
mkdir -p "$out"

# The locale a desktop in that language would have: the language journey starts
# without --language and lets the program take the desktop's.
declare -A desktop_locale=([1033]=en_US.UTF-8 [1031]=de_DE.UTF-8 [1028]=zh_TW.UTF-8)

started=()   # processes this script started, ended on exit
work=""
cleanup() {
  local pid
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${started[@]}"; do wait "$pid" 2>/dev/null || true; done
  started=()
  if [ -n "$work" ] && [ "${KEEP:-0}" != 1 ]; then rm -rf "$work"; fi
}
trap cleanup EXIT

fail() { echo "take-screenshots: $*" >&2; exit 1; }

# wait_until TIMEOUT_S COMMAND...: polls until the command succeeds.
wait_until() {
  local limit=$(( $(date +%s%N) / 1000000 + $1 * 1000 )); shift
  until "$@" 2>/dev/null; do
    [ $(( $(date +%s%N) / 1000000 )) -lt "$limit" ] || return 1
    sleep 0.1
  done
}

start_display() {
  local fd_file="$work/display"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fd_file" >"$work/xvfb.log" 2>&1 &
  started+=($!)
  wait_until 10 test -s "$fd_file" || fail "Xvfb did not start"
  export DISPLAY=":$(head -1 "$fd_file")"
  openbox >"$work/openbox.log" 2>&1 &
  started+=($!)
  wait_until 10 sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q window' || fail "openbox did not start"
}

# The main window: the program's 1025 x 660 window.
main_window() {
  local w
  for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    xwininfo -id "$w" 2>/dev/null | grep -q "Width: 1025" && xwininfo -id "$w" 2>/dev/null | grep -q "Height: 660" && { echo "$w"; return 0; }
  done
  return 1
}

# start_manager ARGS...: starts the program and waits for its main window.
start_manager() {
  "$manager" "$@" >>"$work/manager.log" 2>&1 &
  app=$!
  started+=($app)
  wait_until 20 main_window >/dev/null || fail "no main window (see $work/manager.log)"
  win=$(main_window)
  read -r wx wy < <(corner "$win")
  sleep 1.5  # the welcome window goes away
}

# gone PID: the process has ended (a child not yet waited for counts as ended).
gone() { local st; st=$(ps -o stat= -p "$1" 2>/dev/null) || return 0; [[ $st == Z* ]]; }

# stop_manager: the program closes on SIGTERM, but not while a modal window it
# waits on is still open; then it is killed after a few seconds.
stop_manager() {
  kill "$app" 2>/dev/null || true
  wait_until 8 gone "$app" || kill -9 "$app" 2>/dev/null || true
  wait "$app" 2>/dev/null || true
}

active() { xdotool getactivewindow; }
# wait_active_not ID...: waits for a window other than these to become the active one, and says which.
is_active_other() {
  local now id
  now=$(xdotool getactivewindow) || return 1
  for id in "$@"; do [ "$now" != "$id" ] || return 1; done
}
wait_active_not() {
  wait_until 15 is_active_other "$@" || fail "no new window over $*"
  sleep 0.4  # drawn
  active
}
wait_active_is() { wait_until 10 sh -c "[ \"\$(xdotool getactivewindow)\" = '$1' ]" || true; }
# click X Y [WINDOW]: a click at a point of the window (the main window by default).
# (xwininfo's corner: xdotool's counts a window manager's frame twice.)
corner() { xwininfo -id "$1" 2>/dev/null | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF} END{print x, y}'; }
click() {
  local x y
  read -r x y < <(corner "${3:-$win}")
  xdotool mousemove $((x + $1)) $((y + $2)) click 1
  sleep 0.3
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
# type_text TEXT: typed key by key; a character outside the keyboard map one at a
# time, since xdotool maps each onto a spare key and a fast second one can take its place.
type_text() {
  if LC_ALL=C grep -q '^[ -~]*$' <<<"$1"; then
    xdotool type --delay 40 "$1"
  else
    local c
    while IFS= read -r c; do xdotool type --delay 120 "$c"; sleep 0.15; done < <(LC_ALL=C.UTF-8 grep -o . <<<"$1")
  fi
  sleep 0.2
}
park_pointer() { xdotool mousemove 5 5; sleep 0.2; }

# settle MIN_S: waits at least MIN_S seconds, then until the window stops changing
# (a recording's beat codes are drawn once its analysis is done), at most 10 s more.
settle() {
  sleep "$1"
  local i a="$work/settle-a.png" b="$work/settle-b.png"
  import -silent -window root -crop "1025x660+$wx+$wy" +repage "$a"
  for i in $(seq 20); do
    sleep 0.5
    import -silent -window root -crop "1025x660+$wx+$wy" +repage "$b"
    [ "$(compare -metric AE "$a" "$b" null: 2>&1 || true)" = 0 ] && return 0
    mv "$b" "$a"
  done
}

# shot NAME: the screen cropped to the main window, small enough for the documentation.
shot() {
  local file="$out/$1-$lang.png"
  import -silent -window root -crop "1025x660+$wx+$wy" +repage -strip "$file"
  convert "$file" -strip -define png:compression-level=9 -colors 256 "$file"
  echo "  $file"
}

# Main-window controls (design pixels inside the window).
DOWNLOAD=(807 620) SETTINGS=(854 620) PRINT=(901 620) ABOUT=(942 620) DELETE=(982 620)
UPLOAD=(713 620) ACCOUNT=(668 620)
ZOOM_IN=(442 530) COLOUR=(42 529)
DATA_ROOT_TICK=(828 62)   # the data list's root "Data": ticks every recording
FIRST_RECORDING=(980 150) # 09:00:00 in the expanded list
NOTE=(905 400)            # the note under the data set information

note_text() {
  case $lang in
    1031) echo "Herzklopfen nach dem Treppensteigen." ;;
    1028) echo "爬樓梯後心悸。" ;;
    *) echo "Palpitations after climbing stairs." ;;
  esac
}

journeys_for() {
  lang=$1
  work=$(mktemp -d)
  mkdir -m 700 "$work/run"
  export HOME="$work/home" XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_HOME="$work/home/.config"
  export XDG_RUNTIME_DIR="$work/run" LANG=C.UTF-8 LC_ALL=
  mkdir -p "$HOME"
  start_display
  echo "language $lang on $DISPLAY, in $work"

  start_manager --demo --language "$lang"

  # download: every recording comes home; the closing notice over the download window.
  click "${DOWNLOAD[@]}"
  local dialog box
  dialog=$(wait_active_not "$win")
  click 300 310 "$dialog"            # Download
  box=$(wait_active_not "$dialog")
  shot download
  key Return                         # OK
  wait_active_is "$dialog"
  key Escape                         # the download window
  settle 4                           # the last recording opens and its beats are classified

  # open: the recording opened after the download, with its beat codes, shown in the list.
  park_pointer
  shot open

  # chart: gain up twice and green paper; the gain button keeps its focus mark.
  click "${ZOOM_IN[@]}"; click "${ZOOM_IN[@]}"
  click "${COLOUR[@]}"
  click "${ZOOM_IN[@]}"; key shift+Tab; key Tab
  park_pointer
  shot chart

  # note: another recording opened from the list, a note typed, Tab leaves the note.
  click "${FIRST_RECORDING[@]}"
  settle 3
  click "${NOTE[@]}"
  type_text "$(note_text)"
  key Tab
  park_pointer
  shot note

  # settings: the recorder's settings window, a time typed into its clock.
  click "${SETTINGS[@]}"
  dialog=$(wait_active_not "$win")
  click 35 102 "$dialog"             # the chosen date and time
  click 194 102 "$dialog"            # its hours
  type_text "1045"
  park_pointer
  shot settings
  key Escape
  wait_active_is "$win"

  # print: every recording ticked, the print dialog in the language.
  click "${DATA_ROOT_TICK[@]}"
  click "${PRINT[@]}"
  dialog=$(wait_active_not "$win")
  sleep 1
  shot print
  key Escape
  wait_active_is "$win"

  # account: the service's e-mail address and password.
  click "${ACCOUNT[@]}"
  dialog=$(wait_active_not "$win")
  park_pointer
  shot account
  key Escape
  wait_active_is "$win"

  # upload: the ticked recordings sent (kept here), the notice over the upload window.
  click "${UPLOAD[@]}"
  dialog=$(wait_active_not "$win")
  click 80 210 "$dialog"             # delete after the upload: off, so the recordings stay
  click 288 311 "$dialog"            # OK
  box=$(wait_active_not "$dialog")
  park_pointer
  shot upload
  key Return
  sleep 1
  [ "$(active)" = "$win" ] || key Escape

  # delete: the question over the main window, answered No.
  click "${DELETE[@]}"
  box=$(wait_active_not "$win")
  park_pointer
  shot delete
  key Escape
  stop_manager

  # upgrade and live view: the engineering controls, in the same library.
  start_manager --demo --engineering --language "$lang"
  local tools
  tools=$(xdotool search --onlyvisible --name '^Engineering$' | head -1)
  [ -n "$tools" ] || fail "no engineering tool window"
  click 54 16 "$tools"               # Upgrade
  dialog=$(wait_active_not "$tools" "$win")
  click 328 371 "$dialog"            # Upgrade: fetches the image and asks
  box=$(wait_active_not "$dialog" "$tools" "$win")
  park_pointer
  shot upgrade
  key Escape
  sleep 0.5
  key Escape
  sleep 1
  click 155 16 "$tools"              # Start
  sleep 9                            # the sweep runs past the tool window
  park_pointer
  shot live
  click 54 42 "$tools"               # Stop
  stop_manager

  # language: no setinfo.ini yet, the desktop's language taken; a tool tip under the pointer.
  rm -f "$HOME/.local/share/talmon-ecg-manager-demo/talmon/setinfo.ini"
  LANG=${desktop_locale[$lang]} start_manager --demo
  xdotool mousemove $((wx + DOWNLOAD[0])) $((wy + DOWNLOAD[1]))
  sleep 0.3
  xdotool mousemove $((wx + DOWNLOAD[0] + 2)) $((wy + DOWNLOAD[1] + 1))
  sleep 2.5
  shot language
  stop_manager

  cleanup
  work=""
}

for l in "${languages[@]}"; do journeys_for "$l"; done
