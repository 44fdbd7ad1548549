// Sound tracks: which of a movie's tracks open, and how the pump hands their sound to a channel.
#include <gtest/gtest.h>

#include <cstring>

#include "core/audio_packet.h"
#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "platform/platform.h"
#include "tests/core/fake_sound.h"

namespace {

const uint32_t kStereo16 = TrackAudio | TrackStereo | Track16Bit | 22050;

struct SoundTracks : WithFakeSound {
  Movie* m = nullptr;
  std::vector<uint8_t> image;

  void TearDown() override {
    MovieClose(m);
    WithFakeSound::TearDown();
  }
  // A 50-frame movie at 25 fps with the given tracks.
  void Open(std::vector<MovieWriterTrack> tracks, uint32_t flags = 0) {
    MovieClose(m);
    TestMovieShape s;
    s.Config.Width = s.Config.Height = 32, s.Config.Tracks = std::move(tracks);
    s.Frames = 50, s.VideoBytes = 200, s.AudioBytes = 16;
    image = TestMakeMovie(s);
    m = TestOpenImage(image, flags);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
  // Puts 16-bit samples in track 0's ring as the decoder would, then pumps.
  void QueueAndPump(const std::vector<int16_t>& samples) {
    AudioTrack* t = &m->Tracks[0];
    PlatformMutex* mutex = MovieSoundMutex(m);  // keeps the sound service thread out
    if (mutex) PlatformMutexLock(mutex);
    for (int16_t s : samples) {
      std::memcpy(t->PcmWrite, &s, 2);
      t->PcmWrite = t->PcmWrite + 2 == t->PcmRingEnd ? t->PcmRing : t->PcmWrite + 2;
    }
    SoundPump(m);
    if (mutex) PlatformMutexUnlock(mutex);
  }
};

struct TrackCase {
  const char* what;
  MovieWriterTrack track;
  bool refuse;
  uint32_t opened;
};
const TrackCase kTrackCases[] = {
    {"16-bit stereo", {0, kStereo16, 100000}, false, 1},
    {"both coding bits", {0, TrackAudio | TrackDct | Track16Bit | 8000, 4000}, false, 1},
    // 8-bit mono at 22050 Hz: two seconds are 44100 bytes; the ring is 5/4 of the largest
    // packet in 256s, 44032 bytes for 35226, 44288 for 35227.
    {"a ring of two seconds", {0, TrackAudio | 22050, 35226}, false, 1},
    {"a ring of more than two seconds", {0, TrackAudio | 22050, 35227}, false, 0},
    {"a packet size that would wrap", {0, kStereo16, 0xFFFFFFF0u}, false, 0},
    {"no rate", {0, TrackAudio | Track16Bit, 20000}, false, 0},
    {"no sound bits", {0, TrackStereo | 22050, 20000}, false, 0},
    {"refused by the back end", {0, kStereo16, 20000}, true, 0},
};

TEST_F(SoundTracks, TracksTheBackEndCannotPlayLeaveTheMovieSilent) {
  for (const TrackCase& c : kTrackCases) {
    gSound.refuse = c.refuse;
    Open({c.track});
    EXPECT_EQ(m->NumOpenTracks, c.opened) << c.what;
    EXPECT_EQ(m->SoundOn, c.opened) << c.what;
  }
  MovieSetSoundOpenFunc(nullptr);  // no back end at all
  gSound = {};
  Open({{0, kStereo16, 20000}});
  EXPECT_EQ(m->NumOpenTracks, 0u);
}

TEST_F(SoundTracks, TheTrackListPicksByIdentifierInListOrderOnce) {
  const uint32_t ids[] = {3, 99, 7, 3};  // 99 is not in the movie; 3 opens twice
  ASSERT_TRUE(MovieSetPendingTrackList(ids, 4));
  Open({{7, kStereo16, 20000}, {3, kStereo16, 20000}, {0, TrackStereo | 22050, 20000}},
       OpenTrackList);
  ASSERT_EQ(m->NumOpenTracks, 3u);
  EXPECT_EQ(std::vector<uint32_t>(m->TrackIndices, m->TrackIndices + 3),
            (std::vector<uint32_t>{1, 0, 1}));
  Open({{7, kStereo16, 20000}, {3, kStereo16, 20000}, {0, TrackStereo | 22050, 20000}});
  EXPECT_EQ(m->NumOpenTracks, 0u);  // back to identifier 0, which has no sound here
}

// The pump hands over whole 4096-byte chunks, and only when the ring holds more than one; in the
// last 3/4 s (after frame 32 of 50) it hands over whatever is left.
TEST_F(SoundTracks, ThePumpHandsOverWholeChunksUntilTheEndZone) {
  const struct {
    uint32_t frame, samples, taken;
  } cases[] = {{2, 2048, 0}, {2, 3000, 4096}, {32, 500, 0}, {33, 500, 1000}};
  for (const auto& c : cases) {
    Open({{0, kStereo16, 20000}});
    gSound.taken.clear(), gSound.taking = true;
    MovieFrameBegin(m, MovieTimerMs());
    MovieFrameEnd(m, MovieTimerMs());  // the pump works once a frame has been played
    MovieLoadFramePacket(m, c.frame);
    QueueAndPump(std::vector<int16_t>(c.samples, 7));
    EXPECT_EQ(gSound.taken.size(), c.taken) << c.frame << " " << c.samples;
    EXPECT_EQ(SoundRingUsed(&m->Tracks[0]), 2 * c.samples - c.taken);
  }
}

TEST_F(SoundTracks, TurningTheSoundOffAndOnLeavesThreeQuartersOfASecondOfSilence) {
  Open({{0, kStereo16, 80000}});
  MovieNextFrame(m);  // past the first frame, where no lead-in is put in
  QueueAndPump(std::vector<int16_t>(100, 1234));
  EXPECT_EQ(MovieSoundOnOff(m, 0), 0u);
  const AudioTrack* t = &m->Tracks[0];
  ASSERT_EQ(SoundRingUsed(t), 66148u);  // 750 ms in whole frames; the queued sound is gone
  const uint8_t* p = t->PcmRead;
  for (uint32_t i = 0; i < 66148; ++i, p = p + 1 == t->PcmRingEnd ? t->PcmRing : p + 1)
    ASSERT_EQ(*p, 0) << i;
  EXPECT_EQ(MovieSoundOnOff(m, 1), 1u);
  EXPECT_EQ(gSound.onOff, (std::vector<int>{0, 1}));
}

TEST_F(SoundTracks, PacketsThatDoNotFitAreDroppedWithoutOverwritingQueuedSound) {
  Open({{0, kStereo16, 20000}});
  AudioTrack* t = &m->Tracks[0];
  QueueAndPump(std::vector<int16_t>(16, 0x5555));
  // A packet claiming about a megabyte of sound, in blocks of zero words.
  std::vector<uint8_t> frame(8 + 4 + 4096, 0);
  frame[4] = 0xFF, frame[5] = 0xFF, frame[6] = 0x0F;
  AudioDecodePacket(m, t, 4 + 4096, frame.data() + 4, frame.data(), frame.data() + frame.size());
  EXPECT_LE(SoundRingUsed(t), t->PcmRingBytes - 16);
  EXPECT_EQ(t->PcmRead[0], 0x55);
}

}  // namespace
