#pragma once
#include <stdexcept>

namespace tavrena {

// A SoundFont, synthesiser or audio device failure, with a message naming it.
class AudioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace tavrena
