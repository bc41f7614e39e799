#!/usr/bin/env bash
# Builds a release build and starts the game on the bundled sample data.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build-release -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build-release --target pemberly
PEMBERLY_DATA="$PWD/data" exec build-release/pemberly "$@"
