#!/usr/bin/env bash
# Installs everything the build needs on Debian 12. Safe to run again: it only
# installs what is missing and unpacks the VST 3 SDK subset once. With --windows it
# also installs the mingw-w64 cross-compiler and Wine for the Windows build.
set -euo pipefail
cd "$(dirname "$0")/.."

# Download folders, removed on exit.
scratch=()
trap 'rm -rf "${scratch[@]}"' EXIT

windows=0
case "${1:-}" in
  --windows) windows=1 ;;
  "") ;;
  -h | --help)
    echo "usage: scripts/setup.sh [--windows]"
    exit 0
    ;;
  *)
    echo "setup: unknown option $1 (usage: scripts/setup.sh [--windows])" >&2
    exit 2
    ;;
esac

if [ "$(id -u)" -eq 0 ]; then SUDO=""; else SUDO="sudo"; fi

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  nlohmann-json3-dev libssl-dev libcpp-httplib-dev
  clang-format
  clang-22 libclang-rt-22-dev
  chromium
  libwebkit2gtk-4.1-dev libgtk-3-dev libx11-dev libxtst-dev xvfb xauth
  libfluidsynth-dev libsndfile1-dev libglib2.0-dev libasound2-dev fluidsynth timgm6mb-soundfont
)
# Only the posix-thread compiler: the metapackage would also install the win32-thread
# variant, whose thread model rejects std::future and std::mutex.
if [ "$windows" -eq 1 ]; then
  packages+=(g++-mingw-w64-x86-64-posix wine64 dpkg-dev)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The VST 3 SDK subset ships inside Debian's JUCE module sources. Installing the
# package would pull in hundreds of megabytes of desktop libraries, so we fetch the
# archive and unpack only the SDK folder.
sdk_dir="third_party/vst3sdk"
if [ ! -f "$sdk_dir/pluginterfaces/base/funknown.h" ]; then
  work=$(mktemp -d)
  scratch+=("$work")
  (cd "$work" && apt-get download juce-modules-source-data >/dev/null 2>&1) || {
    $SUDO apt-get update -qq
    (cd "$work" && apt-get download juce-modules-source-data)
  }
  dpkg-deb -x "$work"/juce-modules-source-data_*.deb "$work/x"
  src=$(find "$work/x" -type d -name VST3_SDK | head -n 1)
  [ -n "$src" ] || { echo "setup: VST3_SDK folder not found in juce-modules-source-data" >&2; exit 1; }
  mkdir -p "$sdk_dir"
  cp -R "$src"/. "$sdk_dir"/
  echo "setup: VST 3 SDK subset unpacked into $sdk_dir"
fi

# The Windows build compiles cpp-httplib from Debian's source package of the installed
# version: the binary package ships only the declarations of a Linux library.
httplib_dir="third_party/cpp-httplib"
if [ "$windows" -eq 1 ] && [ ! -f "$httplib_dir/httplib.h" ]; then
  version=$(dpkg-query -W -f='${Version}' libcpp-httplib-dev)
  work=$(mktemp -d)
  scratch+=("$work")
  mkdir -p "$work/lists/partial"
  printf '%s\n' "deb-src http://deb.debian.org/debian bookworm main" \
    "deb-src http://deb.debian.org/debian-security bookworm-security main" >"$work/sources.list"
  apt_src=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/nonexistent
    -o Dir::State::Lists="$work/lists" -o Debug::NoDropPrivs=true)
  apt-get "${apt_src[@]}" update -qq
  (cd "$work" && apt-get "${apt_src[@]}" source -qq --download-only "cpp-httplib=$version")
  (cd "$work" && dpkg-source -q -x cpp-httplib_*.dsc src >/dev/null 2>&1) ||
    { echo "setup: unpacking the cpp-httplib source package failed" >&2; exit 1; }
  mkdir -p "$httplib_dir"
  cp "$work/src/httplib.h" "$work/src/LICENSE" "$httplib_dir"/
  echo "setup: cpp-httplib $version (header-only) unpacked into $httplib_dir"
fi

# The browser tests drive Debian's chromium through playwright-core; npm must never
# fetch a browser of its own.
e2e="tests/e2e"
if ! command -v npm >/dev/null; then
  echo "setup: npm not found; the browser tests of tavrena editor will be skipped"
elif [ ! -d "$e2e/node_modules" ] || [ "$e2e/package-lock.json" -nt "$e2e/node_modules" ]; then
  echo "setup: installing the browser tests' node packages"
  (cd "$e2e" && PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
  touch "$e2e/node_modules"
fi
