#!/bin/sh
# Installs what is missing, builds, makes the data set when there is none, and runs
# the show full-screen. Without a display it writes the show as a video instead.
set -e
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DTOVIRA_BENCH=OFF > /dev/null
cmake --build build -j"$(nproc)" --target tovira tovira-makedata tovira-capture 2> /dev/null ||
    cmake --build build -j"$(nproc)" --target tovira tovira-makedata
[ -d data ] || ./build/tovira-makedata data

if [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    exec ./build/tovira
fi
echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set)."
if [ -x build/tovira-capture ]; then
    echo "Writing the show as a video instead: $(pwd)/tovira.mp4"
    exec ./build/tovira-capture tovira.mp4
fi
exec ./build/tovira
