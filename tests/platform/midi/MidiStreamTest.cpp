// The MIDI stream layer through the recording device: order and timing of
// events, pause and restart, buffers handed back, the callback thread, and
// headers and events that are not what they claim.
#include "MidiTestStream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <future>

namespace {

using zplatform::MidiRecordedMessage;
using zplatform::MidiRecording;

class MidiStreamTest : public testing::Test {
 protected:
  void SetUp() override {
    zplatform::SetMidiMapperDevice("record");
    zplatform::ClearMidiRecording();
    stream = OpenStream(log, 100);
    ASSERT_NE(stream, nullptr);
  }
  void TearDown() override {
    if (stream != nullptr) {
      EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
    }
  }

  // Waits (bounded) for count recorded messages.
  std::vector<MidiRecordedMessage> RecordingOf(std::size_t count) {
    for (int i = 0; i < 1000 && MidiRecording().size() < count; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return MidiRecording();
  }

  CallbackLog log;
  HMIDISTRM stream = nullptr;
};

// Stream times are the scheduled ones and exact; wall-clock times may come
// late by the scheduling delay of a busy, shared two-core machine running
// sanitizer builds in parallel (up to 300 ms allowed) but never early.
void ExpectTimes(const std::vector<MidiRecordedMessage>& got, const std::vector<std::pair<double, DWORD>>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].message, want[i].second) << i;
    EXPECT_NEAR(got[i].streamMilliseconds, want[i].first, 0.01) << i;
    EXPECT_GE(got[i].milliseconds, want[i].first - 1) << i;
    EXPECT_LE(got[i].milliseconds, want[i].first + 300) << i;
  }
}

TEST_F(MidiStreamTest, PlaysBuffersInOrderTimedByTicksAndTempoChanges) {
  MIDIPROPTEMPO tempo{sizeof tempo, 1'000'000};  // 10 ms a tick at 100 ticks a quarter
  ASSERT_EQ(midiStreamProperty(stream, reinterpret_cast<LPBYTE>(&tempo), MIDIPROP_SET | MIDIPROP_TEMPO), 0u);
  StreamBuffer first{{0, NoteOn(60)}, {10, NoteOff(60)}, {0, Tempo(500'000)}};
  StreamBuffer second{{10, NoteOn(62)}, {20, NoteOff(62)}};
  ASSERT_EQ(Queue(stream, first), 0u);
  ASSERT_EQ(Queue(stream, second), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(MidiRecording().empty()) << "a new stream starts paused";
  ASSERT_EQ(midiStreamRestart(stream), 0u);
  ASSERT_TRUE(log.WaitFor(MOM_DONE, 2));
  ExpectTimes(MidiRecording(), {{0, NoteOn(60)}, {100, NoteOff(60)}, {150, NoteOn(62)}, {250, NoteOff(62)}});
  EXPECT_EQ(log.calls[1].header, &first.header);
  EXPECT_EQ(log.calls[2].header, &second.header);
  EXPECT_EQ(second.header.dwFlags & (MHDR_DONE | MHDR_INQUEUE), DWORD{MHDR_DONE});
}

TEST_F(MidiStreamTest, PauseKeepsThePositionAndRestartGoesOnFromIt) {
  StreamBuffer buffer{{0, NoteOn(60)}, {400, NoteOff(60)}};  // 2000 ms apart
  ASSERT_EQ(Queue(stream, buffer), 0u);
  ASSERT_EQ(midiStreamRestart(stream), 0u);
  RecordingOf(1);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ASSERT_EQ(midiStreamPause(stream), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(MidiRecording().size(), 1u) << "nothing plays while paused";
  const auto restarted = std::chrono::steady_clock::now();
  ASSERT_EQ(midiStreamRestart(stream), 0u);
  const auto got = RecordingOf(2);
  const std::chrono::duration<double, std::milli> waited = std::chrono::steady_clock::now() - restarted;
  ASSERT_EQ(got.size(), 2u);
  EXPECT_NEAR(got[1].streamMilliseconds, 2000, 0.01);
  EXPECT_GE(got[1].milliseconds, 2000 + 300 - 1);
  // At most the second left at the pause, not the whole two again; the
  // margin is the scheduling delay of a busy machine.
  EXPECT_LT(waited.count(), 1000 + 500);
  EXPECT_TRUE(log.WaitFor(MOM_DONE, 1));
}

// Both hand every queued buffer back with MOM_DONE and turn the sounding
// note off; a stop also leaves the stream paused at its start.
struct ReturnCase {
  const char* name;
  MMRESULT (*call)(HMIDISTRM);
  bool pausesAtStart;
};

TEST_F(MidiStreamTest, StopAndResetHandBackEveryBufferAndSilenceTheNotes) {
  const ReturnCase cases[] = {
      {"midiStreamStop", midiStreamStop, true},
      {"midiOutReset", [](HMIDISTRM s) { return midiOutReset(reinterpret_cast<HMIDIOUT>(s)); }, false},
  };
  for (const ReturnCase& c : cases) {
    SCOPED_TRACE(c.name);
    zplatform::ClearMidiRecording();
    {
      std::lock_guard lock(log.mutex);
      log.calls.clear();
    }
    StreamBuffer first{{0, NoteOn(64)}, {10'000, NoteOff(64)}};
    StreamBuffer second{{0, NoteOn(65)}};
    ASSERT_EQ(Queue(stream, first), 0u);
    ASSERT_EQ(Queue(stream, second), 0u);
    ASSERT_EQ(midiStreamRestart(stream), 0u);
    RecordingOf(1);
    ASSERT_EQ(c.call(stream), 0u);
    ASSERT_TRUE(log.WaitFor(MOM_DONE, 2));
    for (MIDIHDR* header : {&first.header, &second.header}) {
      EXPECT_EQ(header->dwFlags & (MHDR_DONE | MHDR_INQUEUE), DWORD{MHDR_DONE});
      EXPECT_EQ(midiOutUnprepareHeader(reinterpret_cast<HMIDIOUT>(stream), header, sizeof(MIDIHDR)), 0u);
    }
    const auto got = MidiRecording();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[1].message, NoteOff(64));
    StreamBuffer next{{0, NoteOn(66)}};
    ASSERT_EQ(Queue(stream, next), 0u);
    if (c.pausesAtStart) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(RecordingOf(c.pausesAtStart ? 2 : 3).size(), c.pausesAtStart ? 2u : 3u);
    ASSERT_EQ(midiStreamStop(stream), 0u);
    ASSERT_TRUE(log.WaitFor(MOM_DONE, 3));
  }
}

TEST_F(MidiStreamTest, CallsBackInOrderOnThePlayerThread) {
  StreamBuffer buffer{{0, NoteOn(60)}, {1, NoteOff(60) | MEVT_F_CALLBACK}};
  ASSERT_EQ(Queue(stream, buffer), 0u);
  ASSERT_EQ(midiStreamRestart(stream), 0u);
  ASSERT_TRUE(log.WaitFor(MOM_DONE, 1));
  ASSERT_EQ(midiStreamClose(std::exchange(stream, nullptr)), 0u);
  EXPECT_EQ(log.Messages(), (std::vector<UINT>{MOM_OPEN, MOM_POSITIONCB, MOM_DONE, MOM_CLOSE}));
  EXPECT_EQ(log.calls[1].offset, 12u) << "the offset of the flagged event";
  for (const auto& call : log.calls) {
    EXPECT_NE(call.thread, std::this_thread::get_id());
    EXPECT_EQ(call.thread, log.calls[0].thread);
  }
}

// A player that reaches the end of its song closes its stream and opens
// the next from the callback that handed the last buffer back.
HMIDISTRM g_ownStream = nullptr;
std::promise<HMIDISTRM> g_nextStream;
CallbackLog g_nextLog;

TEST_F(MidiStreamTest, ClosingAndReopeningFromItsOwnCallbackDoesNotHang) {
  g_ownStream = std::exchange(stream, nullptr);
  log.onCall = [](UINT message, MIDIHDR*) {
    if (message != MOM_DONE) return;
    EXPECT_EQ(midiStreamClose(g_ownStream), 0u);
    g_nextStream.set_value(OpenStream(g_nextLog, 96));
  };
  StreamBuffer buffer{{0, NoteOn(60)}};
  ASSERT_EQ(Queue(g_ownStream, buffer), 0u);
  ASSERT_EQ(midiStreamRestart(g_ownStream), 0u);
  auto next = g_nextStream.get_future();
  ASSERT_EQ(next.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(log.Messages(), (std::vector<UINT>{MOM_OPEN, MOM_DONE, MOM_CLOSE}));
  EXPECT_EQ(midiStreamRestart(g_ownStream), MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiStreamClose(next.get()), 0u);
}

TEST_F(MidiStreamTest, RefusesHeadersThatAreNotReadyOrLie) {
  StreamBuffer queued{{0, NoteOn(60)}};
  ASSERT_EQ(Queue(stream, queued), 0u);
  struct Case {
    const char* name;
    void (*spoil)(MIDIHDR&);
    UINT size;
    MMRESULT want;
  };
  const Case cases[] = {
      {"unprepared", [](MIDIHDR& h) { h.dwFlags = 0; }, sizeof(MIDIHDR), MIDIERR_UNPREPARED},
      {"more recorded than the buffer holds", [](MIDIHDR& h) { ++h.dwBytesRecorded; }, sizeof(MIDIHDR),
       MMSYSERR_INVALPARAM},
      {"no data", [](MIDIHDR& h) { h.lpData = nullptr; }, sizeof(MIDIHDR), MMSYSERR_INVALPARAM},
      {"short header size", [](MIDIHDR&) {}, sizeof(MIDIHDR) - 1, MMSYSERR_INVALPARAM},
  };
  for (const Case& c : cases) {
    StreamBuffer buffer{{0, NoteOn(61)}};
    buffer.header.dwFlags = MHDR_PREPARED;
    c.spoil(buffer.header);
    EXPECT_EQ(midiStreamOut(stream, &buffer.header, c.size), c.want) << c.name;
  }
  EXPECT_EQ(midiStreamOut(stream, &queued.header, sizeof(MIDIHDR)), MIDIERR_STILLPLAYING);
  EXPECT_EQ(midiOutUnprepareHeader(reinterpret_cast<HMIDIOUT>(stream), &queued.header, sizeof(MIDIHDR)),
            MIDIERR_STILLPLAYING);
  EXPECT_EQ(midiStreamOut(reinterpret_cast<HMIDISTRM>(&queued), &queued.header, sizeof(MIDIHDR)),
            MMSYSERR_INVALHANDLE);
  EXPECT_EQ(midiStreamClose(std::exchange(stream, nullptr)), 0u);  // hands queued back while it lives
}

TEST_F(MidiStreamTest, AnEventThatOverrunsItsBufferEndsThatBufferUnread) {
  StreamBuffer partial{{0, NoteOn(60)}, {0, NoteOn(61)}};
  partial.header.dwBytesRecorded -= 4;  // the second event cut short
  StreamBuffer longEvent{{0, NoteOn(62)}, {0, MEVT_F_LONG | 1000}, {0, NoteOn(63)}};
  ASSERT_EQ(Queue(stream, partial), 0u);
  ASSERT_EQ(Queue(stream, longEvent), 0u);
  ASSERT_EQ(midiStreamRestart(stream), 0u);
  ASSERT_TRUE(log.WaitFor(MOM_DONE, 2));
  const auto got = MidiRecording();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_EQ(got[0].message, NoteOn(60));
  EXPECT_EQ(got[1].message, NoteOn(62));
}

TEST_F(MidiStreamTest, PropertiesAreCheckedBeforeUse) {
  struct Case {
    DWORD flags;
    DWORD size;
    DWORD value;
    MMRESULT want;
  };
  const Case cases[] = {
      {MIDIPROP_GET | MIDIPROP_TIMEDIV, 8, 0, MMSYSERR_NOERROR},
      {MIDIPROP_SET | MIDIPROP_TIMEDIV, 8, 0, MMSYSERR_INVALPARAM},
      {MIDIPROP_SET | MIDIPROP_TEMPO, 8, 0, MMSYSERR_INVALPARAM},
      {MIDIPROP_SET | MIDIPROP_TIMEDIV, 8, 0xE728, MMSYSERR_NOERROR},  // 25 frames of 40 ticks
      {MIDIPROP_SET | MIDIPROP_TIMEDIV, 8, 0x9928, MMSYSERR_INVALPARAM},  // 103 frames a second
      {MIDIPROP_SET | MIDIPROP_TIMEDIV, 4, 96, MMSYSERR_INVALPARAM},
      {MIDIPROP_SET | MIDIPROP_GET | MIDIPROP_TEMPO, 8, 1, MMSYSERR_INVALFLAG},
      {MIDIPROP_SET | MIDIPROP_TEMPO | MIDIPROP_TIMEDIV, 8, 1, MMSYSERR_INVALFLAG},
  };
  for (const Case& c : cases) {
    DWORD property[2] = {c.size, c.value};
    EXPECT_EQ(midiStreamProperty(stream, reinterpret_cast<LPBYTE>(property), c.flags), c.want) << std::hex << c.flags;
    if (c.flags == (MIDIPROP_GET | MIDIPROP_TIMEDIV)) {
      EXPECT_EQ(property[1], 100u);
    }
  }
}

TEST(MidiDevices, APlainOutputTimesItsMessagesFromItsOpening) {
  zplatform::SetMidiMapperDevice("record");
  HMIDIOUT output = nullptr;
  ASSERT_EQ(midiOutOpen(&output, MIDI_MAPPER, 0, 0, CALLBACK_NULL), 0u);
  ASSERT_EQ(midiOutShortMsg(output, NoteOn(60)), 0u);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(midiOutShortMsg(output, NoteOff(60)), 0u);
  EXPECT_EQ(midiOutShortMsg(output, 0x3C), MMSYSERR_INVALPARAM) << "no status byte";
  ASSERT_EQ(midiOutClose(output), 0u);
  const auto got = MidiRecording();
  ASSERT_EQ(got.size(), 2u);
  EXPECT_GE(got[1].streamMilliseconds - got[0].streamMilliseconds, 99);
}

TEST(MidiDevices, TheMapperOpensOnlyKnownDevicesAndNumbersTheSynthesizerFirst) {
  CallbackLog log;
  for (const char* unknown : {"speaker", "wav:", "alsa:x:0"}) {
    zplatform::SetMidiMapperDevice(unknown);
    EXPECT_EQ(OpenStream(log, 96), nullptr) << unknown;
  }
  MIDIOUTCAPSA caps{};
  ASSERT_EQ(midiOutGetDevCaps(0, &caps, sizeof caps), 0u);
  EXPECT_EQ(caps.wTechnology, MOD_SWSYNTH);
  EXPECT_EQ(midiOutGetDevCaps(midiOutGetNumDevs(), &caps, sizeof caps), MMSYSERR_BADDEVICEID);
}

}  // namespace
