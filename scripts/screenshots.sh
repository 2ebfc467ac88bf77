#!/usr/bin/env bash
# Saves pictures of the sign-on window, the main window (signed on to a
# local relay, with a few reports and the warning program's list) and the
# messenger into docs/screenshots/, rendered under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/client_helpers.sh

build_programs
work=$(mktemp -d)
feeder=
cleanup() {
  [ -n "$feeder" ] && { kill "$feeder" 2>/dev/null || true; wait "$feeder" 2>/dev/null || true; }
  stop_relay || true
  rm -rf "$work"
}
trap cleanup EXIT
start_relay "$work"
create_account demo pa55word
create_account spotter pa55word
prepare_folder "$work/data" demo pa55word 0
# Field 32, WarnLinkEnabled: the client listens for the warning program.
sed -i '32s/^0/1/' "$work/data/Settings.dat"

# Another spotter's reports, in the relay's history before the client asks.
exec 3<>"/dev/tcp/127.0.0.1/$RELAY_TCP"
printf ':SGN|spotter|pa55word|Sam||Cole|2 Elm St|Ames|Story|IA|50010|sam@example.org|Ames|2.4|^' >&3
signed=
for _ in 1 2 3 4 5; do
  IFS= read -r -t 5 -d '^' reply <&3 || break
  case "$reply" in *:SGN\|3\|*) signed=1 && break ;; esac
done
[ -n "$signed" ] || { echo "spotter not signed on" >&2; exit 1; }
for text in 'R: [ Partly cloudy / Temp = 78F / Wnd Spd = 12 MPH / Wnd Dir = SW / Max Gust = 20 MPH ////]' \
  'HAIL - 1.00" Quarter Size on Lincoln Way' \
  'WIND - Trees Down across Duff Ave' \
  'Tornado Report - rope tornado 3 miles SW of Ames, moving NE'; do
  printf ':RPT|%s|IA|Story|50010|spotter|Ames|^' "$text" >&3
  sleep 0.2
done
exec 3>&-

# The warning program's part: push its list once the client listens.
feed_warnings() {
  local rows='IA|Tornado|Tornado Warning for Story County until 6:45 PM CDT|05:58 PM|06:45 PM|https://example.org/w/1|'
  rows+='IA|T-Storm|Severe Thunderstorm Warning for Boone County until 6:30 PM CDT|05:40 PM|06:30 PM|https://example.org/w/2|'
  rows+='IA|Flood|Flood Advisory for Polk County|04:15 PM|08:15 PM|https://example.org/w/3|'
  for _ in $(seq 150); do
    if { printf ':%s^' "$rows" >&4; sleep 1; } 2>/dev/null 4<>/dev/tcp/127.0.0.1/1003; then
      return 0
    fi
    sleep 0.2
  done
}
feed_warnings &
feeder=$!

mkdir -p docs/screenshots
# The client grabs its own windows: no screen-capture tool, same result on
# every machine.
xvfb-run -a -s "-screen 0 1280x800x24" \
  "$CLIENT_BIN" --data-dir "$work/data" --screenshot-dir "$work/shots" 2>"$work/client.log" || {
  cat "$work/client.log" >&2
  exit 1
}
for shot in signon main messenger; do
  cp "$work/shots/$shot.png" "docs/screenshots/$shot.png"
done
echo "saved docs/screenshots/signon.png main.png messenger.png"
