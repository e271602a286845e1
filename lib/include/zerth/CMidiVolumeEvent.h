// CMidiVolumeEvent: the report that CMIDI posts to its parent object when the
// song itself sets a channel's volume (controller 7). It is the Qt form of the
// window message WM_USER + 23 (1047): wParam() is the player, lParam() packs
// the channel (low word) and the new volume in percent (high word).
//
// Catch it in the parent's event() (or an event filter):
//   if (event->type() == CMidiVolumeEvent::EventType()) {
//     auto* report = static_cast<CMidiVolumeEvent*>(event);
//     ShowVolume(report->channel(), report->volume());
//   }
// It arrives through the event loop of the parent's thread. The player
// pointer is only for comparison once the player may have been destroyed.
#pragma once

#include <zerth/Export.h>

#include <QEvent>

#include <cstdint>

class CMIDI;

class ZERTH_API CMidiVolumeEvent : public QEvent {
public:
  // The window message number it stands for.
  static constexpr unsigned kMessage = 0x0400 + 23;

  // The event type, registered once per process (QEvent::User + 1047 unless
  // another part of the program took that number first).
  static QEvent::Type EventType();

  CMidiVolumeEvent(CMIDI* player, unsigned channel, unsigned volume);
  ~CMidiVolumeEvent() override;
  CMidiVolumeEvent* clone() const override { return new CMidiVolumeEvent(*this); }

  unsigned message() const { return kMessage; }
  CMIDI* player() const { return m_player; }
  unsigned channel() const { return m_channel; }
  unsigned volume() const { return m_volume; }
  // The message's parameters: the player, and MAKELONG(channel, volume).
  std::uintptr_t wParam() const { return reinterpret_cast<std::uintptr_t>(m_player); }
  std::uint32_t lParam() const { return (m_channel & 0xFFFFu) | ((m_volume & 0xFFFFu) << 16); }

private:
  CMIDI* m_player;
  unsigned m_channel;
  unsigned m_volume;
};
