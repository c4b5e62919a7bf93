#!/usr/bin/env bash
# The installer under Wine, in a fresh Wine prefix of its own (with a home folder of its own,
# which the prefix's Documents points at): a silent install for the user alone puts the
# programs, the Start menu entries (the console's own command finds wirelab-cli.exe) and the
# uninstall entry in place, both programs carry their icon, version and manifest; the installed WireLab.exe comes up, its "save as default"
# writes the user's WireLab.ini under %APPDATA%, made from the installed sample, and stays up;
# the installed wirelab-cli.exe reads that file's [Ports] and answers a cash register's
# packet on the COM port it names; a silent install over the running window refuses with exit
# code 2; installing again keeps the user's files; a silent uninstall
# removes the programs and leaves the user's files. Then the same for every user (Wine runs
# programs with administrator rights): Program Files, the machine's uninstall entry.
#
#   wine_install_check.sh PATH/WireLab-<version>-setup.exe
set -euo pipefail
setup=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
version=$(basename "$setup" | sed -n 's/^WireLab-\(.*\)-setup\.exe$/\1/p')
[ -f "$setup" ] && [ -n "$version" ] || { echo "FAIL: no installer $1 (tools/build-windows.sh makes it)"; exit 1; }
work=$(mktemp -d)
export HOME=$work/home WIRELAB_WINEPREFIX=$work/prefix WINEPREFIX=$work/prefix WINEDEBUG=-all
# No desktop menu entries made from the Start menu's shortcuts.
export WINEDLLOVERRIDES=winemenubuilder.exe=d
mkdir -p "$HOME"
user=$(id -un)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
wait_for() {  # seconds, command...
  local until=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $until ] || return 1; sleep 0.1; done
}
win() { "$here/wine_run.sh" "$@"; }  # in the foreground; a background one by its own pid
unix_path() { winepath -u "$1" 2>/dev/null; }
# A registry key as text, exactly as stored (reg export writes UTF-16).
reg_text() {
  rm -f "$work/key.reg"
  win reg export "$1" 'Z:'"${work//\//\\}"'\key.reg' /y >/dev/null 2>&1 || return 1
  iconv -f UTF-16 -t UTF-8 "$work/key.reg" | tr -d '\r'
}
# What one resource of a program holds, its UTF-16 strings as text.
resource_text() { wrestool -x --raw --type="$2" "$1" | iconv -f UTF-16LE -t UTF-8 -c | tr -d '\0'; }
started=$SECONDS

# The virtual X server comes first: Wine's desktop, started with the prefix, needs it.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display
unset QT_QPA_PLATFORM
"$root/tools/wine-prefix.sh"
echo "ok: a fresh Wine prefix in $((SECONDS - started)) s"
appdata=$(unix_path 'C:\users\'"$user"'\AppData\Roaming')
documents=$(readlink -f "$(unix_path 'C:\users\'"$user"'\Documents')")
instdir=$(unix_path 'C:\users\'"$user"'\AppData\Local\Programs\WireLab')
menu="$appdata/Microsoft/Windows/Start Menu/Programs"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\WireLab'

# For the user alone, as a Windows account without administrator rights gets it.
win "$setup" /S /CurrentUser || fail "the silent install exited $?"
for f in WireLab.exe wirelab-cli.exe uninstall.exe README.txt defaults/WireLab.ini \
  licenses/WireLab-LICENSE.txt; do
  [ -f "$instdir/$f" ] || fail "not installed: $instdir/$f"
done
[ ! -e "$instdir/WireLab.ini" ] || fail "a WireLab.ini beside the installed programs"
cmp -s "$root/WireLab.ini" "$instdir/defaults/WireLab.ini" || fail "the installed sample differs"
echo "ok: installed into %LOCALAPPDATA%\\Programs\\WireLab, the sample in defaults\\"

[ -f "$menu/RS232 Emülatör.lnk" ] && [ -f "$menu/WireLab komut satırı.lnk" ] ||
  fail "Start menu: $(ls "$menu")"
grep -q 'WireLab\.exe' <<<"$(strings -el "$menu/RS232 Emülatör.lnk")" ||
  fail "the window's entry: $(strings -el "$menu/RS232 Emülatör.lnk")"
console=$(strings -el "$menu/WireLab komut satırı.lnk")
grep -q 'cmd\.exe' <<<"$console" && grep -q 'wirelab-cli\.exe --help' <<<"$console" ||
  fail "the console entry: $console"
# The console entry's own command, run to its end: wirelab-cli.exe is found by its name.
arguments=$(grep -m1 -o '/k ".*' <<<"$console") || fail "the console entry's command: $console"
printf '@cmd /c %s\r\n' "${arguments#/k }" | sed 's/--help/--version/' >"$work/console.bat"
grep -qx "wirelab-cli $version" <<<"$(win cmd.exe /c 'Z:'"${work//\//\\}"'\console.bat' </dev/null 2>&1 | tr -d '\r')" ||
  fail "the console entry's command does not start wirelab-cli.exe: $(cat "$work/console.bat")"
echo "ok: the Start menu holds \"RS232 Emülatör\" and \"WireLab komut satırı\", whose console finds wirelab-cli.exe"

entry=$(reg_text "$key") || fail "no uninstall entry $key"
for line in '"DisplayName"="WireLab (RS232 Emülatör)"' "\"DisplayVersion\"=\"$version\"" \
  '"Publisher"="WireLab developers"' '"DisplayIcon"="C:\\users\\'"$user"'\\AppData\\Local\\Programs\\WireLab\\WireLab.exe,0"' \
  '"QuietUninstallString"="\"C:\\users\\'"$user"'\\AppData\\Local\\Programs\\WireLab\\uninstall.exe\" /S"'; do
  grep -qxF "$line" <<<"$entry" || fail "uninstall entry lacks $line: $entry"
done
echo "ok: the uninstall entry names WireLab $version, its publisher and icon"

for program in WireLab.exe wirelab-cli.exe; do
  list=$(wrestool -l "$instdir/$program")
  grep -q -- "--type=14 --name='IDI_ICON1'" <<<"$list" || fail "$program has no icon: $list"
  grep -q -- "--type=16 " <<<"$list" || fail "$program has no version: $list"
  grep -q -- "--type=24 --name=1 " <<<"$list" || fail "$program has no manifest: $list"
  strings=$(resource_text "$instdir/$program" 16)
  for text in "ProductVersion$version" "ProductNameWireLab" "OriginalFilename$program"; do
    grep -qF "$text" <<<"$strings" || fail "$program's version lacks $text: $strings"
  done
  grep -q 'PerMonitorV2' <<<"$(wrestool -x --raw --type=24 "$instdir/$program")" ||
    fail "$program's manifest"
done
grep -qF "FileDescriptionRS232 Emülatör" <<<"$(resource_text "$instdir/WireLab.exe" 16)" ||
  fail "WireLab.exe's description"
grep -qF "FileDescriptionWireLab komut satırı" <<<"$(resource_text "$instdir/wirelab-cli.exe" 16)" ||
  fail "wirelab-cli.exe's description"
echo "ok: both programs carry the icon, version $version and the manifest"

# COM7 on a pseudo-terminal, the cash register's side behind it; the Wine server restarts
# for the new COM name before any program of the check runs.
"$here/wine_ports.sh" COM7="$work/com7"
win cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
mkfifo "$work/to_port"
# A writer that stays keeps the FIFO open between packets, so its one reader, cat, never
# sees its end before cleanup.
sleep 3600 >"$work/to_port" &
pids+=($!)
socat "pty,raw,echo=0,link=$work/com7" "system:cat $work/to_port & cat >$work/from_port" &
pids+=($!)
wait_for 10 test -e "$work/com7" || fail "socat made no pseudo-terminal"

# The installed window, on the virtual X server: it comes up, and com1's "save as default"
# (the item above "Dosyaya kaydet..." at the foot of the port group's menu) writes the
# user's file.
"$here/wine_run.sh" "$instdir/WireLab.exe" >"$work/window" 2>&1 &
window_pid=$!
pids+=($window_pid)
window=$(timeout 90 xdotool search --sync --name 'RS232 Emülatör' | head -n 1) ||
  fail "the installed WireLab.exe showed no window: $(cat "$work/window")"
echo "ok: the installed WireLab.exe is up"
user_ini="$appdata/WireLab/WireLab.ini"
save_default() {
  [ -f "$user_ini" ] && return 0
  # From the menu's foot: "Senaryo olarak kaydet...", "Senaryo çalıştır...", "Dosyaya
  # kaydet...", then the save as default.
  xdotool mousemove --window "$window" 20 196 click 3 key --delay 150 Up Up Up Up Return
  wait_for 3 test -f "$user_ini"
}
wait_for 30 save_default || fail "com1's save as default wrote no $user_ini"
grep -qE $'^Com1=COM1\r?$' "$user_ini" || fail "the saved file: $(cat -A "$user_ini")"
[ "$(grep -v '^Com1=' "$user_ini")" = "$(cat "$root/WireLab.ini")" ] ||
  fail "the user's file is not the sample with com1's line: $(diff "$root/WireLab.ini" "$user_ini")"
cmp -s "$root/WireLab.ini" "$instdir/defaults/WireLab.ini" || fail "the installed sample changed"
echo "ok: \"com1 için varsayılan olarak kaydet\" wrote %APPDATA%\\WireLab\\WireLab.ini from the sample"

# The installed wirelab-cli.exe reads the user's file: its com1 is COM7, on a pseudo-terminal.
sed -i 's/^Com1=COM1/Com1=COM7/' "$user_ini"
"$here/wine_run.sh" "$instdir/wirelab-cli.exe" --port 1 --pos 1 --duration 60 >"$work/cli" 2>&1 &
cli_pid=$!
pids+=($cli_pid)
wait_for 60 grep -qs "com1 open COM7" "$work/cli" || fail "com1 is not COM7: $(cat "$work/cli")"
printf '001STTX12|34E\r' >"$work/to_port"
wait_for 20 grep -q $'001001ACKD\r' "$work/from_port" ||
  fail "no ACK: $(od -c "$work/from_port" | head -3); $(cat "$work/cli")"
kill -INT "$cli_pid" 2>/dev/null || true
echo "ok: the installed wirelab-cli.exe took COM7 from the user's file and answered with 001001ACKD"
xdotool search --name 'RS232 Emülatör' >/dev/null && kill -0 "$window_pid" ||
  fail "the installed window did not stay up: $(cat "$work/window")"
echo "ok: the installed window stayed up"
# A silent install over a running WireLab.exe changes nothing and says so by its exit code.
status=0
win "$setup" /S /CurrentUser || status=$?
[ "$status" = 2 ] || fail "installing over the running window exited $status"
kill -0 "$window_pid" && [ -f "$instdir/WireLab.exe" ] || fail "installing over the running window"
echo "ok: a silent install over the running window ends with exit code 2"
# Files of running programs cannot be replaced or removed: both end before the next install.
kill "$window_pid" 2>/dev/null || true
wait "$window_pid" "$cli_pid" 2>/dev/null || true

# The user's results beside the settings; a second install over the first keeps both.
mkdir -p "$documents/WireLab"
printf 'results\r\n' >"$documents/WireLab/OmronResults.txt"
cp "$user_ini" "$work/user.ini"
win "$setup" /S /CurrentUser || fail "installing over the first install exited $?"
cmp -s "$work/user.ini" "$user_ini" || fail "installing again changed the user's WireLab.ini"
[ -f "$documents/WireLab/OmronResults.txt" ] || fail "installing again removed the results"
[ ! -e "$instdir/WireLab.ini" ] || fail "installing again put a WireLab.ini beside the programs"
echo "ok: installing over the installed one keeps the user's files"

gone() { [ ! -e "$1" ]; }
win "$instdir/uninstall.exe" /S || fail "the silent uninstall exited $?"
wait_for 30 gone "$instdir" || fail "left after uninstalling: $(find "$instdir")"
gone "$menu/RS232 Emülatör.lnk" && gone "$menu/WireLab komut satırı.lnk" ||
  fail "Start menu entries left: $(ls "$menu")"
reg_text "$key" >/dev/null && fail "the uninstall entry is still there"
cmp -s "$work/user.ini" "$user_ini" || fail "uninstalling removed or changed the user's WireLab.ini"
[ -f "$documents/WireLab/OmronResults.txt" ] || fail "uninstalling removed the results"
echo "ok: the silent uninstall removed the programs, their entries and nothing of the user's"

# With administrator rights: for every user.
win "$setup" /S || fail "the silent install for every user exited $?"
machine_dir=$(unix_path 'C:\Program Files\WireLab')
machine_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\WireLab'
common_menu=$(unix_path 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs')
[ -f "$machine_dir/WireLab.exe" ] && [ -f "$machine_dir/defaults/WireLab.ini" ] ||
  fail "not in Program Files"
[ -f "$common_menu/RS232 Emülatör.lnk" ] || fail "not in the common Start menu"
grep -qF "\"DisplayVersion\"=\"$version\"" <<<"$(reg_text "$machine_key")" || fail "no $machine_key"
win "$machine_dir/uninstall.exe" /S || fail "the silent uninstall for every user exited $?"
wait_for 30 gone "$machine_dir" || fail "left after uninstalling: $(find "$machine_dir")"
gone "$common_menu/RS232 Emülatör.lnk" || fail "the common Start menu entry is left"
reg_text "$machine_key" >/dev/null && fail "$machine_key is still there"
echo "ok: for every user into Program Files, and out again"

echo "wine install check: all passed in $((SECONDS - started)) s"
