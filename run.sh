#!/usr/bin/env bash
# Installs what is missing, builds a release build of both programs into build/ (the window,
# wirelab, and the headless wirelab-cli) and starts the window.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIRELAB_TESTS=OFF >/dev/null
cmake --build build --target wirelab wirelab-cli
exec build/wirelab "$@"
