#!/usr/bin/env bash
# Installs the Debian packages Tavo needs to build, test, package and run, when they are
# missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev libgl-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-noto-cjk
  xvfb xauth x11-apps imagemagick
  python3-pyftpdlib vsftpd curl openssl ca-certificates nftables
  libzip-dev zip unzip
  librsvg2-bin dpkg-dev file lintian desktop-file-utils appstream tidy
)

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = "installed" ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
