#pragma once
// How much `tavrena generate` accepts. Its input is a configuration (at most 8 MiB,
// as the editor imports) or a saved state document (at most 256 MiB, as the plug-in
// saves), of which generate uses only the configuration: the variants are made
// anew. So a document over 8 MiB is accepted only when it is a state document whose
// configuration alone stays within 8 MiB, found out without building the document
// in memory.
#include <string>
#include <string_view>

namespace tavrena::cli {

// name: the input as messages call it ("'cfg.json'", "standard input"). Throws
// Refused when the input may not be generated from.
void checkGenerateInputSize(std::string_view text, const std::string& name);

// The text of `file` ("-": standard input), or of the default configuration when
// `file` is empty, checked as above. Throws UsageError and Refused (readInput).
std::string readGenerateInput(const std::string& file);

}  // namespace tavrena::cli
