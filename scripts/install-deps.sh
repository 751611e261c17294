#!/usr/bin/env bash
# Installs the Debian packages kavro needs to build, run and test.
# Idempotent: when every package is already present it returns at once.
set -euo pipefail

PACKAGES=(
  build-essential cmake pkg-config
  liblua5.1-0-dev
  libsdl1.2-dev libsdl-image1.2-dev libsdl-ttf2.0-dev libsdl-mixer1.2-dev
  libsdl-net1.2-dev libsdl-gfx1.2-dev
  libphysfs-dev libminizip-dev zlib1g-dev
  googletest libgtest-dev
  xvfb xauth xdotool zip fonts-dejavu-core
  python3-pygame python3-pil
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
