#!/usr/bin/env bash
# Installs the Debian 12 packages the build and the tests need, only those that are missing.
set -euo pipefail
PACKAGES=(build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev qt6-base-dev
          libssl-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth imagemagick socat)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
