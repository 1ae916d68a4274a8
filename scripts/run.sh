#!/usr/bin/env bash
# Sets up, builds and starts the Talmon ECG Manager. Arguments go to the
# program (for example --demo). Without a display, pass --xvfb to run it
# on a virtual one (or set TALMON_XVFB=1).
set -euo pipefail
cd "$(dirname "$0")/.."

xvfb=${TALMON_XVFB:-0}
window=1
args=()
for a in "$@"; do
  case "$a" in
    --xvfb) xvfb=1 ;;
    -h|--help|--version) window=0; args+=("$a") ;;  # answered on the terminal, no window
    *) args+=("$a") ;;
  esac
done

# Said before the set-up and the build, which take minutes on a fresh machine.
if [ "$window" = 1 ] && [ "$xvfb" != 1 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found. Run this from a desktop session, or add --xvfb to use a virtual display." >&2
  exit 2
fi

scripts/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target ecg-manager

if [ "$xvfb" = 1 ]; then
  exec xvfb-run -a -s "-screen 0 1280x800x24" build/bin/ecg-manager "${args[@]}"
fi
exec build/bin/ecg-manager "${args[@]}"
