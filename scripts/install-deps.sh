#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Run as root on Debian 12; packages already present are left alone.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcups2-dev cups-daemon cups-client
  qt6-base-dev qt6-svg-dev fonts-ipafont-gothic hp2xx
  python3 clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
