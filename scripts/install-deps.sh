#!/bin/sh
# Brings every build, test and run dependency from Debian's packages,
# installing only what is missing. Runs apt-get as root, through sudo otherwise.
set -e
PACKAGES="
build-essential cmake pkg-config git
libsdl2-dev libopenmpt-dev libjpeg62-turbo-dev libpng-dev zlib1g-dev
libgtest-dev libgmock-dev libbenchmark-dev libssl-dev
libfreetype-dev fonts-dejavu-core
libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev
imagemagick ffmpeg time
clang libclang-rt-14-dev
"
missing=""
for p in $PACKAGES; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
echo "installing:$missing"
if [ "$(id -u)" = 0 ]; then SUDO=""; else SUDO="sudo"; fi
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends $missing
