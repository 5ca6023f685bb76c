#pragma once
// What the editor's host gives the native functions beyond the page itself: getting a
// MIDI file out (save dialog, drag folder, operating-system drag) and opening the
// maker's web site. Each editor host supplies its own; without one, those functions
// answer false.
#include <string>

#include "midi/transfer.h"

namespace tavrena {

class EditorServices : public TransferPlatform {
 public:
  // Opens url in the user's default browser; true when that was started.
  virtual bool OpenUrl(const std::string& url) = 0;
};

}  // namespace tavrena
