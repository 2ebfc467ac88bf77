#!/usr/bin/env bash
# Sets everything up, builds Nimbrel and starts it against a local relay.
# Arguments go to the client, e.g. scripts/run.sh --data-dir ~/spotter2
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release -DNIMBREL_BENCH=OFF >/dev/null
cmake --build build-release -j "$(nproc)" --target nimbrel nimbrel-relay

exec build-release/nimbrel "$@"
