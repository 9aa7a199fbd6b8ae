#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs; quick when all are present.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev clang-format libzip-dev
  qt6-base-dev libqt6svg6 qt6-translations-l10n libicu-dev fonts-ipafont-gothic fonts-ipafont-mincho xvfb xauth
  libreoffice-writer-nogui python3-uno poppler-utils libraptor2-dev raptor2-utils libxml2-dev)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -q
  "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
