// LoadLibrary and friends over dlopen, with the Windows library names mapped
// to their Linux files and the Windows-like search order.
#include <zplatform/DynamicLibrary.h>

#include <zplatform/AsciiText.h>
#include <zplatform/ProgramDir.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

// The handle is the dlopen handle itself; the struct is never defined.
struct LibraryHandle;

namespace zplatform {

namespace {

thread_local std::string t_lastError;

// Where LoadLibrary found each module, by its file name. Asked again for a
// module that is still loaded (a reference is held elsewhere, or it is never
// unloaded), LoadLibrary takes that one without a search, as Windows uses a
// loaded module of the same name: a mailing run loads the mail provider once
// per message.
std::mutex g_loadedMutex;
std::map<std::string, std::string, std::less<>> g_loadedFrom;

void* StillLoaded(const std::string& file) {
  std::string path;
  {
    const std::lock_guard<std::mutex> guard(g_loadedMutex);
    const auto found = g_loadedFrom.find(file);
    if (found == g_loadedFrom.end()) return nullptr;
    path = found->second;
  }
  return ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
}

void NoteLoaded(const std::string& file, const std::string& path) {
  const std::lock_guard<std::mutex> guard(g_loadedMutex);
  g_loadedFrom.insert_or_assign(file, path);
}

bool IsRegularFile(const std::string& path) {
  struct stat st{};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::string MapLibraryName(std::string_view name) {
  if (!EndsWithNoCase(name, ".dll") || name.find('/') != std::string_view::npos) return std::string(name);
  return "lib" + ToLowerAscii(name.substr(0, name.size() - 4)) + ".so";
}

std::string SearchLibrary(std::string_view name) {
  const std::string file = MapLibraryName(name);
  if (file.empty()) return {};
  if (file.find('/') != std::string::npos) return IsRegularFile(file) ? file : std::string{};

  if (std::string candidate = ProgramDir() + "/" + file; IsRegularFile(candidate)) return candidate;

  // The executable search path, as Windows looks for libraries along PATH.
  const char* path = std::getenv("PATH");
  std::string_view rest = path ? path : "";
  while (!rest.empty()) {
    auto colon = rest.find(':');
    std::string_view dir = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    if (dir.empty()) continue;  // an empty entry would mean the current folder: not searched
    if (std::string candidate = std::string(dir) + "/" + file; IsRegularFile(candidate)) return candidate;
  }
  return {};
}

std::string LastLoadError() { return t_lastError; }

}  // namespace zplatform

HMODULE LoadLibrary(LPCSTR lpLibFileName) {
  if (!lpLibFileName || !*lpLibFileName) {
    zplatform::t_lastError = "no library name";
    return nullptr;
  }
  const std::string file = zplatform::MapLibraryName(lpLibFileName);
  if (void* loaded = zplatform::StillLoaded(file)) return static_cast<HMODULE>(loaded);
  std::string path = zplatform::SearchLibrary(lpLibFileName);
  // Not in our own search: let the system's search (LD_LIBRARY_PATH, ld.so.cache) try.
  if (path.empty()) path = file;
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* err = ::dlerror();
    zplatform::t_lastError = err ? err : "cannot load " + path;
    return nullptr;
  }
  zplatform::NoteLoaded(file, path);
  return static_cast<HMODULE>(handle);
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  if (!hModule || !lpProcName) return nullptr;
  ::dlerror();
  void* symbol = ::dlsym(hModule, lpProcName);
  // POSIX allows converting a dlsym result to a function pointer.
  return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE hLibModule) {
  if (!hLibModule) return FALSE;
  return ::dlclose(hLibModule) == 0 ? TRUE : FALSE;
}
