// CreateEvent, SetEvent, ResetEvent, WaitForSingleObject and CloseHandle for
// events: process-wide objects found by name, as Windows shares a named
// event between every CreateEvent that gives the name. Handles are numbers
// in a table, so a closed or made-up handle is refused instead of followed,
// and an event lives while any handle to it is open.
#include <zplatform/Mmsystem.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace {

class Event {
 public:
  Event(bool manualReset, bool signalled) : m_manualReset(manualReset), m_signalled(signalled) {}

  void Set() {
    {
      std::lock_guard lock(m_mutex);
      m_signalled = true;
    }
    // An auto-reset event releases one waiter; a manual-reset one all.
    if (m_manualReset)
      m_changed.notify_all();
    else
      m_changed.notify_one();
  }

  void Reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
  }

  bool Wait(DWORD milliseconds) {
    std::unique_lock lock(m_mutex);
    const auto signalled = [this] { return m_signalled; };
    if (milliseconds == INFINITE)
      m_changed.wait(lock, signalled);
    else if (!m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), signalled))
      return false;
    if (!m_manualReset) m_signalled = false;
    return true;
  }

 private:
  std::mutex m_mutex;
  std::condition_variable m_changed;
  const bool m_manualReset;
  bool m_signalled;
};

class EventTable {
 public:
  HANDLE Create(bool manualReset, bool signalled, LPCSTR name) {
    std::lock_guard lock(m_mutex);
    std::shared_ptr<Event> event;
    if (name != nullptr && *name != '\0') {
      std::weak_ptr<Event>& named = m_named[name];
      event = named.lock();
      if (!event) {
        event = std::make_shared<Event>(manualReset, signalled);
        named = event;
      }
    } else {
      event = std::make_shared<Event>(manualReset, signalled);
    }
    m_nextHandle += kHandleStep;
    m_open.emplace(m_nextHandle, std::move(event));
    return reinterpret_cast<HANDLE>(m_nextHandle);
  }

  std::shared_ptr<Event> Find(HANDLE handle) {
    std::lock_guard lock(m_mutex);
    const auto found = m_open.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == m_open.end() ? nullptr : found->second;
  }

  bool Close(HANDLE handle) {
    std::lock_guard lock(m_mutex);
    if (m_open.erase(reinterpret_cast<std::uintptr_t>(handle)) == 0) return false;
    std::erase_if(m_named, [](const auto& entry) { return entry.second.expired(); });
    return true;
  }

 private:
  // Handle values as Windows gives them: multiples of 4, never 0; never
  // reused, so a stale handle cannot reach a newer event.
  static constexpr std::uintptr_t kHandleStep = 4;

  std::mutex m_mutex;
  std::map<std::string, std::weak_ptr<Event>> m_named;
  std::map<std::uintptr_t, std::shared_ptr<Event>> m_open;
  std::uintptr_t m_nextHandle = 0x10000;
};

EventTable& Events() {
  static EventTable table;
  return table;
}

}  // namespace

HANDLE CreateEvent(void* /*lpEventAttributes*/, BOOL bManualReset, BOOL bInitialState, LPCSTR lpName) {
  return Events().Create(bManualReset != FALSE, bInitialState != FALSE, lpName);
}

BOOL SetEvent(HANDLE hEvent) {
  const auto event = Events().Find(hEvent);
  if (!event) return FALSE;
  event->Set();
  return TRUE;
}

BOOL ResetEvent(HANDLE hEvent) {
  const auto event = Events().Find(hEvent);
  if (!event) return FALSE;
  event->Reset();
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  // The table's reference keeps the event alive through the wait even when
  // another thread closes the handle meanwhile.
  const auto event = Events().Find(hHandle);
  if (!event) return WAIT_FAILED;
  return event->Wait(dwMilliseconds) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}

BOOL CloseHandle(HANDLE hObject) { return Events().Close(hObject) ? TRUE : FALSE; }
