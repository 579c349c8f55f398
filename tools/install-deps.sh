#!/bin/sh
# Installs, from Debian's archive, whichever of the build and test packages
# this machine lacks. Installs nothing when all are present.
set -eu
packages="make cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64 libwine xvfb xauth xserver-xorg-core xserver-xorg-video-dummy libgl1-mesa-dri
  googletest libbenchmark-dev libjpeg-turbo-progs libturbojpeg0-dev
  imagemagick x11-apps xdotool nsis zip unzip fonts-dejavu-core libfreetype-dev pkg-config fonts-wine"
missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "Installing:$missing"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends $missing
