#include "output_set.h"

#include <iostream>
#include <memory>
#include <system_error>

#include "cli_common.h"
#include "output_file.h"

namespace tavrena::cli {

namespace fs = std::filesystem;

namespace {

// Where a new file is created for a path that names nothing yet: the path itself,
// or where a dangling symbolic link leads.
fs::path followDanglingLinks(const std::string& given) {
  fs::path path = pathFromUtf8(given);
  for (int hops = 0;; ++hops) {
    std::error_code error;
    if (!fs::is_symlink(fs::symlink_status(path, error))) break;
    if (hops == 40) throw UsageError("cannot write '" + given + "': too many symbolic links");
    const fs::path next = fs::read_symlink(path, error);
    if (error) throw UsageError("cannot write '" + given + "': " + error.message());
    path = next.is_absolute() ? next : path.parent_path() / next;
  }
  return path;
}

// An absolute name with "." and ".." and the links among its folders resolved,
// to compare outputs that do not exist yet.
fs::path comparableName(const fs::path& path) {
  std::error_code error;
  const fs::path absolute = fs::absolute(path, error);
  if (error) return path.lexically_normal();
  fs::path name = fs::weakly_canonical(absolute, error);
  return error ? absolute.lexically_normal() : name;
}

constexpr const char* kStandardOutput = "-";

// Through std::cout, which main() flushes at exit too, so nothing printed before
// or after is reordered.
void writeToStandardOutput(const std::string& bytes) {
  std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::cout.flush();
  if (!std::cout.good()) throw UsageError("cannot write standard output");
}

}  // namespace

struct OutputSet::Output {
  std::string given;  // as on the command line, for messages
  fs::path target;    // links followed
  fs::path name;      // for comparing
  TargetInfo info;
  std::string bytes;
};

OutputSet::OutputSet() = default;
OutputSet::~OutputSet() = default;

void OutputSet::add(const std::string& path, std::string bytes) {
  if (path == kStandardOutput) {
    const TargetInfo info{TargetKind::Stream, false, standardOutputIdentity()};
    addChecked(Output{path, path, path, info, std::move(bytes)});
    return;
  }
  Output output{path, pathFromUtf8(path), {}, inspectTarget(pathFromUtf8(path)), std::move(bytes)};
  std::error_code error;
  switch (output.info.kind) {
    case TargetKind::Unsupported:
      throw UsageError("cannot write '" + path + "': not a regular file, device or pipe");
    case TargetKind::Regular:
      if (output.info.readOnly)
        throw UsageError("cannot write '" + path + "': the file is read-only");
      // The file itself is replaced, never a link leading to it.
      output.target = fs::canonical(pathFromUtf8(path), error);
      if (error) throw UsageError("cannot write '" + path + "': " + error.message());
      break;
    case TargetKind::Missing:
      output.target = followDanglingLinks(path);
      break;
    case TargetKind::Stream:
      // Opened by the name given: /dev/stdout leads to a pipe that has no file name.
      break;
  }
  output.name = comparableName(output.target);
  addChecked(std::move(output));
}

void OutputSet::addChecked(Output output) {
  for (const Output& other : outputs_) {
    const bool sameFile =
        other.name == output.name ||
        (output.info.identity.known && output.info.identity == other.info.identity);
    if (sameFile)
      throw UsageError("'" + other.given + "' and '" + output.given + "' are the same file");
  }
  outputs_.push_back(std::move(output));
}

void OutputSet::commit() {
  // Temporaries first; should any step fail, their destructors remove them all.
  std::vector<std::unique_ptr<TempFile>> temporaries;
  for (const Output& output : outputs_) {
    if (output.info.kind == TargetKind::Stream) continue;
    temporaries.push_back(std::make_unique<TempFile>(output.target));
    temporaries.back()->writeAndClose(output.bytes);
  }
  // Devices and pipes cannot be replaced, only written: after every temporary
  // is complete, before any file is replaced.
  for (const Output& output : outputs_) {
    if (output.given == kStandardOutput)
      writeToStandardOutput(output.bytes);
    else if (output.info.kind == TargetKind::Stream)
      writeToStream(output.target, output.bytes);
  }
  for (const auto& temporary : temporaries) temporary->replaceTarget();
}

}  // namespace tavrena::cli
