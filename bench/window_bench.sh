#!/bin/sh
# Runs window_bench on a virtual X server, so that the window is shown and painted as for a
# user: starts Xvfb on a free display, runs each scenario given (default: all three) in a
# process of its own, and stops the server again.
#
#   bench/window_bench.sh BUILD_DIR [scenario[:seconds] ...]
set -eu
build=${1:?usage: window_bench.sh BUILD_DIR [scenario[:seconds] ...]}
shift
[ $# -gt 0 ] || set -- four-fast four-slow flat-out

display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do
  display=$((display + 1))
done
Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ -e /tmp/.X11-unix/X$display ] && break
  sleep 0.1
done

for run in "$@"; do
  scenario=${run%%:*}
  seconds=${run#"$scenario"}
  seconds=${seconds#:}
  DISPLAY=:$display QT_QPA_PLATFORM=xcb "$build/window_bench" "$scenario" $seconds
  echo
done
