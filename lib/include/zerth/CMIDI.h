// CMIDI: plays a Standard MIDI File (format 0 or 1) from memory or from a
// "MIDI" resource of the program through the MIDI stream functions. The
// tracks are merged into one time-ordered stream and converted, about 60 ms
// of music at a time, into two 1024-byte stream buffers that the stream's
// callback refills while the song plays. Offers play, pause, continue, stop,
// rewind, endless looping, a tempo percentage and master and per-channel
// volume; when the song itself changes a channel's volume the parent object
// gets a CMidiVolumeEvent.
//
// The player owns its stream, its two buffers, the copies of SysEx and meta
// data it is converting, and the image of a resource it loaded; an image
// given to Create(data, size) is used in place and must outlive the object's
// use of it. Use an object from one thread at a time (the "caller's
// thread"); the stream's callbacks run on the stream's own thread, and the
// hand-over between the two (the state value, the count of returned buffers
// and the "Wait For Buffer Return" event) is free of data races.
#pragma once

#include <zerth/CMidiVolumeEvent.h>
#include <zerth/Export.h>
#include <zplatform/Mmsystem.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QObject;

namespace zerth::detail {
class VolumeReportRelay;
struct VolumeReportRelayDeleter {
  void operator()(VolumeReportRelay* relay) const;
};
}  // namespace zerth::detail

class ZERTH_API CMIDI {
public:
  // One track of the file.
  struct TRACK {
    DWORD flags;                // bit 0: end of track reached
    DWORD length;               // length of the track data in bytes
    const BYTE* data;           // first byte of the track data (inside the image)
    const BYTE* position;       // next byte to read
    DWORD nextTick;             // absolute tick of the next event of this track
    BYTE runningStatus;         // last channel status byte read (0 = none)
  };
  static constexpr DWORD kTrackEnded = 0x1;

  // One decoded event.
  struct TEMPEVENT {
    DWORD tick;        // absolute tick
    BYTE status;       // status byte (0xFF for meta events)
    BYTE data1;        // first data byte, or the meta event type
    BYTE data2;        // second data byte
    DWORD length;      // bytes of the short message (2 or 3), or of the long data
    BYTE* longData;    // heap copy (malloc) of SysEx or meta data; null when none
  };

  // One stream buffer: its header (lpData a 1024-byte block) and the fill state.
  struct CONVERTINFO {
    MIDIHDR header;
    DWORD startOffset;  // 0
    DWORD maxLength;    // 1024
    DWORD bytesUsed;    // bytes of stream events written
    DWORD startTick;    // tick of the first event in the buffer
    DWORD timeIsUp;     // set once the buffer spans more than m_tkBufferSpan
  };

  // Playback states (m_nState).
  enum : int { kStateNormal = 0, kStateStopping = 100, kStateBuffersBack = 200, kStateSongEnded = 300 };
  // ConvertToBuffer and AddEventToStreamBuffer results.
  enum : int {
    kConvertOk = 0,
    kConvertReadFailed = -101,
    kConvertAfterReadError = -102,
    kConvertEndOfSong = -103,
    kBufferFull = -104,
    kEventSkipped = -105,
  };
  // m_dwConvertFlags bits; ConvertToBuffer's flag to start from the beginning.
  static constexpr DWORD kConvertAllEnded = 0x1;
  static constexpr DWORD kConvertReadError = 0x2;
  static constexpr DWORD kConvertPending = 0x4;
  static constexpr DWORD kConvertReset = 0x1;

  static constexpr int kBufferCount = 2;
  static constexpr DWORD kBufferSize = 1024;
  static constexpr DWORD kStreamEventSize = 12;
  static constexpr int kChannelCount = 16;
  // How long a stop waits for its buffers to come back.
  static constexpr DWORD kStopWaitMilliseconds = 2000;
  // The name of the auto-reset event of the buffer hand-over.
  static constexpr const char* kBufferReturnEventName = "Wait For Buffer Return";

  // Device -1 (the MIDI mapper), tempo 100 percent, nothing loaded.
  CMIDI();
  // Stop(0), then everything released.
  virtual ~CMIDI();
  // A copy takes the song (the same image, or a copy of a loaded resource),
  // the parent, the looping flag, the tempo and the channel volumes, and,
  // when the original was created, prepares a stream of its own at the
  // song's start, paused; it never shares the original's stream or buffers.
  CMIDI(const CMIDI& other);
  // Stop(0) of this player, then as the copy constructor.
  CMIDI& operator=(const CMIDI& other);

  // Parses the image (a Standard MIDI File of size bytes, used in place) and
  // prepares playback: stream opened and paused, two buffers converted and
  // queued. 1 on success; 0 for an image that is not a Standard MIDI File
  // (no "MThd" chunk of length 6, no tracks, a division of 0, a track chunk
  // that is not "MTrk" or lies beyond size), when the stream cannot be set
  // up, or when the object was created already. parent (may be null) gets
  // the volume reports.
  int Create(const void* data, unsigned long size, QObject* parent = nullptr);
  // The same with the program's "MIDI" resource of this name (the Qt
  // resource ":/res/midi/NAME.mid"; "#123" names the resource id 123); 0
  // when there is none.
  int Create(const char* name, QObject* parent = nullptr);
  // The same with the program's "MIDI" resource id (":/res/midi/ID.mid").
  int Create(unsigned int id, QObject* parent = nullptr);

  // Starts the song, or resumes it when paused. A song that is playing, or
  // that ended, starts again from its beginning. looped = endless play from
  // the next conversion on. 1, or 0 when the stream could not be restarted.
  int Play(int looped = 0);
  // Stops; with restart the song is prepared again from its beginning (from
  // where the tracks stand when looping). 1, or 0 when a stream call failed.
  int Stop(int restart = 1);
  // Pauses a playing song; always 0.
  int Pause();
  // Continues a paused song; always 0.
  int Continue();
  // Every track back to its start; 1, or 0 when not created or a first
  // delta time is unreadable.
  int Rewind();

  // Playing: from Play until Stop, the end of the song (without looping) or
  // a malformed track that stops the conversion.
  int IsPlaying() const { return m_bPlaying.load(); }
  int IsPaused() const { return m_bPaused.load(); }
  void SetInfinitePlay(int looped = 1) { m_bLooped.store(looped); }

  // Playback speed in percent of the song's own tempo (0 counts as 1),
  // applied from the next tempo event written. The scaled tempo is capped
  // at 0xFFFFFF microseconds per quarter note, the most a stream tempo holds.
  void SetTempo(unsigned long percent);
  unsigned long GetTempo() const { return m_dwTempoPercent.load(); }

  // 16 after Create, 0 before.
  unsigned long GetChannelCount() const { return static_cast<unsigned long>(m_Volumes.size()); }
  // While playing, for channels 0 to 15 (else nothing happens): keeps
  // min(percent, 100) and sends controller 7 with that volume (0 to 127).
  void SetChannelVolume(unsigned long channel, unsigned long percent);
  // SetChannelVolume for every channel.
  void SetVolume(unsigned long percent);
  // The channel's volume in percent; 0 for a channel beyond the count.
  unsigned long GetChannelVolume(unsigned long channel) const;
  // Average of the channel volumes (integer division); 0 before Create.
  unsigned long GetVolume() const;

protected:
  // Next byte of the track; 0 at its end.
  BOOL GetTrackByte(TRACK* track, BYTE* byte);
  // Next variable-length number of the track; 0 when the track has ended or
  // ends inside the number.
  BOOL GetTrackVDWord(TRACK* track, DWORD* value);
  // Next event of the track and the delta time behind it; 0 when the track
  // has ended or is malformed (TrackError tells why where there is a text).
  BOOL GetTrackEvent(TRACK* track, TEMPEVENT* event);
  // Writes the event into the buffer: kConvertOk, kBufferFull (the event
  // goes into the next buffer) or kEventSkipped.
  int AddEventToStreamBuffer(TEMPEVENT* event, CONVERTINFO* buffer);
  // Fills the buffer from the merged tracks: kConvertOk, kConvertReadFailed,
  // kConvertAfterReadError, kConvertEndOfSong, or 1 for an unexpected result.
  int ConvertToBuffer(DWORD flags, CONVERTINFO* buffer);
  // Opens the stream when needed and converts and queues both buffers.
  BOOL StreamBufferSetup();
  // Unprepares both headers and frees their blocks.
  void FreeBuffers();

  // The notifications. MidiError, TrackError and OnMidiOutDone may run on
  // the stream's thread inside the buffer hand-over: an override must not
  // call the player's own operations (Play, Stop, Rewind, ...). A class that
  // overrides them calls Stop(0) in its own destructor, so that no
  // notification arrives while it is being destroyed.
  //
  // Every failing multimedia result; does nothing.
  virtual void MidiError(MMRESULT result);
  // A malformed track with the reason; does nothing.
  virtual void TrackError(TRACK* track, const char* message);
  // The stream was opened / closed; do nothing.
  virtual void OnMidiOutOpen();
  virtual void OnMidiOutClose();
  // A buffer came back (on the stream's thread): refills and queues it, or
  // completes a stop or the end of the song.
  virtual void OnMidiOutDone(MIDIHDR& header);
  // An event flagged for callback was played (on the stream's thread): a
  // volume controller updates the channel's volume and is reported.
  virtual void OnMidiOutPositionCB(MIDIHDR& header, MIDIEVENT& event);

  // The stream callback; instance is the CMIDI.
  static void CALLBACK MidiProc(HMIDIOUT stream, UINT message, DWORD_PTR instance, DWORD_PTR param1,
                                DWORD_PTR param2);

  DWORD m_dwSize = 0;                       // size of the image
  const BYTE* m_pData = nullptr;            // the image; null until Create parsed it
  DWORD m_dwFormat = 0;                     // header format
  DWORD m_dwTrackCount = 0;                 // header track count
  DWORD m_dwTimeDivision = 0;               // ticks per quarter note
  std::atomic<int> m_bPlaying{0};           // set by Play, cleared by Stop
  HMIDISTRM m_hStream = nullptr;            // open stream or null
  std::atomic<int> m_bLooped{0};            // endless play
  DWORD m_tkCurrent = 0;                    // tick of the last event written
  DWORD m_tkBufferSpan = 0;                 // ticks in 60 ms (0 until a tempo event was read)
  DWORD m_dwCurrentTempo = 0;               // last tempo read, microseconds per quarter note
  std::atomic<DWORD> m_dwTempoPercent{100}; // playback speed
  std::atomic<int> m_bTempoChanged{0};      // insert a tempo event before the next event
  BOOL m_bBuffersPrepared = FALSE;          // both headers prepared
  int m_nCurrentBuffer = 0;                 // buffer expected back next
  UINT m_uDeviceID = MIDI_MAPPER;           // output device
  int m_nBuffersOut = 0;                    // buffers back and not yet queued again
  std::atomic<int> m_bPaused{0};            // paused
  std::atomic<int> m_nState{kStateNormal};  // 0, 100, 200 or 300
  HANDLE m_hBufferReturnEvent = nullptr;    // auto-reset "Wait For Buffer Return"
  QObject* m_pWndParent = nullptr;          // gets the volume reports (not owned)
  std::vector<TRACK> m_Tracks;
  std::vector<std::atomic<DWORD>> m_Volumes;  // channel volumes in percent
  CONVERTINFO m_StreamBuffers[kBufferCount] = {};
  DWORD m_dwConvertFlags = 0;               // kConvertAllEnded, kConvertReadError, kConvertPending
  int m_nLongDataBlocks = 0;                // long-data blocks allocated and not yet freed
  TEMPEVENT m_teTemp = {};                  // the event being converted (kept when pending)

private:
  void CopySettingsFrom(const CMIDI& other);
  void ReleaseSong();
  int CreateFromImage(const void* data, unsigned long size, QObject* parent);
  int CreateFromResource(const std::string& path, QObject* parent);
  int RewindTracks();
  void FreeLongData(TEMPEVENT& event);
  void SetBufferState(int state);
  void AwaitBuffers();
  void CloseStream();
  void Refill(CONVERTINFO& buffer);
  void FinishSong();
  void ReportVolume(DWORD shortMessage);

  // Serialises a refill on the stream's thread with a stop's change of state
  // and with Rewind, so that no buffer is queued or converted behind a stop.
  std::mutex m_handOver;
  // The song ended (or a track error stopped it) and the stream waits to be
  // prepared again by the next Play or Stop (on the caller's thread, not
  // inside the callback).
  std::atomic<int> m_bRestartPending{0};
  std::unique_ptr<BYTE[]> m_blocks[kBufferCount];  // the buffers' 1024-byte blocks
  std::vector<BYTE> m_resourceImage;                // the image of a loaded resource
  std::unique_ptr<zerth::detail::VolumeReportRelay, zerth::detail::VolumeReportRelayDeleter> m_relay;
};
