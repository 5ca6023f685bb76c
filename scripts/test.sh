#!/usr/bin/env bash
# Sets up the machine, checks formatting, then builds and runs every test in every
# test preset; the fuzz preset runs each fuzz target for a minute.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/check-format.sh
presets=(release asan tsan rtsan fuzz)
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
  ctest --preset "$preset" -j "$(nproc)"
done
