#!/usr/bin/env bash
# Installs the Debian packages that building, running, testing and packaging
# Corvid need.
# Idempotent: apt-get runs only when a package is missing.
set -euo pipefail
packages=(
  build-essential cmake pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-image-formats-plugins libgl1-mesa-dev
  libmdb3 mdbtools-dev mdbtools  # only the tests use them, as an independent oracle
  qt6-qpa-plugins fonts-dejavu-core xvfb xauth
  dpkg-dev file lintian desktop-file-utils
  libgsf-1-dev libzip-dev libssl-dev libxml2-dev zlib1g-dev
  clang-14 libclang-rt-14-dev clang-format
)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  if [ "$(id -u)" != 0 ]; then sudo=sudo; fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
