// While one lives, ALSA's library keeps its error messages to itself: a
// machine without sound hardware would otherwise print a screenful to
// stderr each time a MIDI device looks for a card or the sequencer. The
// caller says what failed, once, in its own words.
#pragma once

#include <alsa/asoundlib.h>

namespace zplatform::midi {

class AlsaErrorsMuted {
 public:
  AlsaErrorsMuted() { snd_lib_error_set_handler(&Drop); }
  ~AlsaErrorsMuted() { snd_lib_error_set_handler(nullptr); }
  AlsaErrorsMuted(const AlsaErrorsMuted&) = delete;
  AlsaErrorsMuted& operator=(const AlsaErrorsMuted&) = delete;

 private:
  static void Drop(const char*, int, const char*, int, const char*, ...) {}
};

}  // namespace zplatform::midi
