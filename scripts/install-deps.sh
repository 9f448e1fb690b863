#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need,
# skipping those already present. Run as root.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev libgl-dev qt6-translations-l10n
  libgtest-dev libgmock-dev
  libssl-dev nlohmann-json3-dev libudev-dev libtomlplusplus-dev libarchive-dev libcli11-dev
  dpkg-dev lintian
  libsqlite3-dev libpq-dev postgresql
  fonts-wqy-microhei
  chromium
  xvfb xauth
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
