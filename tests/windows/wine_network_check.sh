#!/usr/bin/env bash
# Ports on other machines under Wine, through the real wirelab-cli.exe and Winsock: a real
# ser2net on loopback serves two pseudo-terminals that socat holds the other sides of. Checks
# the settings after the URL reaching the terminal, a cash register's packet answered over
# RFC 2217, every byte value received in order, and the reason for a port nobody listens on.
#
#   wine_network_check.sh PATH/wirelab-cli.exe
set -euo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
run=("$here/wine_run.sh")
command -v ser2net >/dev/null || [ -x /usr/sbin/ser2net ] || {
  echo "SKIP: ser2net is not installed (tools/install-deps.sh --tests installs it)"; exit 0; }
. "$here/check_prelude.sh"
fail() {
  echo "FAIL: $*"
  [ -f "$work/out" ] && sed 's/^/  out: /' "$work/out"
  [ -f "$work/ser2net.log" ] && sed 's/^/  ser2net: /' "$work/ser2net.log"
  exit 1
}
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
listening() { ss -ltnH "sport = :$1" | grep -q .; }

# Line 1: the register's side, what it is sent into a file, what it sends from a FIFO.
mkfifo "$work/to_port"
sleep 3600 >"$work/to_port" &
pids+=($!)
socat "pty,raw,echo=0,link=$work/line1" "system:cat $work/to_port & cat >$work/from_port" &
pids+=($!)
# Line 2: its far side a second pseudo-terminal.
socat "pty,raw,echo=0,link=$work/line2" "pty,raw,echo=0,link=$work/far2" &
pids+=($!)
wait_for 10 test -e "$work/line1" -a -e "$work/far2" || fail "socat made no pseudo-terminal"

port1=$(free_port)
port2=$(free_port)
cat >"$work/ser2net.yaml" <<YAML
connection: &line1
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port1
  connector: serialdev,$(readlink -f "$work/line1"),9600n81,local
connection: &line2
  accepter: telnet(rfc2217),tcp,127.0.0.1,$port2
  connector: serialdev,$(readlink -f "$work/line2"),9600n81,local
YAML
/usr/sbin/ser2net -d -n -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.log" 2>&1 &
pids+=($!)
wait_for 10 listening "$port1" || fail "ser2net does not listen"
wait_for 10 listening "$port2" || fail "ser2net does not listen"

url1=rfc2217://127.0.0.1:$port1
url2=rfc2217://127.0.0.1:$port2
"${run[@]}" "$cli" --port "1=$url1:19200,n,8,2" --pos 1 --send 1 033 --port "2=$url2" \
  --duration 20 >"$work/out" 2>&1 &
pids+=($!)
wait_for 30 grep -q "com2 open $url2 9600,n,8,1" "$work/out" || fail "the ports did not open"
wait_for 20 grep -q '!' "$work/from_port" || fail "the first byte did not arrive"
settings=$(stty -F "$work/line1" -a)
grep -q "speed 19200 baud" <<<"$settings" || fail "speed: $settings"
grep -q -- " cstopb" <<<"$settings" || fail "two stop bits: $settings"
echo "ok: $url1 set its terminal to 19200 baud, two stop bits"

printf '001STTX12|34E\r' >"$work/to_port"
wait_for 20 grep -q $'001001ACKD\r' "$work/from_port" || fail "no ACK: $(od -c "$work/from_port")"
echo "ok: the packet was answered over RFC 2217 with 001001ACKD and CR"

for code in $(seq 0 255); do printf "\\$(printf %03o "$code")"; done >"$work/far2"
codes() { grep " com2 rx " "$work/out" | grep -o '([0-9 ]*)' | tr -d '() ' | paste -sd' '; }
all_codes() { [ "$(codes)" = "$(seq 0 255 | paste -sd' ')" ]; }
wait_for 20 all_codes || fail "com2 received: $(codes)"
echo "ok: com2 received the 256 byte values in order, 0xFF among them"

refused=rfc2217://127.0.0.1:$(free_port)
set +e
"${run[@]}" "$cli" --port "1=$refused" >"$work/refused" 2>&1
code=$?
set -e
[ $code -eq 1 ] || fail "refused port: exit code $code: $(cat "$work/refused")"
grep -q "port 1: connection refused: nothing listens at $refused" "$work/refused" ||
  fail "refused port: $(cat "$work/refused")"
echo "ok: a port nobody listens on is refused with its reason"
