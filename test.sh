#!/usr/bin/env bash
# Installs what is missing, checks the formatting, builds the tests twice (plain and under
# AddressSanitizer with UndefinedBehaviorSanitizer) and runs the whole suite with ctest in both.
set -euo pipefail
cd "$(dirname "$0")"
source scripts/deps.sh
mirvane_install_packages "${MIRVANE_BUILD_PACKAGES[@]}" "${MIRVANE_TEST_PACKAGES[@]}"

export QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy
jobs="$(nproc)"

run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir" -- -j"$jobs"
  ctest --test-dir "$dir" --output-on-failure -j"$jobs"
}

echo "== Format =="
scripts/check_format.sh

echo "== Tests =="
run_suite build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVANE_TESTS=ON
echo "== Tests under AddressSanitizer and UndefinedBehaviorSanitizer =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0" \
  run_suite build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DMIRVANE_TESTS=ON -DMIRVANE_SANITIZE=ON
