// The decode workers driven in the player's order: the next frame decodes on the workers while
// the current one is copied through its change map. The pictures must be those of stepping the
// movie directly; under ThreadSanitizer races between the copy and the workers show here.
#include <gtest/gtest.h>

#include <cstring>

#include "core/movie_internal.h"
#include "encoder/video_encoder.h"
#include "player/decode_workers.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

namespace {

constexpr uint32_t kWidth = 96, kHeight = 64, kFrames = 12;
using Pictures = std::vector<std::vector<uint8_t>>;

// A still gradient with a bright square moving over it: few blocks change, so the copy goes by
// the change map.
std::vector<uint8_t> MakeMovie(char version) {
  VideoEncoderConfig vc;
  vc.Version = version, vc.Width = kWidth, vc.Height = kHeight, vc.KeyInterval = 8;
  VideoEncoder encoder;
  if (!VideoEncoderInit(&encoder, &vc)) return {};
  MovieWriterConfig config;
  config.Version = version, config.Width = kWidth, config.Height = kHeight;
  config.VideoFlags = VideoEncoderVideoFlags(&vc);
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<uint8_t> y(kWidth * kHeight), uv(kWidth * kHeight / 2);
  for (uint32_t i = 0; i < uv.size(); ++i) uv[i] = uint8_t(90 + i % 48);
  for (uint32_t k = 0; k < kFrames; ++k) {
    for (uint32_t i = 0; i < y.size(); ++i)  // unsigned: the square spans 16 x 16 from (5k, 20)
      y[i] = i % kWidth - 5 * k < 16 && i / kWidth - 20 < 16 ? 235 : uint8_t(i % kWidth + i / kWidth);
    VideoEncoderPicture picture = {{y.data(), uv.data(), uv.data() + uv.size() / 2, nullptr},
                                   {kWidth, kWidth / 2, kWidth / 2, 0}};
    VideoEncodedFrame encoded;
    if (!VideoEncodeFrame(&encoder, &picture, &encoded) ||
        !MovieWriterAddFrame(&writer, {{}, encoded.Data, encoded.IsKey}))
      return {};
  }
  VideoEncoderFree(&encoder);
  return MovieWriterImage(&writer);
}

struct DecodeWorkers : ::testing::Test {
  std::vector<uint8_t> image, picture = std::vector<uint8_t>(kWidth * kHeight * 4);
  char imageVersion = 0;
  Movie* Open(char version) {
    if (version != imageVersion) image = MakeMovie(version), imageVersion = version;
    MovieSetPendingImageSize(uint32_t(image.size()));
    return MovieOpen(image.data(), OpenFromMemory | OpenNeverSkip);
  }
  void Copy(Movie* m, uint32_t flags) {
    MovieCopyToSurface(m, picture.data(), kWidth * 4, kHeight, 0, 0, 0, 0, kWidth, kHeight,
                       SurfaceBGRX32 | flags);
  }
  void TearDown() override {
    SetDualWorkers(false);
    for (uint32_t i = 0; i < MaxDecodeWorkers; ++i) StopDecodeWorker(i);
    MovieSetCloseHook(nullptr);
  }
};

Pictures StepDirectly(DecodeWorkers* t, Movie* m) {
  Pictures shown;
  for (uint32_t k = 0; k < kFrames; ++k, MovieNextFrame(m)) {
    EXPECT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    t->Copy(m, CopyAll);
    shown.push_back(t->picture);
  }
  return shown;
}

// As the player's loop: wait for the frame, step on, start the next decode, copy the frame.
Pictures PlayThroughWorkers(DecodeWorkers* t, Movie* m, uint32_t* byChangeMap) {
  Pictures shown;
  EXPECT_TRUE(AsyncDecodeStart(m));
  for (uint32_t k = 0; k < kFrames; ++k) {
    while (!AsyncDecodeWait(m)) {
    }
    *byChangeMap += m->ChangedPercent < 75;
    if (k + 1 < kFrames) {
      MovieNextFrame(m);
      EXPECT_TRUE(AsyncDecodeStart(m));
    }
    t->Copy(m, 0);
    shown.push_back(t->picture);
  }
  return shown;
}

// Slots right after the first start; the parts of the command worker 0 got (0: none posted).
const struct {
  const char* what;
  uint32_t workers;
  bool dual;
  uint32_t slots[2];
  uint64_t worker0Parts;
} kWorkerCases[] = {
    {"no worker: the main thread decodes", 0, false, {0x2FF, 0}, 0},
    {"one worker decodes whole frames", 1, false, {0x300, 0}, DecodeAll},
    {"dual without worker 1: worker 0 decodes all", 1, true, {0x300, 0}, DecodeAll},
    {"two workers split each frame", 2, true, {0x300, 0x301}, DecodeLuma},
    {"two workers, not dual", 2, false, {0x300, 0}, DecodeAll},
};

TEST_F(DecodeWorkers, ShowTheFramesOfDirectStepping) {
  for (char version : {'i', 'h'}) {
    Movie* reference = Open(version);
    ASSERT_NE(reference, nullptr) << MovieGetError();
    const Pictures expected = StepDirectly(this, reference);
    MovieClose(reference);
    for (const auto& c : kWorkerCases) {
      SCOPED_TRACE(testing::Message() << version << ": " << c.what);
      for (uint32_t i = 0; i < c.workers; ++i) ASSERT_TRUE(StartDecodeWorker(i));
      SetDualWorkers(c.dual);
      Movie* m = Open(version);
      ASSERT_NE(m, nullptr);
      ASSERT_TRUE(AsyncDecodeStart(m));
      EXPECT_EQ(m->AsyncJob[0], c.slots[0]);
      EXPECT_EQ(m->AsyncJob[1], c.slots[1]);
      const WorkerQueue* q = DecodeWorkerQueue(0, 0);
      uint64_t command = 0;
      if (c.workers) std::memcpy(&command, q->Ring + (q->WritePos + WorkerQueueBytes - 8) % WorkerQueueBytes, 8);
      EXPECT_EQ(command >> 1 & 3, c.worker0Parts);
      AsyncDecodeWaitAll(m);
      MovieClose(m);

      m = Open(version);
      uint32_t byChangeMap = 0;
      EXPECT_EQ(PlayThroughWorkers(this, m, &byChangeMap), expected);
      EXPECT_GE(byChangeMap, kFrames / 2);  // most copies went by the change map
      MovieClose(m);
      TearDown();
    }
  }
}

TEST_F(DecodeWorkers, IdleWaitTouchesNothingAndBusyStartPostsNothing) {
  ASSERT_TRUE(StartDecodeWorker(0));
  EXPECT_FALSE(StartDecodeWorker(0));
  EXPECT_FALSE(StartDecodeWorker(MaxDecodeWorkers));
  Movie* m = Open('i');
  ASSERT_NE(m, nullptr);
  Movie before;
  std::memcpy(&before, m, sizeof before);
  EXPECT_EQ(AsyncDecodeWait(m), 1);
  EXPECT_EQ(std::memcmp(&before, m, sizeof before), 0);

  ASSERT_TRUE(AsyncDecodeStart(m));
  const WorkerQueue* commands = DecodeWorkerQueue(0, 0);
  const uint32_t posted = commands->WritePos, job = m->AsyncJob[0];
  m->SkipState = 1;  // MovieFrameBegin would reset it
  EXPECT_EQ(AsyncDecodeStart(m), 0);
  EXPECT_EQ(commands->WritePos, posted);
  EXPECT_EQ(m->AsyncJob[0], job);
  EXPECT_EQ(m->SkipState, 1u);
  AsyncDecodeWaitAll(m);
  EXPECT_EQ(m->LastFinishedFrame, 1u);
  MovieClose(m);
}

TEST_F(DecodeWorkers, CloseWaitsForTheDecode) {
  ASSERT_TRUE(StartDecodeWorker(0));
  Movie* m = Open('i');
  ASSERT_NE(m, nullptr);
  ASSERT_TRUE(AsyncDecodeStart(m));
  MovieClose(m);  // the close hook collects the answer before the movie is freed
  ASSERT_TRUE(StopDecodeWorker(0));
  const WorkerQueue* results = DecodeWorkerQueue(0, 1);
  EXPECT_EQ(results->ReadPos, results->WritePos);
}

// Maps the movie has before its first background decode: none, one the copy made, or one map
// standing as both. The start gives it two distinct maps, adopting the one it had.
TEST_F(DecodeWorkers, TwoChangeMapsAreCountedAndAdoptExistingOnes) {
  for (int had = 0; had < 3; ++had) {
    SCOPED_TRACE(had);
    Movie* m = Open('i');
    ASSERT_NE(m, nullptr);
    if (had == 1) m->ChangedPercent = 0, Copy(m, 0);  // a changed-area copy makes a map
    if (had == 2) m->ChangeMap = m->ChangeMapSpare = MovieAllocChangeMap(m);
    const uint8_t* old = m->ChangeMap;
    const uint32_t memory = m->TotalMemory;
    ASSERT_TRUE(AsyncDecodeStart(m));
    AsyncDecodeWaitAll(m);
    EXPECT_TRUE(m->ChangeMap && m->ChangeMapSpare && m->ChangeMap != m->ChangeMapSpare);
    EXPECT_TRUE(!old || old == m->ChangeMap || old == m->ChangeMapSpare);
    EXPECT_EQ(m->TotalMemory - memory, (old ? 1 : 2) * (m->ChangeMapBytes + kChangeMapPadding));
    MovieNextFrame(m);
    ASSERT_TRUE(AsyncDecodeStart(m));
    AsyncDecodeWaitAll(m);
    EXPECT_EQ(m->TotalMemory - memory, (old ? 1 : 2) * (m->ChangeMapBytes + kChangeMapPadding));
    MovieClose(m);  // both freed: LeakSanitizer would tell
  }
}

}  // namespace
