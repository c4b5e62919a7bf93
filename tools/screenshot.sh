#!/usr/bin/env bash
# Redraws the README's pictures from the program itself, offscreen: the window, and the device
# menu of com1 (as this machine has them).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DWIRELAB_BENCH=OFF >/dev/null
cmake --build build --target wirelab
QT_QPA_PLATFORM=offscreen build/wirelab --screenshot docs/wirelab-window.png
QT_QPA_PLATFORM=offscreen build/wirelab --menu-screenshot docs/wirelab-port-menu.png
