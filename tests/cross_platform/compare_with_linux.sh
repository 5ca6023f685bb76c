#!/bin/sh
# Runs the Linux tool and, under Wine, the Windows tool on the same inputs and
# compares every byte they write: MIDI files, state documents, piano rolls, printed
# JSON and refusals. The Windows side is given Windows paths (drive Z: is the root
# under Wine), relative and absolute, and file names in Cyrillic.
# usage: compare_with_linux.sh LINUX_BUILD WINE_RUN TAVRENA_EXE DIGESTS_EXE CONFIGS WORK
set -u
linux_build=$1 wine=$2 win_tool=$3 win_digests=$4 configs=$5 work=$6
linux_tool=$linux_build/apps/tavrena
linux_digests=$linux_build/tests/cross_platform/sha256_digests
if [ ! -x "$linux_tool" ] || [ ! -x "$linux_digests" ]; then
  echo "no Linux build at $linux_build (build the release preset first): nothing to compare"
  exit 77
fi
# Wine turns its arguments into the Windows command line through the locale.
export LC_ALL=C.UTF-8

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
winpath() { printf 'Z:%s' "$1" | tr '/' '\\'; }
# Output goes to files, never into a pipe (see wine-run).
on_linux() { (cd "$1" && shift && "$linux_tool" "$@"); }
on_windows() { (cd "$1" && shift && "$wine" "$win_tool" "$@"); }

rm -rf "$work"
mkdir -p "$work/linux" "$work/windows"

"$linux_digests" "$work/linux/digests.txt"
"$wine" "$win_digests" "$(winpath "$work/windows/digests.txt")" </dev/null >/dev/null
[ "$(wc -l <"$work/windows/digests.txt")" -eq 306 ] || fail "the Windows digest list is incomplete"

for config in "$configs"/*.json; do
  name=$(basename "$config" .json)
  lin=$work/linux/$name win=$work/windows/$name
  mkdir -p "$lin" "$win"
  on_linux "$lin" check "$config" >"$lin/check.json"
  on_windows "$win" check "$(winpath "$config")" >"$win/check.json"
  for variant in 0 1 2; do
    on_linux "$lin" generate "$config" --variant $variant -o "Соло $variant.mid" \
      --state "state $variant.json" --svg "roll $variant.svg" 2>/dev/null ||
      fail "$name: the Linux tool refused variant $variant"
    on_windows "$win" generate "$(winpath "$config")" --variant $variant -o "Соло $variant.mid" \
      --state "$(winpath "$win")\\state $variant.json" --svg ".\\roll $variant.svg" 2>/dev/null ||
      fail "$name: the Windows tool refused variant $variant"
    on_linux "$lin" generate "$config" --variant $variant --notes >"$lin/notes $variant.json"
    on_windows "$win" generate "$(winpath "$config")" --variant $variant --notes \
      >"$win/notes $variant.json"
  done
  on_linux "$lin" state "state 1.json" >"$lin/state printed.json"
  on_windows "$win" state "state 1.json" >"$win/state printed.json"
  on_linux "$lin" export "state 2.json" -o "экспорт.mid"
  on_windows "$win" export "$(winpath "$lin")\\state 2.json" -o "экспорт.mid"
  on_linux "$lin" export "state 0.json" --chords -o "chords.mid" 2>/dev/null
  on_windows "$win" export "$(winpath "$lin")\\state 0.json" --chords -o "chords.mid" 2>/dev/null
done

# The Windows build has no FluidSynth: render says so and exits 2, writing nothing.
on_windows "$work/windows" render -o never.wav 2>"$work/render.txt"
status=$?
[ "$status" -eq 2 ] || fail "render on Windows exited $status, expected 2"
grep -q "this build of tavrena cannot make sound" "$work/render.txt" ||
  fail "render on Windows did not say that it cannot make sound: $(cat "$work/render.txt")"
[ ! -e "$work/windows/never.wav" ] || fail "render on Windows wrote a file"

# A refusal: the same exit code and message.
printf '{"bpm": 1000}' >"$work/refused.json"
on_linux "$work/linux" check "$work/refused.json" >/dev/null 2>"$work/linux/refused.txt"
echo "exit $?" >>"$work/linux/refused.txt"
on_windows "$work/windows" check "$(winpath "$work/refused.json")" >/dev/null \
  2>"$work/windows/refused.txt"
echo "exit $?" >>"$work/windows/refused.txt"

(cd "$work/linux" && find . -type f | sort) >"$work/linux.list"
(cd "$work/windows" && find . -type f | sort) >"$work/windows.list"
cmp -s "$work/linux.list" "$work/windows.list" ||
  fail "the two tools wrote different files: $(diff "$work/linux.list" "$work/windows.list")"
compared=0
while IFS= read -r file; do
  compared=$((compared + 1))
  [ -f "$work/windows/$file" ] || continue
  cmp -s "$work/linux/$file" "$work/windows/$file" ||
    fail "$file: the Windows bytes differ from the Linux bytes"
done <"$work/linux.list"
crlf=$(grep -rl "$(printf '\r')" "$work/windows" --include='*.json' --include='*.svg' --include='*.txt')
[ -z "$crlf" ] || fail "carriage returns in the Windows tool's text output: $crlf"
# 3 configurations x (check + 3 x (MIDI, state, SVG, notes) + state + export + chords)
# + digests + refusal
[ "$compared" -eq 50 ] || fail "compared $compared files, expected 50"

echo "compared $compared files: $failures differences"
[ "$failures" -eq 0 ]
