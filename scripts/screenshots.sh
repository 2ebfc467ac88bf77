#!/usr/bin/env bash
# Saves pictures of the sign-on window and the main window (signed on to a
# local relay) into docs/screenshots/, rendered under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/client_helpers.sh

build_programs
work=$(mktemp -d)
trap 'stop_relay; rm -rf "$work"' EXIT
start_relay "$work"
create_account demo pa55word
prepare_folder "$work/data" demo pa55word 0

mkdir -p docs/screenshots
# The client grabs its own windows: no screen-capture tool, same result on
# every machine.
xvfb-run -a -s "-screen 0 1280x800x24" \
  "$CLIENT_BIN" --data-dir "$work/data" --screenshot-dir "$work/shots" 2>"$work/client.log" || {
  cat "$work/client.log" >&2
  exit 1
}
cp "$work/shots/signon.png" docs/screenshots/signon.png
cp "$work/shots/main.png" docs/screenshots/main.png
echo "saved docs/screenshots/signon.png docs/screenshots/main.png"
