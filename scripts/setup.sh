#!/usr/bin/env bash
# Installs what building, running and testing Nimbrel needs on Debian 12.
# Idempotent: only missing packages are installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-multimedia-dev qt6-webengine-dev libqt6sql6-sqlite libgl-dev
  libgtest-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool
  ngircd dbus-daemon
  postgresql redis-server libhiredis-dev libqt6sql6-psql
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# ngircd's package starts a system daemon on port 6667; the benchmark runs its own.
if printf '%s\n' "${missing[@]}" | grep -qx ngircd; then
  $SUDO systemctl disable --now ngircd >/dev/null 2>&1 || $SUDO service ngircd stop >/dev/null 2>&1 || true
fi
# The same for the database and the message bus: tests and benchmarks start
# throwaway servers of their own on free ports.
for daemon in postgresql redis-server; do
  if printf '%s\n' "${missing[@]}" | grep -qx "$daemon"; then
    $SUDO systemctl disable --now "$daemon" >/dev/null 2>&1 || $SUDO service "$daemon" stop >/dev/null 2>&1 || true
  fi
done
