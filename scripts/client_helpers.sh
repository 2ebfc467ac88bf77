# Shared by screenshots.sh and measure.sh: build, a relay on free loopback
# ports, an account and a prepared data folder. Source it; needs bash.

BUILD_DIR=${BUILD_DIR:-build-release}

build_programs() {
  scripts/setup.sh
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBREL_BENCH=OFF >/dev/null
  cmake --build "$BUILD_DIR" -j "$(nproc)" --target nimbrel nimbrel-relay >/dev/null
  CLIENT_BIN=$PWD/$BUILD_DIR/nimbrel
  RELAY_BIN=$PWD/$BUILD_DIR/relay/nimbrel-relay
}

# Starts a relay on free ports with its own database in $1; sets RELAY_PID,
# RELAY_TCP and RELAY_HTTP.
start_relay() {
  local dir=$1
  mkfifo "$dir/ready"
  "$RELAY_BIN" --listen 127.0.0.1:0 --http 127.0.0.1:0 --db "$dir/relay.sqlite" \
    --pbkdf2-iterations 1000 >"$dir/ready" 2>"$dir/relay.log" &
  RELAY_PID=$!
  local line
  read -r -t 10 line <"$dir/ready" || { echo "relay did not start; see $dir/relay.log" >&2; return 1; }
  RELAY_TCP=$(sed -E 's/.*tcp=127\.0\.0\.1:([0-9]+).*/\1/' <<<"$line")
  RELAY_HTTP=$(sed -E 's/.*http=127\.0\.0\.1:([0-9]+).*/\1/' <<<"$line")
}

# stop_process PID: ends a child and reaps it. Never fails, so that an exit
# trap under set -e goes on (wait on a killed child returns 143).
stop_process() {
  [ -n "${1:-}" ] || return 0
  kill "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

stop_relay() {
  stop_process "${RELAY_PID:-}"
  RELAY_PID=
}

# create_account USER PASSWORD: a raw NEW over the relay's TCP port.
create_account() {
  exec 3<>"/dev/tcp/127.0.0.1/$RELAY_TCP"
  printf ':NEW|%s|%s|^' "$1" "$2" >&3
  local reply=""
  IFS= read -r -t 5 -d '^' reply <&3 || true
  exec 3>&-
  case "$reply" in
    *:NEW\|1\|* | *:NEW\|2\|*) return 0 ;;
    *) echo "account $1 not created: $reply" >&2; return 1 ;;
  esac
}

# prepare_folder DIR USER PASSWORD AUTOLOGIN: Settings.dat in the quoted-field
# format (CR LF) and AddressHost.txt pointing at the relay.
prepare_folder() {
  local dir=$1 user=$2 password=$3 auto=$4
  mkdir -p "$dir"
  {
    printf '"%s"\r\n' Ann "" Lee "1 Main St" Ames Story IA 50010 ann@example.org "Home" "$user" "$password" \
      ALL ALL COUNTY COUNTY
    printf '0\r\n10\r\n"Arial"\r\n#FALSE#\r\n#FALSE#\r\n1\r\n0\r\n1\r\n0\r\n%s\r\n0\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n' "$auto"
    printf '"c:\\Program Files\\Tavrelon\\Tavrelon.exe"\r\n0\r\n""\r\n'
  } >"$dir/Settings.dat"
  printf 'http://127.0.0.1:%s\r\n' "$RELAY_HTTP" >"$dir/AddressHost.txt"
}
