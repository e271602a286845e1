// AsyncSelect: WSAAsyncSelect over QSocketNotifier. A notifier only notes
// that something happened and posts the event; the window procedure runs
// from the posted work, so that it may close the socket or destroy the
// window without pulling a notifier from under its own signal.
#include "AsyncSelect.h"

#include "NotifyWindow.h"

#include <zplatform/SocketWait.h>

#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <unordered_map>

namespace zplatform::detail {

namespace {

// Which window selects on which socket, for closesocket.
std::mutex g_selectedMutex;
std::unordered_map<SOCKET, HWND> g_selected;
std::atomic<std::uint64_t> g_nextSelectionId{1};

int SocketOption(SOCKET s, int option, int& value) {
  socklen_t length = sizeof value;
  return getsockopt(s, SOL_SOCKET, option, &value, &length);
}

bool HasPeer(SOCKET s) {
  sockaddr_storage peer{};
  socklen_t length = sizeof peer;
  return getpeername(s, reinterpret_cast<sockaddr*>(&peer), &length) == 0;
}

}  // namespace

void EndAsyncSelect(SOCKET s) {
  HWND window = nullptr;
  {
    std::lock_guard lock(g_selectedMutex);
    auto found = g_selected.find(s);
    if (found == g_selected.end()) return;
    window = found->second;
    g_selected.erase(found);
  }
  if (window->thread() == QThread::currentThread()) {
    window->RemoveSelection(s);
  } else {
    window->Post([s](HWND__& w) { w.RemoveSelection(s); });
  }
}

void ForgetSelections(HWND window) {
  std::lock_guard lock(g_selectedMutex);
  std::erase_if(g_selected, [window](const auto& entry) { return entry.second == window; });
}

}  // namespace zplatform::detail

using zplatform::detail::Selection;

void HWND__::RemoveSelection(SOCKET s) {
  auto found = selections.find(s);
  if (found == selections.end()) return;
  delete found->second.reader;
  delete found->second.writer;
  selections.erase(found);
}

void HWND__::PostSelect(SOCKET s, std::uint64_t id, long event, int error) {
  Post([s, id, event, error](HWND__& w) { w.DeliverSelect(s, id, event, error); });
}

void HWND__::OnReadable(SOCKET s) {
  auto found = selections.find(s);
  if (found == selections.end()) return;
  Selection& selection = found->second;
  selection.reader->setEnabled(false);  // until the event is delivered
  if (selection.listening) {
    if ((selection.events & FD_ACCEPT) != 0) PostSelect(s, selection.id, FD_ACCEPT, 0);
    return;
  }
  char byte = 0;
  const ssize_t peeked = recv(s, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (peeked > 0 || !selection.stream) {
    if ((selection.events & FD_READ) != 0) PostSelect(s, selection.id, FD_READ, 0);
    return;
  }
  if (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
    selection.reader->setEnabled(true);
    return;
  }
  // End of the stream: orderly (0) or reset. Reported once.
  const int error = peeked == 0 ? 0 : WSAErrorFromErrno(errno);
  if ((selection.events & FD_CLOSE) != 0) PostSelect(s, selection.id, FD_CLOSE, error);
}

void HWND__::OnWritable(SOCKET s) {
  auto found = selections.find(s);
  if (found == selections.end()) return;
  Selection& selection = found->second;
  selection.writer->setEnabled(false);  // FD_WRITE and FD_CONNECT come once
  if (selection.connectPending) {
    selection.connectPending = false;
    int error = 0;
    if (zplatform::detail::SocketOption(s, SO_ERROR, error) != 0) error = errno;
    if (error == 0 && !zplatform::detail::HasPeer(s)) return;  // no connect was under way
    if ((selection.events & FD_CONNECT) != 0) PostSelect(s, selection.id, FD_CONNECT, WSAErrorFromErrno(error));
    if (error != 0) return;
  }
  if ((selection.events & FD_WRITE) != 0) PostSelect(s, selection.id, FD_WRITE, 0);
}

void HWND__::DeliverSelect(SOCKET s, std::uint64_t id, long event, int error) {
  auto found = selections.find(s);
  if (found == selections.end() || found->second.id != id) return;  // ended meanwhile
  Call(found->second.message, static_cast<WPARAM>(s),
       WSAMAKESELECTREPLY(static_cast<WORD>(event), static_cast<WORD>(error)));
  // The procedure may have ended the selection or destroyed the window.
  if (destroyed) return;
  found = selections.find(s);
  if (found == selections.end() || found->second.id != id) return;
  if ((event == FD_READ || event == FD_ACCEPT) && found->second.reader != nullptr)
    found->second.reader->setEnabled(true);
}

int WSAAsyncSelect(SOCKET s, HWND window, UINT message, long events) {
  if (window == nullptr || window->destroyed || window->thread() != QThread::currentThread()) {
    WSASetLastError(WSAEINVAL);
    return SOCKET_ERROR;
  }
  int type = 0;
  if (zplatform::detail::SocketOption(s, SO_TYPE, type) != 0) return SOCKET_ERROR;
  zplatform::detail::EndAsyncSelect(s);
  if (events == 0 || message == 0) return 0;
  if (!zplatform::SetSocketBlocking(s, false)) return SOCKET_ERROR;

  Selection selection;
  selection.message = message;
  selection.events = events;
  selection.id = zplatform::detail::g_nextSelectionId.fetch_add(1);
  selection.stream = type == SOCK_STREAM;
  int listening = 0;
  selection.listening = zplatform::detail::SocketOption(s, SO_ACCEPTCONN, listening) == 0 && listening != 0;
  selection.connectPending = selection.stream && !selection.listening && !zplatform::detail::HasPeer(s);
  if ((events & (FD_READ | FD_CLOSE | FD_ACCEPT)) != 0) {
    selection.reader = new QSocketNotifier(s, QSocketNotifier::Read, window);
    QObject::connect(selection.reader, &QSocketNotifier::activated, window, [window, s] { window->OnReadable(s); });
  }
  if ((events & (FD_WRITE | FD_CONNECT)) != 0) {
    selection.writer = new QSocketNotifier(s, QSocketNotifier::Write, window);
    QObject::connect(selection.writer, &QSocketNotifier::activated, window, [window, s] { window->OnWritable(s); });
  }
  window->selections[s] = selection;
  std::lock_guard lock(zplatform::detail::g_selectedMutex);
  zplatform::detail::g_selected[s] = window;
  return 0;
}
