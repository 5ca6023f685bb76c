#pragma once
// The private origin the embedded browser serves the page under: scheme HTTPS, a host name no
// name service resolves (".invalid" is reserved for that), and the trailing "/".

namespace vstwebview {

inline constexpr const char kVirtualOrigin[] = "https://tavrena.invalid/";

}  // namespace vstwebview
