#!/usr/bin/env bash
# Installs what the build and the tests need (Debian packages, only when missing),
# then configures and builds the project in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev openssl curl time
  libboost-regex-dev
  libpng-dev zlib1g-dev unifont
  python3 python3-aiosmtpd dnsmasq-base
  clang-14 libclang-rt-14-dev
  libc-bin tzdata
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
fi

./scripts/build.sh build
