#!/usr/bin/env bash
# Sets everything up, builds Nimbrel and starts it against a local relay.
# Arguments go to the client, e.g. scripts/run.sh --data-dir ~/spotter2
# A relay is started (loopback only) when none answers at the configured
# address, and stopped again when the client exits.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBREL_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target nimbrel nimbrel-relay

# The address file's web server: AddressHost.txt in the data folder, or the default.
data_dir=""
prev=""
for a in "$@"; do
  case "$a" in --data-dir=*) data_dir=${a#--data-dir=} ;; esac
  [ "$prev" = "--data-dir" ] && data_dir=$a
  prev=$a
done
base="http://127.0.0.1:8080"
if [ -n "$data_dir" ] && [ -f "$data_dir/AddressHost.txt" ]; then
  base=$(head -n 1 "$data_dir/AddressHost.txt" | tr -d '\r')
fi
hostport=${base#http://}
hostport=${hostport%%/*}
host=${hostport%:*}
port=${hostport##*:}
[ "$host" = "$port" ] && port=80

relay_pid=""
cleanup() {
  if [ -n "$relay_pid" ]; then
    kill "$relay_pid" 2>/dev/null || true
    wait "$relay_pid" 2>/dev/null || true
  fi
}
trap cleanup EXIT
trap "exit 130" INT TERM

if timeout 2 bash -c "exec 3<>/dev/tcp/$host/$port" 2>/dev/null; then
  echo "run: a relay already answers at $base"
elif [ "$host" = "127.0.0.1" ] || [ "$host" = "localhost" ]; then
  log=${TMPDIR:-/tmp}/nimbrel-relay.$$.log
  echo "run: starting nimbrel-relay on 127.0.0.1 (log: $log)"
  build-release/relay/nimbrel-relay --http "127.0.0.1:$port" >"$log" 2>&1 &
  relay_pid=$!
  for _ in $(seq 50); do
    timeout 1 bash -c "exec 3<>/dev/tcp/127.0.0.1/$port" 2>/dev/null && break
    kill -0 "$relay_pid" 2>/dev/null || { echo "run: the relay did not start:" >&2; cat "$log" >&2; exit 1; }
    sleep 0.1
  done
else
  echo "run: nothing answers at $base; starting the client anyway (it retries)"
fi

status=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run: no display found; running the client under xvfb-run (invisible)"
  xvfb-run -a build-release/nimbrel "$@" || status=$?
else
  build-release/nimbrel "$@" || status=$?
fi
exit $status
