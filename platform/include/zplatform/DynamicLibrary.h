// Run-time loading of providers: LoadLibrary/GetProcAddress/FreeLibrary over
// dlopen. A Windows library name maps to its Linux file ("MAPI32.DLL" becomes
// "libmapi32.so"), searched in the program directory, then in the folders of
// PATH, then by the system's own dlopen search.
#pragma once

#include <zplatform/WinTypes.h>

#include <string>
#include <string_view>

struct LibraryHandle;
using HMODULE = LibraryHandle*;
using HINSTANCE = HMODULE;
using FARPROC = void (*)();

HMODULE LoadLibrary(LPCSTR lpLibFileName);
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
BOOL FreeLibrary(HMODULE hLibModule);

namespace zplatform {

// "MAPI32.DLL" -> "libmapi32.so": a name ending in ".dll" (any case) becomes
// "lib" + the lower-case stem + ".so"; any other name is kept as it is.
std::string MapLibraryName(std::string_view name);

// Full path of the mapped library in the program directory or a PATH folder,
// or empty when it is in neither (the system search is not consulted).
std::string SearchLibrary(std::string_view name);

// dlerror() text of the last failed load on this thread.
std::string LastLoadError();

}  // namespace zplatform
