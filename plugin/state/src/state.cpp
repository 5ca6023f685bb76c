#include "state/state.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

#include "theory/config.h"
#include "theory/json_read.h"
#include "theory/message_text.h"
#include "theory/ticks.h"

namespace tavrena {
namespace {

// One tick less 1e-9: the shortest note a state may hold.
constexpr double kMinNoteLength = 0.0020833323333333334;
// A note may end this far past the phrase end (rounding of starts and lengths).
constexpr double kEndTolerance = 1e-6;

[[noreturn]] void refuse(const std::string& message) {
  throw std::invalid_argument(message);
}

// Where a note lies, for the messages that name it: variants[1][4].
struct NotePlace {
  std::size_t variant = 0;
  std::size_t index = 0;
  std::string path() const { return elementPath(elementPath("variants", variant), index); }
};

// A present switch must be a JSON boolean.
bool readSwitch(const Json& input, const char* key, bool fallback) {
  const auto it = input.find(key);
  return it == input.end() ? fallback : readBoolean(*it, key);
}

// True when value is a JSON integer within [low, high]; the test is made on the
// full 64-bit value so that, say, 2^32 + 60 is not mistaken for 60.
bool integerWithin(const Json& value, std::int64_t low, std::int64_t high, std::int32_t& out) {
  if (value.is_number_unsigned()) {
    const std::uint64_t u = value.get<std::uint64_t>();
    if (low > 0 && u < static_cast<std::uint64_t>(low)) return false;
    if (u > static_cast<std::uint64_t>(high)) return false;
    out = static_cast<std::int32_t>(u);
    return true;
  }
  if (value.is_number_integer()) {
    const std::int64_t i = value.get<std::int64_t>();
    if (i < low || i > high) return false;
    out = static_cast<std::int32_t>(i);
    return true;
  }
  return false;
}

// An integer field of the older layout. Reals are truncated and booleans count as 0
// or 1, as the library's integer conversion does; but a value beyond 32 bits is kept
// whole instead of wrapping (a seed of 2^32 + 42 must not turn into 42), so the
// configuration's own checks see the number the user wrote.
Json olderInteger(const Json& input, const char* key, int fallback) {
  const auto it = input.find(key);
  if (it == input.end()) return fallback;
  const Json& value = *it;
  if (value.is_number_integer()) return value;
  if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
  if (value.is_number_float()) {
    const double whole = std::trunc(value.get<double>());
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (whole >= -kLimit && whole < kLimit) return static_cast<std::int64_t>(whole);
    return whole;  // infinities and huge reals stay reals; the checks refuse them
  }
  throwTypeError(key, "number", value);
}

// Older documents kept the configuration in top-level fields; rebuild it on top of
// the default configuration.
Json configFromOlderLayout(const Json& input) {
  Json config = defaultConfig();
  const Json& chords = input.at("chords");
  if (!chords.is_array()) throwTypeError("chords", "array", chords);
  Json progression = Json::array();
  for (std::size_t i = 0; i < chords.size(); ++i)
    progression.push_back(memberAt(chords[i], "name", elementPath("chords", i)));
  config["progression"] = std::move(progression);
  const auto bpm = input.find("bpm");
  if (bpm == input.end())
    config["bpm"] = 120.0;
  else if (bpm->is_number() || bpm->is_boolean())  // a boolean reads as 0 or 1, then fails
    config["bpm"] = bpm->get<double>();
  else
    throwTypeError("bpm", "number", *bpm);
  config["seed"] = olderInteger(input, "seed", 42);
  const Json numerator = olderInteger(input, "numerator", 4);
  const Json denominator = olderInteger(input, "denominator", 4);
  config["meter"] = numerator.dump() + "/" + denominator.dump();
  return config;
}

// A present "variation" must be a number or a boolean (else the library's type
// error); only a JSON integer from 0 to 2 is accepted.
std::int32_t readVariation(const Json& input) {
  const auto it = input.find("variation");
  if (it == input.end()) return 0;
  const Json& value = *it;
  if (!value.is_number() && !value.is_boolean()) throwTypeError("variation", "number", value);
  std::int32_t variation = 0;
  if (!integerWithin(value, 0, 2, variation)) refuse("variation");
  return variation;
}

// The members of a note that are read, found in one pass over the note's members
// rather than four keyed look-ups. J is Json or const Json.
template <typename J>
struct NoteMembers {
  J* start = nullptr;
  J* length = nullptr;
  J* pitch = nullptr;
  J* velocity = nullptr;
  std::size_t count = 0;  // members of the note, read or not

  explicit NoteMembers(J& note) {
    if (!note.is_object()) return;
    using Object = std::conditional_t<std::is_const_v<J>, const Json::object_t, Json::object_t>;
    Object& object = note.template get_ref<Object&>();
    count = object.size();
    for (auto& [key, value] : object) {
      if (key == "start")
        start = &value;
      else if (key == "length")
        length = &value;
      else if (key == "pitch")
        pitch = &value;
      else if (key == "velocity")
        velocity = &value;
    }
  }
  bool exactlyTheFour() const {
    return count == 4 && start != nullptr && length != nullptr && pitch != nullptr &&
           velocity != nullptr;
  }
};

// A missing member raises the library's error naming the note, in the order in which
// keyed reads would raise it.
const Json& member(const Json* found, const Json& note, const char* key, const NotePlace& place) {
  return found != nullptr ? *found : memberAt(note, key, place.path());
}

// A number as a real; booleans are refused (the library would read 0 or 1).
double noteReal(const Json& value, const char* key, const NotePlace& place) {
  if (!value.is_number()) throwTypeError(fieldPath(place.path(), key), "number", value);
  return value.get<double>();
}

struct NoteValues {
  double start = 0.0;
  double length = 0.0;
  std::int32_t pitch = 0;
  std::int32_t velocity = 0;
};

template <typename J>
NoteValues checkNote(const NoteMembers<J>& members, const Json& note, double total,
                     const NotePlace& place) {
  NoteValues v;
  v.start = noteReal(member(members.start, note, "start", place), "start", place);
  v.length = noteReal(member(members.length, note, "length", place), "length", place);
  const bool fits = std::isfinite(v.start) && std::isfinite(v.length) && v.start >= 0.0 &&
                    v.length >= kMinNoteLength && v.start < total &&
                    v.start + v.length <= total + kEndTolerance;
  if (!fits) refuse("note duration");
  const Json& pitch = member(members.pitch, note, "pitch", place);
  const Json& velocity = member(members.velocity, note, "velocity", place);
  if (!pitch.is_number_integer() || !velocity.is_number_integer()) refuse("note");
  if (!integerWithin(pitch, 0, 127, v.pitch) || !integerWithin(velocity, 1, 127, v.velocity))
    refuse("note");
  return v;
}

Json makeNote(const NoteValues& v) {
  // Keys in ascending order, each placed at the end without a search.
  Json::object_t out;
  out.emplace_hint(out.end(), "length", v.length);
  out.emplace_hint(out.end(), "pitch", v.pitch);
  out.emplace_hint(out.end(), "start", v.start);
  out.emplace_hint(out.end(), "velocity", v.velocity);
  return Json(std::move(out));
}

Json normalizeNote(const Json& note, double total, double& start, const NotePlace& place) {
  const NoteValues v = checkNote(NoteMembers<const Json>(note), note, total, place);
  start = v.start;
  return makeNote(v);
}

// A note the caller gave up: when it has exactly the four members it is reused with
// its values rewritten, which saves building and freeing a map per note.
Json normalizeNote(Json& note, double total, double& start, const NotePlace& place) {
  const NoteMembers<Json> members(note);
  const NoteValues v = checkNote(members, note, total, place);
  start = v.start;
  if (!members.exactlyTheFour()) return makeNote(v);
  *members.start = v.start;
  *members.length = v.length;
  *members.pitch = v.pitch;
  *members.velocity = v.velocity;
  return std::move(note);
}

template <typename J>
Json normalizeVariant(J& notes, double total, std::size_t variant) {
  // The fixed text "notes", preceded by which variant it is about.
  if (!notes.is_array() || notes.size() > kMaxNotesPerVariant)
    refuse(elementPath("variants", variant) + ": notes");
  Json::array_t out;
  out.reserve(notes.size());
  std::vector<double> starts(notes.size());
  for (std::size_t i = 0; i < notes.size(); ++i)
    out.push_back(normalizeNote(notes[i], total, starts[i], NotePlace{variant, i}));
  // Generated variants arrive sorted; only reorder when needed, and stably.
  if (!std::is_sorted(starts.begin(), starts.end())) {
    std::vector<std::size_t> order(out.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return starts[a] < starts[b]; });
    Json::array_t sorted;
    sorted.reserve(out.size());
    for (std::size_t i : order) sorted.push_back(std::move(out[i]));
    out = std::move(sorted);
  }
  return Json(std::move(out));
}

// Counts serialised bytes without keeping them, and stops as soon as the limit is
// passed, so a huge state is refused without first building a huge string.
class SizeLimitedOutput final : public nlohmann::detail::output_adapter_protocol<char> {
 public:
  struct Exceeded {};
  explicit SizeLimitedOutput(std::size_t limit) : limit_(limit) {}
  void write_character(char /*c*/) override { add(1); }
  void write_characters(const char* /*s*/, std::size_t length) override { add(length); }
  std::size_t count() const { return count_; }

 private:
  void add(std::size_t n) {
    count_ += n;
    if (count_ > limit_) throw Exceeded{};
  }
  std::size_t limit_;
  std::size_t count_ = 0;
};

// The length of the text serializeState would write, or limit + 1 when it is longer.
// Strict UTF-8 as when writing: text that could not be written out is refused here
// with the library's error.
std::size_t serialisedSize(const Json& value, std::size_t limit) {
  const auto output = std::make_shared<SizeLimitedOutput>(limit);
  nlohmann::detail::serializer<Json> serializer(output, ' ', Json::error_handler_t::strict);
  try {
    serializer.dump(value, false, false, 0);
  } catch (const SizeLimitedOutput::Exceeded&) {
    return limit + 1;
  }
  return output->count();
}

// Most serialised bytes of one normalised note, its separating comma included:
// {"length":L,"pitch":P,"start":S,"velocity":V} with reals of at most 24 characters.
constexpr std::size_t kMaxNoteBytes = 1 + 9 + 24 + 9 + 3 + 9 + 24 + 12 + 3 + 1 + 1;

// Whether the serialised state is longer than the limit. Notes hold no text, so when
// the rest of the document plus a bound on the notes fits, the notes need not be
// formatted at all; only a state near the limit is counted in full.
bool serialisedLongerThanLimit(Json& state) {
  std::size_t notes = 0;
  for (const Json& variant : state.at("variants")) notes += variant.size();
  Json variants = Json::array({Json::array(), Json::array(), Json::array()});
  state["variants"].swap(variants);
  const std::size_t rest = serialisedSize(state, kMaxStateBytes);
  state["variants"].swap(variants);
  if (rest > kMaxStateBytes) return true;
  if (notes <= (kMaxStateBytes - rest) / kMaxNoteBytes) return false;
  return serialisedSize(state, kMaxStateBytes) > kMaxStateBytes;
}

// J is const Json, or Json for a document the caller gave up (its configuration
// and notes are then moved rather than copied).
template <typename J>
Json normalizeStateImpl(J& input, Json* normalisedConfig) {
  if (!input.is_object()) refuse("State must be an object");

  const auto configIt = input.find("config");
  Json config;
  Json normalised;
  if (configIt == input.end()) {
    // Older layout: no "config", the phrase in top-level fields.
    config = input.contains("chords") ? configFromOlderLayout(input) : defaultConfig();
    normalised = normalizeConfig(config);
  } else {
    // Checked where it lies, then kept: an accepted configuration holds only checked
    // fields, so nothing deep or huge is ever copied.
    normalised = normalizeConfig(*configIt);
    if constexpr (std::is_const_v<J>)
      config = *configIt;
    else
      config = std::move(*configIt);
    if (config.is_array()) {
      Json wrapped = Json::object();
      wrapped["progression"] = std::move(config);
      config = std::move(wrapped);
    }
  }
  // The normalised configuration only feeds the derived fields; the document keeps
  // the configuration as the user wrote it.
  const Json& segments = normalised.at("bars");

  const bool sync = readSwitch(input, "sync", false);
  const bool loop = readSwitch(input, "loop", true);
  const bool randomSeed = readSwitch(input, "randomSeed", false);
  const std::int32_t variation = readVariation(input);

  Json state = Json::object();
  state["version"] = 2;
  state["config"] = std::move(config);
  state["sync"] = sync;
  state["loop"] = loop;
  state["randomSeed"] = randomSeed;
  state["variation"] = variation;
  state["variants"] = Json::array({Json::array(), Json::array(), Json::array()});
  const Json& first = segments.at(0);
  state["bpm"] = first.at("bpm");
  state["numerator"] = first.at("meter").at(0);
  state["denominator"] = first.at("meter").at(1);
  state["bars"] = segments.size();

  Json chords = Json::array();
  Json timeline = Json::array();
  double total = 0.0;
  for (const Json& segment : segments) {
    const double length = segment.at("length_ticks").get<std::int32_t>() * kQuarterPerTick;
    chords.push_back({{"length", length}, {"name", segment.at("chord")}, {"start", total}});
    timeline.push_back({{"bpm", segment.at("bpm")},
                        {"function", segment.at("function")},
                        {"length", length},
                        {"meter", segment.at("meter")},
                        {"mode", segment.at("mode")},
                        {"mode_root", segment.at("mode_root")},
                        {"start", total}});
    total += length;
  }
  state["chords"] = std::move(chords);
  state["timeline"] = std::move(timeline);
  state["total"] = total;

  const auto variantsIt = input.find("variants");
  if (variantsIt != input.end()) {
    J& variants = *variantsIt;
    if (!variants.is_array() || variants.size() != 3) refuse("variants");
    for (std::size_t i = 0; i < 3; ++i)
      state["variants"][i] = normalizeVariant(variants[i], total, i);
  }

  if (serialisedLongerThanLimit(state)) refuse("State too large");
  if (normalisedConfig != nullptr) *normalisedConfig = std::move(normalised);
  return state;
}

}  // namespace

Json normalizeState(const Json& input) {
  return normalizeStateImpl(input, nullptr);
}

Json normalizeState(Json&& input) {
  return normalizeStateImpl(input, nullptr);
}

NormalisedState normalizeStateWithConfig(const Json& input) {
  NormalisedState result;
  result.state = normalizeStateImpl(input, &result.config);
  return result;
}

Json defaultState() {
  Json input = Json::object();
  input["config"] = defaultConfig();
  return normalizeState(input);
}

std::string serializeState(const Json& state) {
  return state.dump(-1, ' ', false, Json::error_handler_t::strict);
}

}  // namespace tavrena
