#!/usr/bin/env bash
# Installs what is missing, builds a Release player in build/ and runs it: ./run.sh [FILE]
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
mirvane_install_packages "${MIRVANE_BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DMIRVANE_TESTS=OFF >/dev/null
cmake --build build --target mirvane mirvane_data -- -j"$(nproc)"

# Without a sound card or sound server SDL2 would fail to open the output; say so and play
# through its silent real-time driver instead.
has_sound() {
  [ -n "${SDL_AUDIODRIVER:-}" ] && return 0
  local rt="${XDG_RUNTIME_DIR:-/run/user/$(id -u)}"
  [ -S "$rt/pulse/native" ] || [ -S "$rt/pipewire-0" ] && return 0
  ls /dev/snd/pcmC*p >/dev/null 2>&1 && return 0
  return 1
}
if ! has_sound; then
  echo "No sound card or sound server found: playing through SDL2's 'dummy' driver (silent)."
  export SDL_AUDIODRIVER=dummy
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "No display found: the player needs a desktop session (or, for example, Xvfb with DISPLAY set)." >&2
  exit 1
fi
exec ./build/mirvane "$@"
