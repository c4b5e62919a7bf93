#!/usr/bin/env bash
# WireLab.exe under Wine on a virtual X server, with com1 on a pseudo-terminal: the window
# comes up captioned "RS232 Emülatör", "Open" of com1 is ticked with a click, and with only the
# "POS" tab shown (so it is in front) a cash register's packet is answered with its ACK. Saves
# the window's picture as docs/wirelab-windows.png.
#
#   tools/windows-smoke.sh [build-win]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build-win}
run=("$root/tests/windows/wine_run.sh")
. "$root/tests/windows/check_prelude.sh"
fail() { echo "FAIL: $*"; exit 1; }

tools/wine-prefix.sh
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
unset QT_QPA_PLATFORM

tests/windows/wine_ports.sh COM1="$work/com1"
mkfifo "$work/to_port"
# A writer that stays keeps the FIFO open between packets, so its one reader, cat, never
# sees its end before cleanup.
sleep 3600 >"$work/to_port" &
pids+=($!)
socat "pty,raw,echo=0,link=$work/com1" "system:cat $work/to_port & cat >$work/from_port" &
pids+=($!)
wait_for 10 test -e "$work/com1" || fail "socat made no pseudo-terminal"

mkdir "$work/app"
cp "$build/WireLab.exe" "$work/app/"
printf '[Tabs]\r\nAscii=0\r\nOmron=0\r\nPos=1\r\nYazarKasa=0\r\n' >"$work/app/WireLab.ini"
started=$(date +%s.%N)
"${run[@]}" "$work/app/WireLab.exe" >"$work/out" 2>&1 &
pids+=($!)
window=$(timeout 60 xdotool search --sync --name 'RS232 Emülatör' | head -n 1) ||
  fail "no window captioned RS232 Emülatör"
echo "ok: the window is up after $(echo "$(date +%s.%N) - $started" | bc) s"

# "Open" of com1: 8, 16 inside the first port group, below the three bands of 105, 32, 33.
xdotool mousemove --window "$window" 20 196 click 1
sleep 1
printf '001STTX12|34E\r' >"$work/to_port"
wait_for 20 grep -q $'001001ACKD\r' "$work/from_port" ||
  fail "no ACK on com1: $(od -c "$work/from_port" | head -3)"
echo "ok: with the POS tab in front the packet was answered with 001001ACKD"

# The README's picture, drawn by the program itself as it looks after start-up.
rm -f "$work/app/WireLab.ini"
"${run[@]}" "$work/app/WireLab.exe" --screenshot "$root/docs/wirelab-windows.png" ||
  fail "no picture"
echo "ok: picture in docs/wirelab-windows.png"
echo "windows smoke: all passed"
