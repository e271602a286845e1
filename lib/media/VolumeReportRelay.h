// VolumeReportRelay: carries CMIDI's volume reports from the stream's thread
// to the parent object (internal to the library). The stream's thread posts
// to the relay, which the player owns and which lives in the parent's
// thread; there, and only there, it checks that the parent still exists
// before handing the report on. So a parent destroyed while the song plays
// never receives an event, where posting to it directly could.
#pragma once

#include <zerth/CMIDI.h>

#include <QObject>
#include <QPointer>

namespace zerth::detail {

class VolumeReportRelay : public QObject {
public:
  explicit VolumeReportRelay(QObject* target);

  // From any thread: a CMidiVolumeEvent for the target, delivered through
  // the event loop of the target's thread while the target exists.
  void Post(CMIDI* player, unsigned channel, unsigned volume);

protected:
  bool event(QEvent* event) override;

private:
  QPointer<QObject> m_target;
};

}  // namespace zerth::detail
