#pragma once
// Answers the editor page's requests under its private origin from named resources. Portable:
// every browser host hands it the request's URI (UTF-8) and turns the response into its own.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace vstwebview {

// Resource bytes by resource name (e.g. TAVRENA_APP_JS), or nullopt.
using ResourceLookup = std::function<std::optional<std::string>(std::string_view name)>;

struct ResourceResponse {
  bool handled = false;     // false: the URI is not under the origin; the host lets it through
  int status = 0;           // 200 or 404
  std::string reason;       // "OK" / "Not Found"
  std::string contentType;  // e.g. "text/html; charset=utf-8"
  std::string headers;      // "Content-Type: <type>\r\nCache-Control: no-store\r\n"
  std::string body;         // empty for 404
};

// "TAVRENA_" + path upper-cased, every character other than 0-9, A-Z and "_" replaced by "_":
// one "_" per UTF-16 unit of a non-ASCII character (two beyond U+FFFF), as the Windows host
// computes it on the UTF-16 path. path is UTF-8.
std::string ResourceNameForPath(std::string_view path);

// The content type for a path by its ending (ASCII letters in either case).
std::string ContentTypeForPath(std::string_view upperPath);

class ResourceServer {
 public:
  // virtualOrigin: scheme, host and the trailing "/", e.g. "https://tavrena.invalid/".
  ResourceServer(std::string virtualOrigin, ResourceLookup lookup);

  // The response to a request for uri (user-interface thread; the lookup runs on it).
  ResourceResponse Serve(std::string_view uri) const;

  const std::string& Origin() const { return origin_; }

 private:
  std::string origin_;
  ResourceLookup lookup_;
};

// A lookup over the resources compiled into the module.
ResourceLookup EmbeddedResourceLookup();

// A lookup over the files of a folder, for working on the page without rebuilding: each
// regular file directly in the folder under its resource name, read anew on every request.
// A name that two files share finds nothing, as the build refuses such a pair.
ResourceLookup FolderResourceLookup(std::filesystem::path folder);

}  // namespace vstwebview
