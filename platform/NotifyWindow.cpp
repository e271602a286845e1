// NotifyWindow: HWND as a QObject with one window long, and the calls that
// make, message and destroy it.
#include "NotifyWindow.h"

#include "AsyncSelect.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QThread>

namespace {

// A unit of work posted to a window.
class WindowWorkEvent final : public QEvent {
public:
  explicit WindowWorkEvent(std::function<void(HWND__&)> work) : QEvent(Kind()), m_work(std::move(work)) {}
  static QEvent::Type Kind() {
    static const auto kind = static_cast<QEvent::Type>(QEvent::registerEventType());
    return kind;
  }
  void Run(HWND__& window) const { m_work(window); }

private:
  std::function<void(HWND__&)> m_work;
};

}  // namespace

HWND__::HWND__(WNDPROC procedure)
    : proc(procedure), mailbox(std::make_shared<zplatform::detail::WindowMailbox>()) {
  mailbox->window = this;
}

HWND__::~HWND__() {
  std::lock_guard lock(mailbox->mutex);
  mailbox->window = nullptr;
}

void HWND__::Post(std::function<void(HWND__&)> work) {
  QCoreApplication::postEvent(this, new WindowWorkEvent(std::move(work)));
}

LRESULT HWND__::Call(UINT message, WPARAM wParam, LPARAM lParam) {
  if (destroyed || proc == nullptr) return 0;
  ++dispatching;
  const LRESULT result = proc(this, message, wParam, lParam);
  --dispatching;
  return result;
}

bool HWND__::event(QEvent* e) {
  if (e->type() != WindowWorkEvent::Kind()) return QObject::event(e);
  if (!destroyed) static_cast<WindowWorkEvent*>(e)->Run(*this);
  return true;
}

HWND CreateNotifyWindow(WNDPROC proc) {
  // Without an event dispatcher in this thread nothing could be delivered.
  if (proc == nullptr || QAbstractEventDispatcher::instance() == nullptr) return nullptr;
  return new HWND__(proc);
}

BOOL DestroyWindow(HWND window) {
  if (window == nullptr || window->destroyed.exchange(true)) return FALSE;
  {
    std::lock_guard lock(window->mailbox->mutex);
    window->mailbox->window = nullptr;
  }
  zplatform::detail::ForgetSelections(window);
  // Inside its own procedure, or from another thread, the window goes when
  // its thread's event loop next runs; it calls nobody meanwhile.
  if (window->dispatching > 0 || window->thread() != QThread::currentThread()) {
    window->deleteLater();
  } else {
    delete window;
  }
  return TRUE;
}

LRESULT SendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return window == nullptr ? 0 : window->Call(message, wParam, lParam);
}

LONG_PTR SetWindowLongPtr(HWND window, int index, LONG_PTR value) {
  if (window == nullptr || index != 0) return 0;
  return std::exchange(window->long0, value);
}

LONG_PTR GetWindowLongPtr(HWND window, int index) {
  return window == nullptr || index != 0 ? 0 : window->long0;
}
