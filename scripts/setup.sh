#!/usr/bin/env bash
# Installs the Debian packages the game and its tests need, only when some are missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  libsdl1.2-dev libsdl-mixer1.2-dev libgl-dev libglu1-mesa-dev libpng-dev zlib1g-dev libcurl4-openssl-dev
  libvorbis-dev libmp3lame-dev libfreetype-dev fonts-dejavu-core
  libmad0-dev
)
if [[ "${1:-}" == "--tests" ]]; then
  packages+=(googletest libgtest-dev libgmock-dev xvfb xauth xdotool libxtst-dev libgl1-mesa-dri python3 vorbis-tools lame)
fi
if [[ "${1:-}" == "--bench" ]]; then
  packages+=(libbenchmark-dev xvfb xauth libgl1-mesa-dri)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if (( ${#missing[@]} )); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
