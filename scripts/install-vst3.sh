#!/usr/bin/env bash
# Installs the built Tavrena.vst3 bundle for the current user (~/.vst3), where Linux
# DAWs look for VST 3 plug-ins. Running it again replaces the installed bundle.
#
#   scripts/install-vst3.sh [BUILD_DIR]        (default: build/release)
#
# Set VST3_DIR to install somewhere else.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build_dir="${1:-$here/../build/release}"
bundle="$build_dir/VST3/Tavrena.vst3"
target_dir="${VST3_DIR:-$HOME/.vst3}"

binary="$(find "$bundle/Contents" -mindepth 2 -maxdepth 2 -path '*-linux/Tavrena.so' 2>/dev/null | head -n 1 || true)"
if [[ -z "$binary" ]]; then
  echo "install-vst3: no built bundle at $bundle (build the tavrena_vst3 target first)" >&2
  exit 1
fi

mkdir -p "$target_dir"
# Copy next to the destination first and swap it in, so that an interrupted copy never
# leaves a half-written bundle where a DAW would load it.
staging="$(mktemp -d "$target_dir/.Tavrena.vst3.XXXXXX")"
trap 'rm -rf "$staging"' EXIT
cp -R "$bundle" "$staging/Tavrena.vst3"
rm -rf "$target_dir/Tavrena.vst3"
mv "$staging/Tavrena.vst3" "$target_dir/Tavrena.vst3"
echo "Installed $target_dir/Tavrena.vst3"
