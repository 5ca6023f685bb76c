// State stream bytes -> readStateStream -> writeStandardMidiFile, as a host restoring
// a damaged or hostile project would drive it. Refusals are the expected outcome;
// a crash, a sanitizer report or a broken invariant is a finding.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memory_stream.h"
#include "midi/smf_writer.h"
#include "state/state_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks how the host fragments its reads (0: as asked).
  const auto fragment = static_cast<Steinberg::int32>(data[0] % 8);
  tavrena::testing::MemoryStream stream(
      std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
  if (fragment > 0) stream.setReadPattern({fragment, 4096, fragment * 31});

  tavrena::Json state;
  if (!tavrena::readStateStream(&stream, state)) return 0;

  // What was accepted saves and restores to the same document.
  tavrena::testing::MemoryStream saved;
  if (tavrena::writeStateStream(&saved, state) != Steinberg::kResultOk) std::abort();
  saved.rewind();
  tavrena::Json restored;
  if (!tavrena::readStateStream(&saved, restored) || restored != state) std::abort();

  try {
    const auto midi = tavrena::writeStandardMidiFile(state);
    if (midi.size() < 14 || midi[0] != 'M' || midi[1] != 'T' || midi[2] != 'h' || midi[3] != 'd')
      std::abort();
  } catch (const std::exception&) {
    // A configuration can be valid for the document and still too large to lay out.
  }
  return 0;
}
