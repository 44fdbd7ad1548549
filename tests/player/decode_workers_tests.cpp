// The decode workers in the player's order: the next frame decodes on the workers while the
// current one is copied through its change map; the pictures must be those of direct stepping.
#include <gtest/gtest.h>

#include <cstring>

#include "core/movie_internal.h"
#include "player/decode_workers.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kW = 96, kH = 64, kFrames = 12;
using Pictures = std::vector<std::vector<uint8_t>>;

// A still gradient under a moving square: few blocks change, so copies go by the change map.
std::vector<uint8_t> MakeMovie(char version) {
  VideoEncoderConfig config;
  config.Version = version, config.Width = kW, config.Height = kH, config.KeyInterval = 8;
  return TestEncodeMovie(config, kFrames, [](uint32_t k, uint32_t w, uint32_t h, uint8_t* y,
                                             uint8_t* u, uint8_t* v) {
    for (uint32_t i = 0; i < w * h; ++i)  // unsigned: the square spans 16 x 16 from (5k, 20)
      y[i] = i % w - 5 * k < 16 && i / w - 20 < 16 ? uint8_t(235) : uint8_t(i % w + i / w);
    std::memset(u, 128, w * h / 4), std::memset(v, 128, w * h / 4);
  });
}

struct DecodeWorkers : ::testing::Test {
  std::vector<uint8_t> images[2] = {MakeMovie('i'), MakeMovie('h')}, picture = std::vector<uint8_t>(kW * kH * 4);
  Movie* Open(int image, uint32_t flags = OpenNeverSkip) {
    MovieSetPendingImageSize(uint32_t(images[image].size()));
    return MovieOpen(images[image].data(), OpenFromMemory | flags);
  }
  void Copy(Movie* m, uint32_t flags) {
    MovieCopyToSurface(m, picture.data(), kW * 4, kH, 0, 0, 0, 0, kW, kH, SurfaceBGRX32 | flags);
  }
  // Directly: each frame decoded, ended and copied whole. Through the workers, as the player's
  // loop: wait for the frame, step on, start the next decode, copy through the change map.
  // Frames in the `dropped` mask lose their copy; the copy after a dropped one is whole, as in
  // the player's ShowNextFrame.
  Pictures Play(Movie* m, bool workers, uint32_t* byChangeMap, uint32_t dropped = 0) {
    Pictures shown;
    uint32_t extra = 0;
    EXPECT_TRUE(!workers || AsyncDecodeStart(m));
    for (uint32_t k = 0; k < kFrames; ++k) {
      if (!workers) MovieFrameBegin(m, 1), MovieDecodeFrame(m, DecodeAll), MovieFrameEnd(m, 1);
      while (workers && !AsyncDecodeWait(m)) {}
      *byChangeMap += m->ChangedPercent < 75;
      if (workers && k + 1 < kFrames) MovieNextFrame(m), AsyncDecodeStart(m);
      if (dropped >> k & 1) {
        DropCopy(m);
        extra = CopyAll;
        continue;
      }
      Copy(m, workers ? extra : CopyAll);
      extra = 0;
      shown.push_back(picture);
      if (!workers) MovieNextFrame(m);
    }
    return shown;
  }
  // The copy decides to drop the frame the way it does for a late movie with sound: its skip test
  // sees the frame 300 ms overdue; the clock is put back after.
  void DropCopy(Movie* m) {
    const uint32_t base = m->TimerBase, baseFrame = m->TimerBaseFrame;
    m->NumOpenTracks = 1, m->TimerBase = MovieTimerMs() - 300, m->TimerBaseFrame = m->FramesPlayed;
    Copy(m, 0);
    m->NumOpenTracks = 0, m->TimerBase = base, m->TimerBaseFrame = baseFrame;
    EXPECT_EQ(m->SkipState, 2u);
  }
  void TearDown() override {
    SetDualWorkers(false);
    for (uint32_t i = 0; i < MaxDecodeWorkers; ++i) StopDecodeWorker(i);
  }
};

// Slots after the first start, and the parts worker 0 was sent (0: nothing was posted).
const struct { uint32_t workers; bool dual; uint32_t slots[2], worker0Parts; } kWorkerCases[] = {
    {0, false, {0x2FF, 0}, 0}, {1, false, {0x300, 0}, DecodeAll}, {1, true, {0x300, 0}, DecodeAll},
    {2, true, {0x300, 0x301}, DecodeLuma}, {2, false, {0x300, 0}, DecodeAll}};

TEST_F(DecodeWorkers, ShowTheFramesOfDirectStepping) {
  for (int image = 0; image < 2; ++image) {
    uint32_t byChangeMap = 0;
    Movie* m = Open(image);
    const Pictures expected = Play(m, false, &byChangeMap);
    MovieClose(m);
    for (const auto& c : kWorkerCases) {
      SCOPED_TRACE(testing::Message() << image << ": " << c.workers << " workers, dual " << c.dual);
      auto start = [&] {
        for (uint32_t i = 0; i < c.workers; ++i) ASSERT_TRUE(StartDecodeWorker(i));
        SetDualWorkers(c.dual);
      };
      start();
      ASSERT_TRUE(AsyncDecodeStart(m = Open(image)));
      EXPECT_EQ(std::vector<uint32_t>(m->AsyncJob, m->AsyncJob + 2), std::vector<uint32_t>(c.slots, c.slots + 2));
      const WorkerQueue* q = DecodeWorkerQueue(0, 0);
      uint64_t command = 0;
      if (c.workers) std::memcpy(&command, q->Ring + (q->WritePos + WorkerQueueBytes - 8) % WorkerQueueBytes, 8);
      EXPECT_EQ(command >> 1 & 3, c.worker0Parts);
      MovieClose(m);  // waits for the decode: no answer is left in the queue
      TearDown();
      EXPECT_EQ(DecodeWorkerQueue(0, 1)->ReadPos, DecodeWorkerQueue(0, 1)->WritePos);
      start();
      byChangeMap = 0;
      EXPECT_EQ(Play(m = Open(image), true, &byChangeMap), expected);
      EXPECT_GE(byChangeMap, kFrames / 2);
      MovieClose(m);
      TearDown();
    }
  }
}

// The next frame's change map was begun before the copy of this one was dropped: without a whole
// copy after the drop, the dropped frame's changes would stay missing from the picture.
TEST_F(DecodeWorkers, CopyAfterADroppedCopyShowsTheDroppedChanges) {
  uint32_t byChangeMap = 0;
  Movie* m = Open(0);
  Pictures expected = Play(m, false, &byChangeMap);
  MovieClose(m);
  constexpr uint32_t dropped = 1u << 3 | 1u << 4 | 1u << 9;
  for (uint32_t k = kFrames; k-- > 0;)
    if (dropped >> k & 1) expected.erase(expected.begin() + k);
  ASSERT_TRUE(StartDecodeWorker(0));
  EXPECT_EQ(Play(m = Open(0, 0), true, &byChangeMap, dropped), expected);
  MovieClose(m);
}

TEST_F(DecodeWorkers, IdleWaitTouchesNothingAndBusyStartPostsNothing) {
  ASSERT_TRUE(StartDecodeWorker(0));
  EXPECT_FALSE(StartDecodeWorker(0) || StartDecodeWorker(MaxDecodeWorkers));
  Movie *m = Open(0), before;
  std::memcpy(&before, m, sizeof before);
  EXPECT_EQ(AsyncDecodeWait(m), 1);
  EXPECT_EQ(std::memcmp(&before, m, sizeof before), 0);
  ASSERT_TRUE(AsyncDecodeStart(m));
  const uint32_t posted = DecodeWorkerQueue(0, 0)->WritePos, job = m->AsyncJob[0];
  m->SkipState = 1;  // MovieFrameBegin would reset it
  EXPECT_EQ(AsyncDecodeStart(m), 0);
  EXPECT_EQ(std::vector<uint32_t>({DecodeWorkerQueue(0, 0)->WritePos, m->AsyncJob[0], m->SkipState}),
            std::vector<uint32_t>({posted, job, 1}));
  MovieClose(m);
}

// The maps before the first start: none, one the copy made, one standing as both. The start
// gives the movie two distinct maps, adopting the one it had; LeakSanitizer checks the close.
TEST_F(DecodeWorkers, TwoChangeMapsAreCountedAndAdoptTheOneThereIs) {
  for (int had = 0; had < 3; ++had) {
    Movie* m = Open(0);
    if (had == 1) m->ChangedPercent = 0, Copy(m, 0);
    if (had == 2) m->ChangeMap = m->ChangeMapSpare = MovieAllocChangeMap(m);
    const uint8_t* old = m->ChangeMap;
    const uint32_t memory = m->TotalMemory, added = (old ? 1 : 2) * (m->ChangeMapBytes + kChangeMapPadding);
    for (int frame = 0; frame < 2; ++frame, MovieNextFrame(m)) {
      ASSERT_TRUE(AsyncDecodeStart(m));
      AsyncDecodeWaitAll(m);
      EXPECT_EQ(m->TotalMemory - memory, added) << had;
    }
    EXPECT_TRUE(m->ChangeMap && m->ChangeMapSpare && m->ChangeMap != m->ChangeMapSpare);
    EXPECT_TRUE(!old || old == m->ChangeMap || old == m->ChangeMapSpare);
    MovieClose(m);
  }
}

}  // namespace
