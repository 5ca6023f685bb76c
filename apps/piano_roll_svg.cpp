#include "piano_roll_svg.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string_view>

#include "theory/config.h"
#include "theory/ticks.h"

namespace tavrena::cli {
namespace {

// Layout in SVG user units (pixels).
constexpr double kLeft = 36.0;  // room for the pitch labels
constexpr double kRight = 8.0;
constexpr double kLaneTop = 4.0;  // chord lane
constexpr double kLaneHeight = 24.0;
constexpr double kRollTop = kLaneTop + kLaneHeight + 4.0;
constexpr double kRowHeight = 8.0;  // one semitone
constexpr double kBottom = 6.0;
// Horizontal scale: about 1600 units for the whole phrase, kept readable for short
// phrases and still visible for the longest ones.
constexpr double kTargetWidth = 1600.0;
constexpr double kMinBeatWidth = 3.0;
constexpr double kMaxBeatWidth = 48.0;
constexpr double kMinLabelWidth = 14.0;  // narrower chord boxes go unlabelled

// The pitch classes whose sharp name carries an accidental.
bool isBlackKey(int pitch) {
  return kSharpNames[static_cast<std::size_t>(pitch % 12)].size() > 1;
}

// Fixed notation with at most two decimals, independent of the C locale.
std::string num(double value) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
  std::string text(buffer, result.ptr);
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text == "-0") text = "0";
  return text;
}

// Text content and attribute values: the five XML specials escaped, and control
// characters (not allowed in XML 1.0) replaced by blanks.
std::string escapeXml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
  }
  return out;
}

// Chord texts keep the user's surrounding blanks in the state; the picture does not.
std::string_view trimBlanks(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

// Where everything goes: the pitch rows shown and the horizontal scale.
struct Layout {
  int low = 0;   // lowest pitch row
  int high = 0;  // highest pitch row
  double beat = 0;
  double rollWidth = 0;
  double width = 0;
  double rollBottom = 0;
  double height = 0;

  std::string xOf(double beats) const { return num(kLeft + beats * beat); }
  std::string yOf(int pitch) const { return num(kRollTop + (high - pitch) * kRowHeight); }
};

// Pitch range: the configured range, widened to any note outside it, one spare
// row above and below. Width: about kTargetWidth for the whole phrase.
Layout layOut(const SoloSettings& solo, const Json& notes, double total) {
  Layout layout;
  int low = solo.low_note;
  int high = solo.high_note;
  for (const Json& note : notes) {
    low = std::min(low, note.at("pitch").get<int>());
    high = std::max(high, note.at("pitch").get<int>());
  }
  layout.low = std::max(0, low - 1);
  layout.high = std::min(127, high + 1);
  const int rows = layout.high - layout.low + 1;
  layout.beat = std::clamp(kTargetWidth / total, kMinBeatWidth, kMaxBeatWidth);
  layout.rollWidth = total * layout.beat;
  layout.width = kLeft + layout.rollWidth + kRight;
  layout.rollBottom = kRollTop + rows * kRowHeight;
  layout.height = layout.rollBottom + kBottom;
  return layout;
}

void addHeader(std::string& svg, const Layout& layout, std::size_t variation,
               std::size_t noteCount) {
  const std::string width = num(layout.width), height = num(layout.height);
  svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" + width + "\" height=\"" + height +
         "\" viewBox=\"0 0 " + width + " " + height + "\" font-family=\"sans-serif\">\n";
  svg += "<title>Tavrena solo: variant " + std::to_string(variation) + ", " +
         std::to_string(noteCount) + " notes</title>\n";
  svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";
}

// Black-key rows shaded, every C labelled (C4 is MIDI note 60).
void addKeyboard(std::string& svg, const Layout& layout) {
  svg += "<g fill=\"#eceef3\">\n";
  for (int pitch = layout.low; pitch <= layout.high; ++pitch)
    if (isBlackKey(pitch))
      svg += "<rect x=\"" + num(kLeft) + "\" y=\"" + layout.yOf(pitch) + "\" width=\"" +
             num(layout.rollWidth) + "\" height=\"" + num(kRowHeight) + "\"/>\n";
  svg += "</g>\n<g fill=\"#555555\" font-size=\"8\">\n";
  for (int pitch = layout.low; pitch <= layout.high; ++pitch)
    if (pitch % 12 == 0)
      svg += "<text class=\"pitch\" x=\"4\" y=\"" +
             num(kRollTop + (layout.high - pitch + 1) * kRowHeight - 1) + "\">" +
             std::string(kSharpNames[0]) + std::to_string(pitch / 12 - 1) + "</text>\n";
  svg += "</g>\n";
}

// Chord lane: one box per segment, its name clipped to the box.
void addChordLane(std::string& svg, const Layout& layout, const Json& chords) {
  svg += "<g font-size=\"11\">\n";
  for (const Json& chord : chords) {
    const double start = chord.at("start").get<double>();
    const double length = chord.at("length").get<double>();
    svg += "<rect class=\"chord\" x=\"" + layout.xOf(start) + "\" y=\"" + num(kLaneTop) +
           "\" width=\"" + num(length * layout.beat) + "\" height=\"" + num(kLaneHeight) +
           "\" fill=\"#dfe8f6\" stroke=\"#8fa3bf\" stroke-width=\"0.5\"/>\n";
    if (length * layout.beat >= kMinLabelWidth) {
      const std::string name = escapeXml(trimBlanks(chord.at("name").get<std::string>()));
      svg += "<svg x=\"" + layout.xOf(start) + "\" y=\"" + num(kLaneTop) + "\" width=\"" +
             num(length * layout.beat) + "\" height=\"" + num(kLaneHeight) +
             "\"><text x=\"3\" y=\"" + num(kLaneHeight - 8) + "\" fill=\"#1d2b44\">" + name +
             "</text></svg>\n";
    }
  }
  svg += "</g>\n";
}

// Bar lines at every measure start, and one closing the phrase.
void addBarLines(std::string& svg, const Layout& layout, const Json& bars, double total) {
  svg += "<g stroke=\"#7d8597\" stroke-width=\"1\">\n";
  std::int64_t tick = 0;
  for (const Json& segment : bars) {
    if (segment.at("measure_offset_ticks").get<int>() == 0) {
      const std::string x = layout.xOf(static_cast<double>(tick) / kTicksPerQuarter);
      svg += "<line class=\"bar\" x1=\"" + x + "\" y1=\"" + num(kLaneTop) + "\" x2=\"" + x +
             "\" y2=\"" + num(layout.rollBottom) + "\"/>\n";
    }
    tick += segment.at("length_ticks").get<std::int64_t>();
  }
  svg += "<line x1=\"" + layout.xOf(total) + "\" y1=\"" + num(kLaneTop) + "\" x2=\"" +
         layout.xOf(total) + "\" y2=\"" + num(layout.rollBottom) + "\"/>\n</g>\n";
}

// Notes by pitch and time; louder notes are drawn more opaque.
void addNotes(std::string& svg, const Layout& layout, const Json& notes) {
  svg += "<g fill=\"#c8412b\" stroke=\"#7a2414\" stroke-width=\"0.5\">\n";
  for (const Json& note : notes) {
    const double start = note.at("start").get<double>();
    const double length = note.at("length").get<double>();
    const int velocity = note.at("velocity").get<int>();
    svg += "<rect class=\"note\" x=\"" + layout.xOf(start) + "\" y=\"" +
           layout.yOf(note.at("pitch").get<int>()) + "\" width=\"" +
           num(std::max(1.0, length * layout.beat)) + "\" height=\"" + num(kRowHeight - 1) +
           "\" fill-opacity=\"" + num(0.25 + 0.75 * velocity / 127.0) + "\"/>\n";
  }
  svg += "</g>\n";
}

}  // namespace

std::string renderPianoRollSvg(const Json& state) {
  const Json normalised = normalizeConfig(state.at("config"));
  const auto variation = state.at("variation").get<std::size_t>();
  const Json& notes = state.at("variants").at(variation);
  const double total = state.at("total").get<double>();
  const Layout layout = layOut(readSoloSettings(normalised.at("solo")), notes, total);

  std::string svg;
  svg.reserve(4096 + notes.size() * 96);
  addHeader(svg, layout, variation, notes.size());
  addKeyboard(svg, layout);
  addChordLane(svg, layout, state.at("chords"));
  addBarLines(svg, layout, normalised.at("bars"), total);
  addNotes(svg, layout, notes);
  svg += "</svg>\n";
  return svg;
}

}  // namespace tavrena::cli
