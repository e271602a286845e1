// MidiResource: the "MIDI" resources of the running program (internal to the
// library): Qt resources compiled into the program under :/res/midi/, by
// name (NAME.mid) or by id (ID.mid), as the platform's resource lookup forms
// the paths.
#pragma once

#include <zplatform/WinTypes.h>

#include <string>
#include <vector>

namespace zerth::detail {

// The resource path for a name ("#123" is the id 123); empty when the
// program has no such resource.
std::string MidiResourcePath(const char* name);
std::string MidiResourcePath(unsigned id);

// The resource's bytes; false when it cannot be read or is larger than a
// 32-bit size.
[[nodiscard]] bool LoadMidiResource(const std::string& path, std::vector<BYTE>& image);

}  // namespace zerth::detail
