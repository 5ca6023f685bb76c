#!/usr/bin/env bash
# Sets up the machine, checks formatting, then builds and runs every test in every
# test preset; the fuzz preset runs each fuzz target for a minute. The windows preset
# cross-compiles with mingw-w64 and runs its tests under Wine, after the Linux release
# build, with which it compares its output byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --windows
scripts/check-format.sh
# Under a virtual display, for the save dialog and the drag. Wine's server and services
# are stopped at the end: left running, they would hold this run's output open.
run_windows_tests() {
  local prefix="$PWD/build/windows/wine/prefix" status=0
  if ! ctest --preset windows -N | grep -q 'Total Tests: [1-9][0-9][0-9]' ||
    ! ctest --preset windows -N -R '^cross\.same_bytes_as_linux$' | grep -q 'Total Tests: 1'; then
    echo "test: the Windows tests were not configured (is Wine installed?)" >&2
    exit 1
  fi
  # A server from the build would have no display.
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  xvfb-run -a ctest --preset windows -j "$(nproc)" || status=$?
  WINEPREFIX="$prefix" /usr/lib/wine/wineserver -k 2>/dev/null || true
  return "$status"
}

presets=(release windows asan tsan rtsan fuzz)
for preset in "${presets[@]}"; do
  echo "== $preset"
  scripts/build.sh "$preset"
  if [ "$preset" = release ] && ! ctest --preset release -N -R '^e2e\.' | grep -q 'Total Tests: [1-9]'; then
    echo "test: the browser tests were not configured (see the configure output)" >&2
    exit 1
  fi
  if [ "$preset" = release ] &&
    ! ctest --preset release -N -R '^(helper_browser|embedded_view)$' | grep -q 'Total Tests: 2'; then
    echo "test: the embedded Linux editor's tests were not configured (see the configure output)" >&2
    exit 1
  fi
  if [ "$preset" = windows ]; then
    run_windows_tests
    continue
  fi
  ctest --preset "$preset" -j "$(nproc)"
done
