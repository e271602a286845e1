// Reading of the Windows profile win.ini: the copy in the user's config
// folder ($XDG_CONFIG_HOME/zerth/win.ini) first, then the one beside the program.
#pragma once

#include <zplatform/WinTypes.h>

// The integer value of key lpKeyName in section [lpAppName], or nDefault when
// neither file has it. Section and key names compare without regard to case;
// the value is read as Windows does: leading decimal digits after optional
// blanks and sign, 0 when there are none.
UINT GetProfileInt(LPCSTR lpAppName, LPCSTR lpKeyName, INT nDefault);
