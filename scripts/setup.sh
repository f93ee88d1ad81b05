#!/usr/bin/env bash
# Installs whatever this project needs on a Debian 12 machine and is not there yet.
# Quick when everything is already installed: it only asks dpkg.
set -euo pipefail

packages=(
  g++ make cmake pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins libqt6gui6 zlib1g-dev libharfbuzz-dev libfreetype-dev libfontconfig-dev
  qt6-l10n-tools qt6-translations-l10n
  dpkg-dev file desktop-file-utils
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-ipafont-gothic fonts-dejavu-core fonts-comfortaa fonts-urw-base35 fonts-noto-color-emoji fontconfig
  xvfb libx11-6 libxtst6 python3 python3-fonttools
  love libgl1-mesa-dri libglx-mesa0
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
