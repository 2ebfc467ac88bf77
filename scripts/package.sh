#!/usr/bin/env bash
# Builds the .deb from the build folder and checks it the way a user meets it:
# its file list, an install with apt, both programs run from the installed
# paths, and a clean removal.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

if [ ! -f "$BUILD/CPackConfig.cmake" ]; then
  cmake -S . -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$BUILD" --target nimbrel nimbrel-relay
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
(cd "$BUILD" && cpack -G DEB -B "$out" >/dev/null)
deb=$(ls "$out"/nimbrel_*.deb)
echo "package: $(basename "$deb")"

fail() { echo "package: FAILED: $*"; exit 1; }
files=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's#^\./#/#')
for f in /usr/bin/nimbrel /usr/bin/nimbrel-relay \
         /usr/share/applications/nimbrel.desktop \
         /usr/share/icons/hicolor/16x16/apps/nimbrel.png \
         /usr/share/icons/hicolor/256x256/apps/nimbrel.png \
         /usr/share/icons/hicolor/scalable/apps/nimbrel.svg \
         /usr/share/nimbrel/Terms.txt /usr/share/nimbrel/Help.txt /usr/share/nimbrel/Nimbrel.wav \
         /usr/share/nimbrel/help/help.htm /usr/share/nimbrel/help/guidelines.htm \
         /usr/share/nimbrel/help/softwarefaq.htm /usr/share/nimbrel/help/donate.htm \
         /usr/lib/systemd/system/nimbrel-relay.service /usr/share/man/man1/nimbrel-relay.1 \
         /usr/lib/nimbrel/nimbrel_browser.so; do
  grep -qx "$f" <<<"$files" || fail "$f missing from the package"
done
depends=$(dpkg-deb -f "$deb" Depends)
echo "package: depends $depends"
grep -q "libqt6widgets6" <<<"$depends" || fail "dependencies were not computed"
grep -q "libqt6webenginewidgets6" <<<"$depends" || fail "the browser plugin's dependencies were not computed"

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq "$deb" >/dev/null
version=$(QT_QPA_PLATFORM=offscreen /usr/bin/nimbrel --version)
[ "$version" = "Nimbrel $(dpkg-deb -f "$deb" Version)" ] || fail "nimbrel --version said '$version'"
/usr/bin/nimbrel-relay --help | grep -q "^Usage: nimbrel-relay" || fail "nimbrel-relay --help"
# The unit takes admin commands on its private socket, never on a TCP port.
unit=/usr/lib/systemd/system/nimbrel-relay.service
grep -q -- "--admin-socket /run/nimbrel-relay/admin.sock" "$unit" || fail "the unit has no admin socket"
! grep -q -- "--admin " "$unit" || fail "the unit opens an admin port"
$SUDO apt-get remove -y -qq nimbrel >/dev/null
for f in /usr/bin/nimbrel /usr/bin/nimbrel-relay /usr/share/applications/nimbrel.desktop /usr/share/nimbrel /usr/lib/nimbrel; do
  [ ! -e "$f" ] || fail "$f left after removal"
done
echo "package: ok (installed, ran, removed)"
