#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need.
# Run as root on Debian 12; packages already present are left alone.
#   install-deps.sh          everything (build, tests, benchmarks, packaging)
#   install-deps.sh --demo   only what building and running tovrin-batch needs
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config libcli11-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcups2-dev cups-daemon cups-client
  libsqlite3-dev sqlite3 libsystemd-dev
  qt6-base-dev qt6-svg-dev fonts-ipafont-gothic hp2xx
  systemd desktop-file-utils groff-base dpkg-dev adduser qt6-qpa-plugins
  python3 clang libclang-rt-14-dev clang-format
  libcpp-httplib-dev nlohmann-json3-dev chromium chromium-driver python3-selenium
)

# What only the tests, the benchmarks and the package checks use.
test_only=(
  sqlite3 libgtest-dev libgmock-dev libbenchmark-dev cups-daemon cups-client hp2xx
  systemd desktop-file-utils groff-base dpkg-dev adduser qt6-qpa-plugins
  python3 clang libclang-rt-14-dev clang-format
  nlohmann-json3-dev chromium chromium-driver python3-selenium
)

if [ "${1:-}" = --demo ]; then
  wanted=()
  for p in "${packages[@]}"; do
    [[ " ${test_only[*]} " == *" $p "* ]] || wanted+=("$p")
  done
  packages=("${wanted[@]}")
fi

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
