// GMime's one-time set-up for this process.
#pragma once

namespace mapi32 {

// Initialises GMime once, however many threads call this. GMime is never shut
// down: its GObject types cannot be unregistered, which is also why the
// provider stays loaded once it has been loaded (linked with -z nodelete).
void EnsureGMime();

}  // namespace mapi32
