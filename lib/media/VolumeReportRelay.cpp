// The relay of volume reports into the parent's thread.
#include "VolumeReportRelay.h"

#include <QCoreApplication>
#include <QThread>

namespace zerth::detail {

VolumeReportRelay::VolumeReportRelay(QObject* target) : m_target(target) {
  if (target && target->thread() != thread()) moveToThread(target->thread());
}

void VolumeReportRelay::Post(CMIDI* player, unsigned channel, unsigned volume) {
  QCoreApplication::postEvent(this, new CMidiVolumeEvent(player, channel, volume));
}

bool VolumeReportRelay::event(QEvent* event) {
  if (event->type() != CMidiVolumeEvent::EventType()) return QObject::event(event);
  QObject* target = m_target.data();
  if (!target) return true;
  if (target->thread() == QThread::currentThread()) {
    QCoreApplication::sendEvent(target, event);
  } else {
    const auto* report = static_cast<CMidiVolumeEvent*>(event);
    QCoreApplication::postEvent(target, new CMidiVolumeEvent(report->player(), report->channel(), report->volume()));
  }
  return true;
}

// A relay living in another thread may be handling a report right now: it
// goes when that thread's event loop gets to it.
void VolumeReportRelayDeleter::operator()(VolumeReportRelay* relay) const {
  if (relay->thread() == QThread::currentThread()) delete relay;
  else relay->deleteLater();
}

}  // namespace zerth::detail
