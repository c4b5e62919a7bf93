#!/usr/bin/env bash
# The Windows serial layer under Wine, through the real wirelab-cli.exe: Wine's COM1 and COM2
# point at pseudo-terminals that socat holds the other sides of. Checks the open with the line
# settings seen on the terminal, a cash register's packet answered byte for byte, every byte
# value received in order, the exclusive open, and the reason for a COM port that does not
# exist.
#
#   wine_serial_check.sh PATH/wirelab-cli.exe
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
run=("$here/wine_run.sh")
. "$here/check_prelude.sh"
fail() { echo "FAIL: $*"; [ -f "$work/out" ] && sed 's/^/  out: /' "$work/out"; exit 1; }

"$here/wine_ports.sh" COM1="$work/com1" COM2="$work/com2" COM3=
# COM2's far side is a second pseudo-terminal that socat joins to it.
socat "pty,raw,echo=0,link=$work/com2" "pty,raw,echo=0,link=$work/far2" &
pids+=($!)
# The register's side: what it is sent goes to a file, what it sends comes from a FIFO.
mkfifo "$work/to_port"
# A writer that stays keeps the FIFO open between packets, so its one reader, cat, never
# sees its end before cleanup.
sleep 3600 >"$work/to_port" &
pids+=($!)
socat "pty,raw,echo=0,link=$work/com1" "system:cat $work/to_port & cat >$work/from_port" &
pids+=($!)
wait_for 10 test -e "$work/com1" -a -e "$work/far2" || fail "socat made no pseudo-terminal"

"${run[@]}" "$cli" --port 1:19200,e,7,2 --pos 1 --port 2 --duration 20 >"$work/out" 2>&1 &
cli_pid=$!
pids+=($cli_pid)
wait_for 30 grep -q "com2 open COM2 9600,n,8,1" "$work/out" || fail "COM1 and COM2 did not open"
settings=$(stty -F "$work/com1" -a)
grep -q "speed 19200 baud" <<<"$settings" || fail "speed: $settings"
grep -q -- " cstopb" <<<"$settings" || fail "two stop bits: $settings"
grep -q -- "-icanon" <<<"$settings" || fail "raw line: $settings"
echo "ok: COM1 opened at 19200 baud, two stop bits, raw"

printf '001STTX12|34E\r' >"$work/to_port"
wait_for 20 grep -q $'001001ACKD\r' "$work/from_port" || fail "no ACK: $(od -c "$work/from_port")"
grep -q "APCD doğru. ACK gönderiliyor..." "$work/out" || fail "no POS log line"
echo "ok: the packet was answered with 001001ACKD and CR"

# Every byte value, in order, as receive entries of COM2.
for code in $(seq 0 255); do printf "\\$(printf %03o "$code")"; done >"$work/far2"
codes() { grep " com2 rx " "$work/out" | grep -o '([0-9 ]*)' | tr -d '() ' | paste -sd' '; }
all_codes() { [ "$(codes)" = "$(seq 0 255 | paste -sd' ')" ]; }
wait_for 20 all_codes || fail "COM2 received: $(codes)"
echo "ok: COM2 received the 256 byte values in order"

# The fifth field's hardware flow control reaches the terminal; a pseudo-terminal has no modem
# lines, so Wine reports none and they are named unknown.
"${run[@]}" "$cli" --port 2:9600,n,8,1,p --lines --duration 3 >"$work/lines" 2>&1 &
pids+=($!)
wait_for 30 grep -q "com2 lines " "$work/lines" || fail "no lines event: $(cat "$work/lines")"
grep -q "com2 lines unknown: the device has no modem lines" "$work/lines" ||
  fail "lines: $(cat "$work/lines")"
stty -F "$work/com2" -a | grep -q -- " crtscts" || fail "RTS/CTS: $(stty -F "$work/com2" -a)"
echo "ok: RTS/CTS set from the fifth field; a terminal's modem lines are unknown"

# Windows refuses a second open of a COM port (share mode 0); Wine 8 does not enforce share
# modes on serial devices, so here this is reported, not checked.
if "${run[@]}" "$cli" --port 1 --duration 1 >"$work/busy" 2>&1; then
  echo "note: Wine let a second program open COM1 (Windows itself refuses it)"
else
  grep -q "busy" "$work/busy" || fail "second open: $(cat "$work/busy")"
  echo "ok: a second program finds COM1 busy"
fi

# Wine gives the machine's own serial devices the COM names left free, so ask for one far
# beyond them.
"${run[@]}" "$cli" --port 3=COM200 --duration 1 >"$work/none" 2>&1 && fail "COM200 opened"
grep -q "no such device" "$work/none" || fail "COM200: $(cat "$work/none")"
echo "ok: a COM port that does not exist is named as such"

# The system's list of COM names is read beside SetupAPI, which under Wine shows none.
"${run[@]}" "$cli" --list-ports >"$work/list" 2>&1 || fail "--list-ports: $(cat "$work/list")"
grep -q "^COM1 " "$work/list" && grep -q "^COM2 " "$work/list" || fail "--list-ports: $(cat "$work/list")"
echo "ok: --list-ports names COM1 and COM2"

# A path with Turkish letters reaches the program whole (Windows gives arguments in UTF-16).
LC_ALL=C.UTF-8 "${run[@]}" "$cli" --port 3=COM200 --log "$work/kayıt çğış İÖÜ.log" \
  >"$work/turkish" 2>&1 && fail "COM200 opened"
test -f "$work/kayıt çğış İÖÜ.log" || fail "the log's name: $(ls "$work")"
echo "ok: a log path with Turkish letters is taken whole"

# Windows' reserved names are named for what they are, not as files.
for row in 'NUL:the null device' 'CON:the console' 'CONIN$:the console'; do
  name=${row%%:*}
  "${run[@]}" "$cli" --port "1=$name" --duration 1 >"$work/reserved" 2>&1 && fail "$name opened"
  grep -q "not a serial device: $name is ${row#*:}" "$work/reserved" ||
    fail "$name: $(cat "$work/reserved")"
done
echo "ok: NUL, CON and CONIN\$ are named for what they are"

# A stray character in the settings is refused with the usage code, never opened at 9600.
for port in '1=COM1:19200,e,7,1 ' '1=COM1 :19200,e,7,1' '1=COM1;19200,e,7,1' '1=\\.\COM1: 9600,n,8,1'; do
  status=0
  "${run[@]}" "$cli" --port "$port" --duration 1 >"$work/stray" 2>&1 || status=$?
  [ "$status" = 2 ] || fail "--port '$port' exited $status: $(cat "$work/stray")"
  grep -q -e "--port" "$work/stray" || fail "--port '$port': $(cat "$work/stray")"
done
echo "ok: settings with a stray character are refused"

kill -INT "$cli_pid" 2>/dev/null || true
wait "$cli_pid" 2>/dev/null || true
echo "wine serial check: all passed"
