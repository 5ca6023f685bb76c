#!/usr/bin/env bash
# Sets up the machine, then builds and runs every test in every test preset.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
presets=(release asan tsan rtsan)
for preset in "${presets[@]}"; do
  echo "== $preset"
  scripts/build.sh "$preset"
  ctest --preset "$preset" -j "$(nproc)"
done
