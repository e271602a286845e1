// Where the running program lives, read from /proc/self/exe.
#pragma once

#include <string>

namespace zplatform {

// Full path of the running executable, symbolic links resolved; empty when
// the kernel does not tell.
std::string ProgramPath();

// Directory of the running executable without a trailing slash, however long
// the path is: ProgramDirOf(ProgramPath()).
std::string ProgramDir();

// The folder of an executable's path, for ProgramDir() + "/" + name to name a
// file beside it: the part before the last slash (empty for a program in the
// root folder), or "." when the path is unknown (empty) or has no slash.
std::string ProgramDirOf(const std::string& executablePath);

// Per-user folders of the Zerth family, following the XDG base directories:
// $XDG_CONFIG_HOME/zerth (default ~/.config/zerth) and $XDG_DATA_HOME/zerth
// (default ~/.local/share/zerth). Not created here.
std::string UserConfigDir();
std::string UserDataDir();
// $XDG_STATE_HOME/zerth (default ~/.local/state/zerth): what a program keeps
// between runs that is neither setting nor data, such as journals.
std::string UserStateDir();

}  // namespace zplatform
