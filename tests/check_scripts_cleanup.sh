#!/usr/bin/env bash
# The helper scripts' exit traps run under set -e: stopping the client or the
# relay must not end the trap early (a killed process's wait returns 143), or
# the relay and the work folder outlive every run.
set -uo pipefail
source "$1/scripts/client_helpers.sh"
log=$(mktemp)
trap 'rm -f "$log"' EXIT
(
  set -e
  sleep 30 &
  client=$!
  sleep 30 &
  RELAY_PID=$!
  echo "$client $RELAY_PID" >"$log"
  trap 'stop_process "$client"; stop_relay; echo cleaned >>"$log"' EXIT
)
for pid in $(head -n 1 "$log"); do
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid"
    echo "process $pid was left running"
    exit 1
  fi
done
grep -qx cleaned "$log" || { echo "the clean-up stopped early"; exit 1; }
