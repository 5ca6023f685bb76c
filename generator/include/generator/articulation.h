#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "theory/config.h"
#include "theory/json.h"
#include "theory/timeline.h"

namespace tavrena {

// A stored note read back in ticks.
struct NoteRecord {
  std::int32_t start_tick = 0;
  std::int32_t end_tick = 0;
  std::int32_t pitch = 0;
  std::int32_t velocity = 0;
  friend bool operator==(const NoteRecord&, const NoteRecord&) = default;
};

// A proposed bend or slide.
struct ArticulationCandidate {
  std::uint64_t note = 0;     // index of the (first) note
  std::int32_t segment = 0;   // timeline segment holding that note's start
  std::int32_t score = 0;     // higher first
  std::int32_t string = 0;    // guitar string 1..6
  std::int32_t glide_ms = 0;  // 160 bends, 110 slides
  std::int32_t span = 1;      // 1: bend into a note; 2: glide into the next note
  std::int32_t from_pitch = 0;
  std::int32_t target_tick = 0;  // where the glide arrives
  bool is_bend = true;
  friend bool operator==(const ArticulationCandidate&, const ArticulationCandidate&) = default;
};

// The first string (1..3 for bends, 1..6 otherwise) that can play from -> to
// within 22 frets (a bend needs fret 5 or higher), or 0.
std::int32_t guitarStringFor(std::int32_t from, std::int32_t to, bool isBend);

// Index of the last segment whose start_tick <= tick (0 when none).
std::size_t segmentAt(const std::vector<TimelineSegment>& segments, std::int32_t tick);

// Reads a variant's note objects. A missing key or a non-number raises the JSON
// library's error; a time that does not fit the tick range raises
// std::invalid_argument "note duration", a pitch or velocity outside MIDI data
// bytes std::invalid_argument "note".
std::vector<NoteRecord> readNoteRecords(const Json& notes);

// Bends into notes first (by note), then pair candidates (by first note, bend
// before slide). Empty when articulations_per_phrase is 0.
std::vector<ArticulationCandidate> collectArticulationCandidates(
    const std::vector<NoteRecord>& notes, const std::vector<TimelineSegment>& segments,
    const SoloSettings& solo);

// Ranks the candidates (score, note, bends first; otherwise production order)
// and returns the accepted ones in acceptance order.
std::vector<ArticulationCandidate> selectArticulations(
    std::vector<ArticulationCandidate> candidates, const std::vector<NoteRecord>& notes,
    const std::vector<TimelineSegment>& segments, const SoloSettings& solo);

}  // namespace tavrena
