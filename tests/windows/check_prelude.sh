# Sourced by the Wine checks: a work folder that goes at exit with the helper processes whose
# pids are added to pids, and wait_for SECONDS COMMAND... that tries the command again until it
# holds or the time is up.
work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
wait_for() {
  local until=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $until ] || return 1; sleep 0.05; done
}
