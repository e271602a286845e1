// CMIDI through the platform's recording device. Times are the stream's own
// clock (streamMilliseconds): computed from ticks and tempo, so they match
// to rounding; only a stream that ran dry (a refill later than the music in
// the other buffer) or a wrong delta or tempo moves them. kToleranceMs
// absorbs the rounding alone.
#include <zerth/CMIDI.h>

#include "SmfBuilder.h"

#include <QCoreApplication>
#include <QObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace {

using namespace std::chrono_literals;
constexpr double kToleranceMs = 0.5;
constexpr int kDivision = 96;
constexpr DWORD kTempo = 96000;  // a tick is 1 ms
constexpr int kOn = 0x90, kPan = 0xB0;

struct Note {
  double ms;
  DWORD message;
};

DWORD On(int key, int channel = 0) { return static_cast<DWORD>(kOn | channel | key << 8 | 0x40 << 16); }

// What the song played: notes switched on, and volume controllers.
std::vector<Note> Played() {
  std::vector<Note> notes;
  for (const auto& m : zplatform::MidiRecording()) {
    const bool noteOn = (m.message & 0xF0) == kOn && (m.message >> 16 & 0x7F) != 0;
    if (noteOn || (m.message & 0xFFF0) == 0x07B0) notes.push_back({m.streamMilliseconds, m.message});
  }
  return notes;
}

// Three notes, keys 60, 62 and 64, at 0, gap and 2.5 gaps (in ticks); the
// second by running status.
std::string Melody(std::uint32_t gap = 100) {
  smf::Track t;
  t.Tempo(0, kTempo).At(0, {kOn, 60, 0x40}).At(gap, {62, 0x40}).At(gap * 3 / 2, {kOn, 64, 0x40}).At(gap / 2, {0x80, 64, 0});
  return smf::File(0, kDivision, {t.Ended()});
}

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
  for (auto end = std::chrono::steady_clock::now() + limit; !done();) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

class Player : public CMIDI {
public:
  ~Player() override { Stop(0); }
  std::vector<std::string> errors;

protected:
  void TrackError(TRACK*, const char* message) override { errors.emplace_back(message); }
};

class VolumeWatcher : public QObject {
public:
  std::vector<CMidiVolumeEvent> reports{};
  bool event(QEvent* e) override {
    if (e->type() != CMidiVolumeEvent::EventType()) return QObject::event(e);
    const auto* report = static_cast<CMidiVolumeEvent*>(e);
    reports.emplace_back(report->player(), report->channel(), report->volume());
    return true;
  }
};

class MidiTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "zerth_midi_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    zplatform::SetMidiMapperDevice("record");
  }
  void SetUp() override { zplatform::ClearMidiRecording(); }

  static std::vector<Note> PlayToEnd(CMIDI& player) {
    zplatform::ClearMidiRecording();
    EXPECT_EQ(player.Play(), 1);
    EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying(); })) << "the song never ended";
    return Played();
  }
  static void ExpectNotes(const std::vector<Note>& played, const std::vector<Note>& expected) {
    ASSERT_GE(played.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(played[i].message, expected[i].message) << "note " << i;
      EXPECT_NEAR(played[i].ms, expected[i].ms, kToleranceMs) << "note " << i;
    }
  }
};

TEST_F(MidiTest, PlaysEventsInOrderAtTheirTimes) {
  smf::Track lower, upper, full;
  lower.Tempo(0, kTempo).At(0, {kOn, 60, 0x40}).At(100, {kOn, 62, 0x40});
  upper.At(50, {kOn | 1, 70, 0x40}).At(50, {kOn | 1, 72, 0x40});
  // 84 controllers fill the first buffer with the tempo event; the second
  // tempo event waits whole for the next buffer.
  full.Tempo(0, kTempo);
  for (int i = 0; i < 84; ++i) full.At(0, {kPan, 10, 64});
  full.Tempo(0, kTempo / 2).At(0, {kOn, 60, 0x40}).At(100, {kOn, 62, 0x40});
  smf::Track broken;  // tempo events without their bytes, or of 0, change nothing
  broken.Tempo(0, kTempo).At(0, {0xFF, 0x51, 0}).Tempo(0, 0).At(0, {kOn, 60, 0x40}).At(100, {kOn, 62, 0x40});
  smf::Track lyric;
  lyric.Tempo(0, kTempo).At(0, {kOn, 60, 0x40}).Text(40, "lyric").At(60, {kOn, 62, 0x40});
  smf::Track slow;  // 1 percent of 500000 would not fit a stream tempo: capped
  slow.Tempo(0, 500000).At(0, {kOn, 60, 0x40}).At(1, {kOn, 62, 0x40});
  const struct {
    const char* name;
    std::string image;
    unsigned long percent;
    std::vector<Note> expected;
  } cases[] = {
      {"format 0, running status", Melody(), 100, {{0, On(60)}, {100, On(62)}, {250, On(64)}}},
      {"format 1, lower track first on equal ticks", smf::File(1, kDivision, {lower.Ended(), upper.Ended()}), 100,
       {{0, On(60)}, {50, On(70, 1)}, {100, On(62)}, {100, On(72, 1)}}},
      {"text between notes", smf::File(0, kDivision, {lyric.Ended()}), 100, {{0, On(60)}, {100, On(62)}}},
      {"SetTempo(200) halves the tempo", Melody(), 200, {{0, On(60)}, {50, On(62)}, {125, On(64)}}},
      {"SetTempo(0) is 1 percent", Melody(1), 0, {{0, On(60)}, {100, On(62)}}},
      {"tempo capped at 24 bits", smf::File(0, kDivision, {slow.Ended()}), 0, {{0, On(60)}, {0xFFFFFF / 96000.0, On(62)}}},
      {"tempo event kept whole for the next buffer", smf::File(0, kDivision, {full.Ended()}), 100,
       {{0, On(60)}, {50, On(62)}}},
      {"broken tempo events ignored", smf::File(0, kDivision, {broken.Ended()}), 100, {{0, On(60)}, {100, On(62)}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Player player;
    if (c.percent != 100) player.SetTempo(c.percent);
    ASSERT_EQ(player.Create(c.image.data(), c.image.size()), 1);
    ExpectNotes(PlayToEnd(player), c.expected);
  }
}

TEST_F(MidiTest, RefusesBadImages) {
  const std::string good = Melody();
  const auto patched = [&](std::size_t at, std::string bytes) { return std::string(good).replace(at, bytes.size(), bytes); };
  const auto track = [](std::string bytes) { return smf::File(0, kDivision, {bytes}); };
  const struct {
    const char* name;
    std::string image;
    std::vector<std::string> errors;
  } cases[] = {
      {"no MThd", patched(0, "RIFF"), {}},
      {"header length 7", patched(4, smf::Be(7, 4)), {}},
      {"truncated header", good.substr(0, 12), {}},
      {"zero tracks", smf::File(0, kDivision, {}), {}},
      {"huge track count", patched(10, smf::Be(0xFFFF, 2)), {}},
      {"division 0", patched(12, smf::Be(0, 2)), {}},
      {"chunk not MTrk", patched(14, "MTrx"), {}},
      {"track beyond the image", patched(18, smf::Be(static_cast<std::uint32_t>(good.size()), 4)), {}},
      {"endless number", track(std::string(64, '\x80')), {}},
      {"running status first", track(std::string("\x00\x3C\x40", 3) + smf::Track().Ended()), {"Reference to missing running status."}},
      {"SysEx length endless", track(std::string("\x00\xF0\x81\x80", 4)), {"SysEx event truncated (length)"}},
      {"SysEx beyond the track", track(std::string("\x00\xF0\x7F\x01\x02", 5)), {"SysEx event truncated"}},
      {"meta length endless", track(std::string("\x00\xFF\x01\x81", 4)), {"Meta event truncated (length)"}},
      {"meta beyond the track", track(std::string("\x00\xFF\x01\x40" "ab", 6)), {"Meta event truncated"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Player player;
    EXPECT_EQ(player.Create(c.image.data(), c.image.size()), 0);
    EXPECT_EQ(player.errors, c.errors);
    EXPECT_EQ(player.GetChannelCount(), 0u);
    EXPECT_EQ(player.Create(good.data(), good.size()), 1) << "a refused image leaves the player uncreated";
  }
}

TEST_F(MidiTest, ATrackErrorLaterEndsPlaybackAndReportsIt) {
  smf::Track t;
  t.Tempo(0, kTempo);
  for (int key = 60; key < 66; ++key) t.At(key == 60 ? 0 : 100, {kOn, key, 0x40});
  const std::string song = smf::File(0, kDivision, {t.bytes + std::string("\x00\xF0\x7F", 3)});
  Player player;
  ASSERT_EQ(player.Create(song.data(), song.size()), 1);
  ExpectNotes(PlayToEnd(player), {{0, On(60)}, {100, On(61)}, {200, On(62)}});
  EXPECT_EQ(player.errors, std::vector<std::string>{"SysEx event truncated"});
}

TEST_F(MidiTest, VolumeRules) {
  smf::Track t;
  t.Tempo(0, kTempo).At(0, {kOn, 60, 0x40}).At(100, {0xB2, 7, 32}).At(100, {kOn, 62, 0x40});
  const std::string song = smf::File(0, kDivision, {t.Ended()});
  VolumeWatcher watcher;
  Player player;
  EXPECT_EQ(player.GetVolume(), 0u);
  ASSERT_EQ(player.Create(song.data(), song.size(), &watcher), 1);
  player.SetChannelVolume(0, 50);  // stopped: nothing happens
  EXPECT_EQ(player.GetChannelVolume(0), 100u);
  EXPECT_EQ(player.Play(), 1);
  player.SetChannelVolume(1, 150);
  EXPECT_EQ(player.GetChannelVolume(1), 100u);
  player.SetVolume(50);
  EXPECT_TRUE(WaitUntil([&] { return !player.IsPlaying() && !watcher.reports.empty(); }));
  ASSERT_EQ(watcher.reports.size(), 1u);
  EXPECT_EQ(watcher.reports[0].wParam(), reinterpret_cast<std::uintptr_t>(static_cast<CMIDI*>(&player)));
  EXPECT_EQ(watcher.reports[0].lParam(), 2u | 25u << 16);  // 32 * 100 / 127 percent on channel 2
  EXPECT_EQ(player.GetChannelVolume(2), 25u);
  EXPECT_EQ(player.GetVolume(), (15 * 50 + 25) / 16u);
  const auto played = Played();
  EXPECT_EQ(std::count_if(played.begin(), played.end(), [](const Note& n) { return n.message == 0x7F07B1u; }), 1)
      << "150 percent is sent as 127";
  // A parent destroyed before the report arrives gets none, and nothing breaks.
  auto gone = std::make_unique<VolumeWatcher>();
  Player other;
  ASSERT_EQ(other.Create(song.data(), song.size(), gone.get()), 1);
  EXPECT_EQ(other.Play(), 1);
  gone.reset();
  EXPECT_TRUE(WaitUntil([&] { return !other.IsPlaying(); }));
  QCoreApplication::processEvents();
}

TEST_F(MidiTest, PauseContinueAndPlayWhilePausedResume) {
  const std::string song = Melody(300);
  Player player;
  ASSERT_EQ(player.Create(song.data(), song.size()), 1);
  EXPECT_EQ(player.Play(), 1);
  for (std::size_t heard : {1u, 2u}) {
    ASSERT_TRUE(WaitUntil([&] { return Played().size() == heard; }));
    EXPECT_EQ(player.Pause(), 0);
    EXPECT_TRUE(player.IsPaused());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Played().size(), heard) << "nothing plays while paused";
    EXPECT_EQ(heard == 1 ? player.Continue() : player.Play(), heard == 1 ? 0 : 1);
    EXPECT_FALSE(player.IsPaused());
  }
  ASSERT_TRUE(WaitUntil([&] { return !player.IsPlaying(); }));
  const auto played = Played();
  ExpectNotes(played, {{0, On(60)}, {300, On(62)}, {750, On(64)}});
  ASSERT_EQ(played.size(), 3u);
  const auto wall = zplatform::MidiRecording();
  EXPECT_GT(wall.back().milliseconds, 750 + 2 * 200 - kToleranceMs) << "the pauses took their time";
}

TEST_F(MidiTest, PlaysAgainAfterTheEndAndWhilePlaying) {
  const std::string song = Melody();
  const std::vector<Note> melody = {{0, On(60)}, {100, On(62)}, {250, On(64)}};
  Player player;
  ASSERT_EQ(player.Create(song.data(), song.size()), 1);
  ExpectNotes(PlayToEnd(player), melody);
  ExpectNotes(PlayToEnd(player), melody);
  // A copy plays the same song on a stream of its own.
  CMIDI copy(player);
  ExpectNotes(PlayToEnd(copy), melody);
  // Play while playing, and a rewind while playing, start a longer song
  // afresh (its conversion well ahead of its start).
  smf::Track scale;
  scale.Tempo(0, kTempo);
  for (int key = 60; key < 72; ++key) scale.At(key == 60 ? 0 : 100, {kOn, key, 0x40});
  const std::string longer = smf::File(0, kDivision, {scale.Ended()});
  Player other;
  ASSERT_EQ(other.Create(longer.data(), longer.size()), 1);
  for (int run = 0; run < 2; ++run) {
    zplatform::ClearMidiRecording();
    EXPECT_EQ(other.Play(), 1);
    ASSERT_TRUE(WaitUntil([&] { return Played().size() >= 3; }));
  }
  EXPECT_EQ(other.Rewind(), 1);
  ASSERT_TRUE(WaitUntil([&] { return !other.IsPlaying(); }));
  ExpectNotes(Played(), {{0, On(60)}, {100, On(61)}, {200, On(62)}});
  EXPECT_EQ(Played().back().message, On(71));
}

TEST_F(MidiTest, LoopsAcrossTheEnd) {
  const std::string song = Melody();
  Player player;
  ASSERT_EQ(player.Create(song.data(), song.size()), 1);
  EXPECT_EQ(player.Play(1), 1);
  ASSERT_TRUE(WaitUntil([&] { return Played().size() >= 7; }));
  EXPECT_TRUE(player.IsPlaying());
  // The next pass starts at the last event written (the note off at 300).
  ExpectNotes(Played(), {{0, On(60)}, {100, On(62)}, {250, On(64)}, {300, On(60)}, {400, On(62)}, {550, On(64)},
                         {600, On(60)}});
  EXPECT_EQ(player.Stop(0), 1);
  EXPECT_FALSE(player.IsPlaying());
}

TEST_F(MidiTest, CreatesFromTheProgramsMidiResources) {
  for (const auto& create : std::vector<std::function<int(CMIDI&)>>{
           [](CMIDI& p) { return p.Create("tune"); }, [](CMIDI& p) { return p.Create(7u); },
           [](CMIDI& p) { return p.Create("#7"); }}) {
    Player player;
    EXPECT_EQ(create(player), 1);
    EXPECT_EQ(player.GetChannelCount(), 16u);
  }
  Player player;
  EXPECT_EQ(player.Create("missing"), 0);
  EXPECT_EQ(player.Create(8u), 0);
}

}  // namespace
