#pragma once
// Identity of the module: class identifiers, factory strings and the names of the
// messages the controller and the processor exchange. Hosts store the class
// identifiers in their projects, so they never change from release to release.
#include "pluginterfaces/base/funknown.h"
#include "tavrena/version.h"

namespace tavrena {

// The four 32-bit words of each class identifier, as the SDK's FUID constructor takes them.
inline constexpr Steinberg::uint32 kProcessorUIDWords[4] = {0x6B1E2F7A, 0x3C9D4E81, 0xA25F0B63,
                                                            0x1D84C7E9};
inline constexpr Steinberg::uint32 kControllerUIDWords[4] = {0x94F3A2C0, 0x58B14D27, 0xBE6C9F15,
                                                             0x02A7E3D8};

inline const Steinberg::FUID kProcessorUID(kProcessorUIDWords[0], kProcessorUIDWords[1],
                                           kProcessorUIDWords[2], kProcessorUIDWords[3]);
inline const Steinberg::FUID kControllerUID(kControllerUIDWords[0], kControllerUIDWords[1],
                                            kControllerUIDWords[2], kControllerUIDWords[3]);

// Factory and class information.
inline constexpr const char* kVendor = "Veltmark";
inline constexpr const char* kVendorUrl = "https://www.veltmark.com";
inline constexpr const char* kVendorEmail = "";
inline constexpr const char* kPluginVersion = kVersion;
inline constexpr const char* kProcessorName = "Tavrena";
inline constexpr const char* kControllerName = "Tavrena Controller";
inline constexpr const char* kProcessorSubCategories = "Instrument|Generator";

// Controller -> processor: the normalised state document as compact UTF-8 JSON.
inline constexpr const char* kMsgState = "TavrenaState";
inline constexpr const char* kAttrJson = "json";  // byte block, no terminator

// Controller -> processor: start (1) or stop (0) the preview.
inline constexpr const char* kMsgPlayback = "TavrenaPlayback";
inline constexpr const char* kAttrPlay = "play";  // integer

// Controller -> processor: bring playback data up to date and report the transport.
inline constexpr const char* kMsgPoll = "TavrenaPoll";

// Processor -> controller: the transport report.
inline constexpr const char* kMsgTransport = "TavrenaTransport";
inline constexpr const char* kAttrPpq = "ppq";                  // float, quarter notes
inline constexpr const char* kAttrPosition = "position";        // float, quarter notes
inline constexpr const char* kAttrBpm = "bpm";                  // float
inline constexpr const char* kAttrBeatsPerBar = "beatsPerBar";  // float
inline constexpr const char* kAttrNumerator = "numerator";      // integer
inline constexpr const char* kAttrDenominator = "denominator";  // integer
inline constexpr const char* kAttrPlaying = "playing";          // integer 0/1
inline constexpr const char* kAttrHasPpq = "hasPpq";            // integer 0/1

}  // namespace tavrena
