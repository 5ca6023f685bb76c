#pragma once
// The files one command writes, written all or nothing: every regular file is
// first written in full to a temporary beside it, and only when all of them (and
// any device or pipe among the outputs) were written are the temporaries renamed
// over their targets. A failure or an interruption before that leaves every
// target as it was.
#include <filesystem>
#include <string>
#include <vector>

namespace tavrena::cli {

class OutputSet {
 public:
  OutputSet();
  ~OutputSet();
  OutputSet(const OutputSet&) = delete;
  OutputSet& operator=(const OutputSet&) = delete;

  // Adds an output. "-" is standard output, written to like a device. Symbolic
  // links are followed: the file they lead to is written, the link stays. Throws
  // UsageError when the path names the same file as an output already added, a
  // read-only file, or something that is neither a file, a character device nor a
  // pipe.
  void add(const std::string& path, std::string bytes);

  // Writes every output. Throws UsageError naming the output that failed.
  void commit();

 private:
  struct Output;
  void addChecked(Output output);
  std::vector<Output> outputs_;
};

}  // namespace tavrena::cli
