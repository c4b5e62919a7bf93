#!/usr/bin/env bash
# Installs what is missing, builds a release build into build/ and starts WireLab.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIRELAB_BENCH=OFF >/dev/null
cmake --build build --target wirelab
exec build/wirelab "$@"
