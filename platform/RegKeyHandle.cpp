// The table of open registry key handles and the predefined roots.
#include "RegKeyHandle.h"

#include "RegistryHiveFormat.h"

#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

// Only their addresses matter: what they stand for is filled in by
// FindHandle, so other libraries' static initialisers may use them.
constinit RegKeyHandle g_classesRoot;
constinit RegKeyHandle g_currentUser;
constinit RegKeyHandle g_localMachine;

struct HandleTable {
  std::mutex mutex;
  std::unordered_map<const RegKeyHandle*, std::unique_ptr<RegKeyHandle>> open;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

}  // namespace

const HKEY HKEY_CLASSES_ROOT = &g_classesRoot;
const HKEY HKEY_CURRENT_USER = &g_currentUser;
const HKEY HKEY_LOCAL_MACHINE = &g_localMachine;

namespace zplatform::registry {

HKEY AddHandle(RegKeyHandle handle) {
  auto owned = std::make_unique<RegKeyHandle>(std::move(handle));
  HKEY key = owned.get();
  HandleTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  table.open.emplace(key, std::move(owned));
  return key;
}

std::optional<RegKeyHandle> FindHandle(HKEY key) {
  if (key == HKEY_CURRENT_USER) return RegKeyHandle{HiveKind::User, std::string(kCurrentUserRoot), KEY_ALL_ACCESS};
  if (key == HKEY_LOCAL_MACHINE) {
    return RegKeyHandle{HiveKind::Machine, std::string(kLocalMachineRoot), KEY_ALL_ACCESS};
  }
  if (key == HKEY_CLASSES_ROOT) return RegKeyHandle{HiveKind::Machine, std::string(kClassesRootPath), KEY_ALL_ACCESS};
  HandleTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.open.find(key);
  if (it == table.open.end()) return std::nullopt;
  return *it->second;
}

bool CloseHandle(HKEY key) {
  if (key == HKEY_CURRENT_USER || key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT) return true;
  HandleTable& table = Table();
  std::lock_guard<std::mutex> guard(table.mutex);
  auto it = table.open.find(key);
  if (it == table.open.end()) return false;
  table.open.erase(it);
  return true;
}

}  // namespace zplatform::registry
