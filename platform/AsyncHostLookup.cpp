// AsyncHostLookup: WSAAsyncGetHostByName/ByAddr. The look-up runs on a
// thread of its own and never touches the caller's buffer: the result
// travels to the window's thread, which writes the record there just
// before the window procedure runs, and only while the window lives.
#include "NotifyWindow.h"

#include <zplatform/HostLookup.h>

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr std::size_t kMaxAddresses = 16;

std::atomic<std::uintptr_t> g_nextTask{1};

// Writes entry into buffer as a hostent followed by the address pointers, an
// empty alias list, the addresses and the name. The bytes used, or 0 when
// the record does not fit in length.
std::size_t WriteHostEntry(const zplatform::HostEntry& entry, char* buffer, std::size_t length) {
  const std::size_t count = std::min(entry.addresses.size(), kMaxAddresses);
  const std::size_t listAt = sizeof(hostent);
  const std::size_t aliasesAt = listAt + (count + 1) * sizeof(char*);
  const std::size_t addressesAt = aliasesAt + sizeof(char*);
  const std::size_t nameAt = addressesAt + count * sizeof(in_addr);
  const std::size_t used = nameAt + entry.name.size() + 1;
  if (used > length) return 0;

  std::memcpy(buffer + nameAt, entry.name.c_str(), entry.name.size() + 1);
  for (std::size_t i = 0; i < count; ++i) {
    std::memcpy(buffer + addressesAt + i * sizeof(in_addr), &entry.addresses[i], sizeof(in_addr));
    char* address = buffer + addressesAt + i * sizeof(in_addr);
    std::memcpy(buffer + listAt + i * sizeof(char*), &address, sizeof address);
  }
  char* const none = nullptr;
  std::memcpy(buffer + listAt + count * sizeof(char*), &none, sizeof none);
  std::memcpy(buffer + aliasesAt, &none, sizeof none);

  hostent record{};
  record.h_name = buffer + nameAt;
  record.h_aliases = reinterpret_cast<char**>(buffer + aliasesAt);
  record.h_addrtype = AF_INET;
  record.h_length = sizeof(in_addr);
  record.h_addr_list = reinterpret_cast<char**>(buffer + listAt);
  std::memcpy(buffer, &record, sizeof record);
  return used;
}

void Deliver(HWND__& window, UINT message, HANDLE task, char* buffer, int length,
             const zplatform::HostEntry& entry) {
  int error = entry.error;
  std::size_t used = 0;
  if (error == 0) {
    used = WriteHostEntry(entry, buffer, static_cast<std::size_t>(length));
    if (used == 0) error = WSAENOBUFS;
  }
  window.Call(message, reinterpret_cast<WPARAM>(task),
              WSAMAKEASYNCREPLY(static_cast<WORD>(used), static_cast<WORD>(error)));
}

template <typename Lookup>
HANDLE StartLookup(HWND window, UINT message, char* buffer, int length, Lookup lookup) {
  if (window == nullptr || window->destroyed || buffer == nullptr || length <= 0) {
    WSASetLastError(WSAEINVAL);
    return nullptr;
  }
  const auto task = reinterpret_cast<HANDLE>(g_nextTask.fetch_add(1));
  try {
    std::thread([mailbox = window->mailbox, message, task, buffer, length, lookup] {
      zplatform::HostEntry entry = lookup();
      std::lock_guard lock(mailbox->mutex);
      if (mailbox->window == nullptr) return;  // the window is gone: nobody to tell
      static_cast<HWND__*>(mailbox->window)->Post([=, entry = std::move(entry)](HWND__& w) {
        Deliver(w, message, task, buffer, length, entry);
      });
    }).detach();
  } catch (const std::system_error&) {
    WSASetLastError(WSAENOBUFS);
    return nullptr;
  }
  return task;
}

}  // namespace

HANDLE WSAAsyncGetHostByName(HWND window, UINT message, const char* name, char* buffer, int bufferLength) {
  if (name == nullptr) {
    WSASetLastError(WSAEINVAL);
    return nullptr;
  }
  return StartLookup(window, message, buffer, bufferLength,
                     [host = std::string(name)] { return zplatform::LookupHostByName(host.c_str()); });
}

HANDLE WSAAsyncGetHostByAddr(HWND window, UINT message, const char* address, int length, int type, char* buffer,
                             int bufferLength) {
  if (address == nullptr || length != static_cast<int>(sizeof(in_addr)) || type != AF_INET) {
    WSASetLastError(WSAEINVAL);
    return nullptr;
  }
  in_addr wanted{};
  std::memcpy(&wanted, address, sizeof wanted);
  return StartLookup(window, message, buffer, bufferLength,
                     [wanted] { return zplatform::LookupHostByAddress(wanted); });
}
