#!/usr/bin/env bash
# Sets up the machine, builds the release preset and runs the main job on the
# built-in default phrase.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh release
exe=build/release/apps/tavrena
"$exe" defaults | "$exe" check -
