#!/usr/bin/env bash
# Installs the Debian packages WireLab builds and runs with; skips what is already there.
# "tools/install-deps.sh --tests" adds what the tests need: GoogleTest, Qt Test, clang with its
# fuzzing runtime, clang-format.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libudev-dev
          fonts-dejavu-core fonts-liberation2)
if [ "${1:-}" = "--tests" ]; then
  packages+=(libqt6test6 googletest libgtest-dev libgmock-dev clang clang-format libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "Need root or sudo to install: ${missing[*]}" >&2; exit 1; }
  sudo_cmd=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
