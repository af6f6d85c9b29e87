# Sourced by run.sh and test.sh: installs the Debian packages the build needs, only when missing.
MIRVANE_BUILD_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  libmpg123-dev libvorbis-dev libsndfile1-dev libopenmpt-dev libsoxr-dev libsdl2-dev
  libkissfft-dev libcurl4-openssl-dev zlib1g-dev
)
MIRVANE_TEST_PACKAGES=(
  googletest libgtest-dev libbenchmark-dev clang clang-format-14 libclang-rt-14-dev python3 python3-mutagen
  sox libsox-fmt-mp3 lame libtag1-dev xvfb xauth imagemagick desktop-file-utils appstream
  icecast2 ezstream dbus-daemon weston qt6-wayland
)

mirvane_install_packages() {
  local missing=()
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
