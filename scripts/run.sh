#!/usr/bin/env bash
# Builds and starts Vornik Tools. On a desktop ($DISPLAY set) it starts there;
# without one it starts a private virtual desktop (Xvfb, openbox, trayer).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the program: the tests and benchmarks of the preset are left for test.sh.
scripts/build.sh default vornik-tools
bin=build/default/app/vornik-tools
if [ -z "${DISPLAY:-}" ]; then
  number=${VORNIK_DISPLAY:-77}
  Xvfb ":$number" -screen 0 1920x1080x24 -nolisten tcp &
  sleep 1
  export DISPLAY=":$number"
  openbox --sm-disable &
  sleep 0.5
  trayer --edge top --align right --widthtype request --height 32 &
  echo "No display was set: started a virtual desktop on DISPLAY=$DISPLAY."
  echo "Reach it with, for example: DISPLAY=$DISPLAY xdotool ..., DISPLAY=$DISPLAY xclip ..."
  echo "or view it with: x11vnc -display $DISPLAY (then a VNC viewer on this machine)."
fi
exec "$bin"
