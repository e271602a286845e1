// The volume report event of CMIDI.
#include <zerth/CMidiVolumeEvent.h>

CMidiVolumeEvent::CMidiVolumeEvent(CMIDI* player, unsigned channel, unsigned volume)
    : QEvent(EventType()), m_player(player), m_channel(channel), m_volume(volume) {}

CMidiVolumeEvent::~CMidiVolumeEvent() = default;

QEvent::Type CMidiVolumeEvent::EventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + kMessage));
  return type;
}
