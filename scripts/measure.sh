#!/usr/bin/env bash
# Measures the real client: start-up and sign-on time, memory after sign-on,
# and CPU while idle, against a local relay. Prints one line:
# client startup_ms=... signon_ms=... rss_mb=... idle_cpu_pct=...
# IDLE_SECONDS (default 120) sets the idle window.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/client_helpers.sh

IDLE_SECONDS=${IDLE_SECONDS:-120}
build_programs
work=$(mktemp -d)
client_pid=""
cleanup() {
  stop_process "$client_pid"
  stop_relay
  rm -rf "$work"
}
trap cleanup EXIT
start_relay "$work"
create_account measure pa55word
prepare_folder "$work/data" measure pa55word 1
# First start copies the default files; not part of the figure.
cp resources/Terms.txt resources/Help.txt resources/sounds/*.wav "$work/data/"
cp -r resources/help "$work/data/"

now_ms() { date +%s%3N; }
launch=$(now_ms)
NIMBREL_TRACE=1 QT_QPA_PLATFORM=offscreen "$CLIENT_BIN" --data-dir "$work/data" 2>"$work/trace" &
client_pid=$!

mark() { sed -n "s/^nimbrel-trace $1 epoch_ms=\([0-9]*\).*/\1/p" "$work/trace" | head -n 1; }
for _ in $(seq 100); do
  [ -n "$(mark welcome)" ] && break
  sleep 0.1
done
shown=$(mark mainwindow_shown)
welcome=$(mark welcome)
if [ -z "$welcome" ]; then
  echo "measure: the client was not welcomed; trace:" >&2
  cat "$work/trace" "$work/relay.log" >&2
  exit 1
fi
sleep 2
rss_kb=$(awk '/^VmRSS:/ {print $2}' "/proc/$client_pid/status")

ticks() { awk '{print $14 + $15}' "/proc/$client_pid/stat"; }
hz=$(getconf CLK_TCK)
t0=$(ticks)
sleep "$IDLE_SECONDS"
t1=$(ticks)

awk -v s="$((shown - launch))" -v w="$((welcome - launch))" -v r="$rss_kb" \
  -v d="$((t1 - t0))" -v hz="$hz" -v secs="$IDLE_SECONDS" \
  'BEGIN { printf "client startup_ms=%d signon_ms=%d rss_mb=%.1f idle_cpu_pct=%.2f\n", s, w, r / 1024, 100 * d / (hz * secs) }'
