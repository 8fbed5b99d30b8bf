#!/usr/bin/env bash
# Installs the Debian packages the build, the host tools and the tests need,
# when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev libgmock-dev
          nlohmann-json3-dev libreadline-dev socat
          python3-gammu libgammu-dev)
# the CRC-16/X.25 and Intel HEX oracles of the firmware download tests
packages+=(python3-crcmod python3-intelhex)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
