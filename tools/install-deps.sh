#!/usr/bin/env bash
# Installs every Debian package the project needs to build, run and test.
# Idempotent and non-interactive; run as root (or through sudo) on Debian 12.
set -euo pipefail

BUILD_PACKAGES=(
  cmake g++ pkg-config make
  libmp3lame-dev libgsm1-dev libmad0-dev libvorbisidec-dev libogg-dev libmpcdec-dev
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libicu-dev libsqlite3-dev libpng-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libglib2.0-dev libpulse-dev
  python3 librsvg2-bin
  libx11-dev
  xdg-utils
  libtag1-dev
  libsoundtouch-dev
  dpkg-dev file
)
# Peers the tests compare against, and the fuzzing toolchain.
TEST_PACKAGES=(clang libclang-rt-14-dev sox ffmpeg mpg123 lame vorbis-tools musepack-tools xvfb pulseaudio pipewire pipewire-pulse wireplumber
  id3v2 python3-mutagen dbus python3-dbusmock xdotool imagemagick
  libglib2.0-bin desktop-file-utils appstream man-db systemd
  playerctl)
# The players whose reading of our MP3 info frame the tests check.
TEST_PACKAGES+=(eyed3 libimage-exiftool-perl mediainfo)
# The layout check (tools/format.sh --check): Debian 12's clang-format is the one the tree follows.
TEST_PACKAGES+=(clang-format)

want=("${BUILD_PACKAGES[@]}")
if [ "${1:-}" = "--with-tests" ]; then want+=("${TEST_PACKAGES[@]}"); fi

missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
