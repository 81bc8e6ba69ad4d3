#!/usr/bin/env bash
# Installs every Debian package that building, running and testing Vorn Linux
# needs. This is the one place where packages are named: add yours here.
set -euo pipefail

packages=(
  # tools the tests read our outputs with, and the virtual display
  xvfb xauth x11-apps fonts-dejavu-core imagemagick
  xorriso genisoimage p7zip-full sox cdrdao dosfstools
  fdisk  # sfdisk, for the partition table of hard-disk boot images in the tests
  libisofs-dev  # the image library's own reader, an outside check of our images
  locales-all  # number formats of other locales, checked without generating them
  # build
  build-essential cmake ninja-build pkg-config ccache git
  googletest libgtest-dev libgmock-dev
  libglib2.0-dev libgtk2.0-dev
  zlib1g-dev  # CRC-32 of our own, checked against zlib's in the container tests
  librsvg2-bin gettext
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
