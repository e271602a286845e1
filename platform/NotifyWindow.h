// Internal to the platform layer: the hidden notification window behind HWND,
// a QObject in the thread that created it. Posted work runs from that
// thread's event loop; the window procedure is not called once the window is
// destroyed. Look-up threads reach it only through its mailbox, which
// forgets the window when it is destroyed.
#pragma once

#include <zplatform/Winsock.h>

#include <QEvent>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class QSocketNotifier;

namespace zplatform::detail {

struct WindowMailbox {
  std::mutex mutex;
  QObject* window = nullptr;  // null once the window is destroyed
};

// One socket's asynchronous selection.
struct Selection {
  UINT message = 0;
  long events = 0;
  std::uint64_t id = 0;  // tells a selection from a later one on the same descriptor
  bool stream = true;
  bool listening = false;
  bool connectPending = false;
  QSocketNotifier* reader = nullptr;  // children of the window
  QSocketNotifier* writer = nullptr;
};

}  // namespace zplatform::detail

struct HWND__ final : QObject {
  explicit HWND__(WNDPROC procedure);
  ~HWND__() override;

  // Runs work in the window's thread, later; safe from any thread while the
  // window lives.
  void Post(std::function<void(HWND__&)> work);
  // The window procedure, unless the window was destroyed.
  LRESULT Call(UINT message, WPARAM wParam, LPARAM lParam);
  // Drops the selection of s and its notifiers (window thread only).
  void RemoveSelection(SOCKET s);
  void OnReadable(SOCKET s);
  void OnWritable(SOCKET s);
  // Delivers a socket event and re-arms what waits for more.
  void DeliverSelect(SOCKET s, std::uint64_t id, long event, int error);

  bool event(QEvent* e) override;

  WNDPROC proc;
  LONG_PTR long0 = 0;
  std::atomic<bool> destroyed{false};
  int dispatching = 0;  // depth of Call
  std::shared_ptr<zplatform::detail::WindowMailbox> mailbox;
  std::map<SOCKET, zplatform::detail::Selection> selections;

private:
  void PostSelect(SOCKET s, std::uint64_t id, long event, int error);
};
