#!/bin/sh
# Rebuilds the shipped skins' art and data/Skins.ini from tools/make_skins.cpp.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-tools}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target make_skins -- -j2
"$build/tests/make_skins" "$root/data"
