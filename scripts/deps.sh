#!/usr/bin/env bash
# Makes sure the build dependencies are present: installs the missing ones
# with apt-get when run as root, and names them otherwise.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libxml2-dev libxml2-utils
          googletest libgtest-dev libgmock-dev libbenchmark-dev groff-base
          libmimalloc-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  echo "Installing missing build dependencies: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing build dependencies: ${missing[*]}" >&2
  echo "Install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
