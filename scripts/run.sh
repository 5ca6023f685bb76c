#!/usr/bin/env bash
# Sets up the machine, builds the release preset (command-line tool and the
# Tavrena.vst3 bundle) and generates the built-in default phrase's solo: solo.mid,
# its piano roll solo.svg and its sound solo.wav (FluidSynth with Debian's General
# MIDI SoundFont) in the current folder.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" release
"$root/build/release/apps/tavrena" generate --svg solo.svg
"$root/build/release/apps/tavrena" render -o solo.wav
echo "VST 3 bundle: $root/build/release/VST3/Tavrena.vst3 (install with scripts/install-vst3.sh)"
