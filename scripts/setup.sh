#!/usr/bin/env bash
# Installs the Debian packages Tavimo needs to build, test and run.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  python3
  libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev
  clang libclang-rt-14-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libsdl2-dev
  fonts-noto-cjk
  sox valgrind
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
