#!/usr/bin/env bash
# Installs the Debian packages Pelmar needs to build, run and test, when any is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libqt6svg6 adwaita-icon-theme qt6-translations-l10n
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libhunspell-dev hunspell-ru hunspell-en-us
  fonts-terminus-otb fonts-dejavu-core
  crashmail
  # the desktop notifications' tests start a private message bus
  dbus-daemon
  clang libclang-rt-dev
  # the icons, man pages and Debian package, and their validators
  librsvg2-bin gzip dpkg-dev
  desktop-file-utils appstream man-db
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [[ $(id -u) -ne 0 ]]; then SUDO="sudo"; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
