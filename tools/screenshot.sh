#!/usr/bin/env bash
# Redraws docs/wirelab-window.png from the program itself, offscreen.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIRELAB_BENCH=OFF >/dev/null
cmake --build build --target wirelab
QT_QPA_PLATFORM=offscreen build/wirelab --screenshot docs/wirelab-window.png
