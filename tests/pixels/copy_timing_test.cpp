// The copy's part in frame dropping and its read-ahead service step.
#include <gtest/gtest.h>

#include <vector>

#include "tests/pixels/pixel_test_support.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;

class CopyTiming : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(TestOpenPictureMovie(&movie_, 16, 16));
    m_ = movie_.M;
    TestFillPlanesRandom(m_, 1);
    surface_.assign(16 * 64, kUntouched);
  }
  void TearDown() override {
    m_->NumOpenTracks = 0;
    TestClosePictureMovie(&movie_);
  }
  // A movie with sound at 25 frames/s whose current frame (1 of 3) is lateMs late.
  void MakeLate(int32_t lateMs) {
    m_->NumOpenTracks = 1;
    m_->Tracks[0].SpeedFactor = 0x10000;
    m_->FrameRate = 25, m_->FrameRateDiv = 1;
    m_->SlackMs = 80;
    m_->FramesPlayed = 1, m_->TimerBaseFrame = 0;
    m_->FrameNum = 1, m_->Frames = 3;
    m_->TimerBase = MovieTimerMs() - 40 - uint32_t(lateMs);
    if (m_->TimerBase == 0) m_->TimerBase = 1;
    m_->SkipState = 0;
  }
  uint32_t Copy(uint32_t flags = 0) {
    return MovieCopyToSurface(m_, surface_.data(), 64, 16, 0, 0, 0, 0, 16, 16,
                              SurfaceBGRX32 | CopyAll | flags);
  }
  bool Written() const { return surface_[0] != kUntouched || surface_[1] != kUntouched; }
  void Clear() { surface_.assign(surface_.size(), kUntouched); }

  TestPictureMovie movie_;
  Movie* m_ = nullptr;
  std::vector<uint8_t> surface_;
};

TEST_F(CopyTiming, LateFrameLosesItsCopy) {
  MakeLate(2000);
  m_->Reader.Busy = 0;
  EXPECT_EQ(Copy(), 1u);
  EXPECT_FALSE(Written());
  EXPECT_EQ(m_->SkipState, 2u);
  EXPECT_EQ(m_->SkippedBlits, 1u);
  EXPECT_EQ(m_->SkippedLast, 1u);
  EXPECT_EQ(m_->FarBehind, 1u);
  EXPECT_EQ(m_->Reader.Busy, 0u);
  // Asked again for the same frame: still dropped, without a new decision.
  EXPECT_EQ(Copy(), 1u);
  EXPECT_FALSE(Written());
  EXPECT_EQ(m_->SkippedBlits, 1u);
}

TEST_F(CopyTiming, EveryFourthLateFrameIsShown) {
  for (int frame = 0; frame < 3; ++frame) {
    MakeLate(200);
    EXPECT_EQ(Copy(), 1u) << frame;
    EXPECT_FALSE(Written()) << frame;
  }
  MakeLate(200);
  EXPECT_EQ(Copy(), 0u);
  EXPECT_TRUE(Written());
  EXPECT_EQ(m_->SkipState, 1u);
  EXPECT_EQ(m_->SkippedBlits, 3u);
  EXPECT_EQ(m_->SkippedLast, 0u);
}

TEST_F(CopyTiming, NeverSkipCopiesAndReportsBeingBehind) {
  MakeLate(200);
  EXPECT_EQ(Copy(OpenNeverSkip), 1u);
  EXPECT_TRUE(Written());
  EXPECT_EQ(m_->SkippedBlits, 0u);
  EXPECT_NE(m_->SkipState, 2u);

  Clear();
  MakeLate(200);
  m_->OpenFlags |= OpenNeverSkip;
  EXPECT_EQ(Copy(), 1u);
  EXPECT_TRUE(Written());
  m_->OpenFlags &= ~OpenNeverSkip;

  Clear();
  MakeLate(200);
  m_->FrameNum = m_->Frames;  // the last frame is always shown
  EXPECT_EQ(Copy(), 1u);
  EXPECT_TRUE(Written());
  EXPECT_EQ(m_->SkippedBlits, 0u);
}

TEST_F(CopyTiming, OnTimeOrNotTimedFramesAreCopied) {
  MakeLate(-30);
  EXPECT_EQ(Copy(), 0u);
  EXPECT_TRUE(Written());
  EXPECT_EQ(m_->SkipState, 1u);

  // No decision at all while paused, without sound, or without a frame rate.
  for (int c = 0; c < 3; ++c) {
    Clear();
    MakeLate(2000);
    if (c == 0) m_->Paused = 1;
    if (c == 1) m_->NumOpenTracks = 0;
    if (c == 2) m_->FrameRate = 0;
    EXPECT_EQ(Copy(), 0u) << c;
    EXPECT_TRUE(Written()) << c;
    EXPECT_EQ(m_->SkipState, 0u) << c;
    m_->Paused = 0;
  }
}

// Counting stand-ins for the reader's fill and lock operations.
struct ReaderCalls {
  int Fills = 0, Tries = 0, Unlocks = 0, Yields = 0;
  int LockFree = 1;
};
ReaderCalls g_calls;

uint32_t FakeFill(StreamReader*, uint32_t) { return ++g_calls.Fills, 1u; }
int FakeTryLock(StreamReader*) { return ++g_calls.Tries, g_calls.LockFree; }
void FakeUnlock(StreamReader*) { ++g_calls.Unlocks; }
void FakeYield(StreamReader*) { ++g_calls.Yields; }

class CopyReaderService : public CopyTiming {
 protected:
  void SetUp() override {
    CopyTiming::SetUp();
    saved_ = m_->Reader;
    savedPreloaded_ = m_->Preloaded;
    m_->Preloaded = nullptr;
    StreamReader* r = &m_->Reader;
    r->StreamFill = FakeFill;
    r->ReaderTryLock = FakeTryLock;
    r->ReaderUnlock = FakeUnlock;
    r->ReaderYield = FakeYield;
    r->FillTarget = 1000;
    r->Reading = 0;
    m_->PeakSecondBytes = 800;  // three quarters of the smaller: 600 bytes
    g_calls = ReaderCalls{};
  }
  void TearDown() override {
    m_->Reader = saved_;
    m_->Preloaded = savedPreloaded_;
    CopyTiming::TearDown();
  }
  StreamReader saved_;
  uint8_t* savedPreloaded_ = nullptr;
};

TEST_F(CopyReaderService, FillsOneChunkBelowThreeQuarters) {
  m_->Reader.Used = 599;
  Copy();
  EXPECT_EQ(g_calls.Fills, 1);
  EXPECT_EQ(g_calls.Unlocks, 1);
  EXPECT_TRUE(Written());
  m_->Reader.Used = 600;
  Copy();
  EXPECT_EQ(g_calls.Fills, 1);
}

TEST_F(CopyReaderService, LeavesTheReaderAloneWhenTold) {
  m_->Reader.Used = 0;
  Copy(OpenNoFillIo);
  m_->Reader.Reading = 1;  // a fill is reading right now
  Copy();
  m_->Reader.Reading = 0;
  m_->Preloaded = savedPreloaded_;
  Copy();
  EXPECT_EQ(g_calls.Fills, 0);
  EXPECT_EQ(g_calls.Tries, 0);
}

TEST_F(CopyReaderService, BusyLockYieldsOnlyWithAnIoThread) {
  m_->Reader.Used = 0;
  g_calls.LockFree = 0;
  Copy();
  EXPECT_EQ(g_calls.Fills, 0);
  EXPECT_EQ(g_calls.Yields, 1);
  m_->OpenFlags |= OpenNoIoThread;
  Copy();
  EXPECT_EQ(g_calls.Yields, 1);
  EXPECT_EQ(g_calls.Tries, 2);
}

TEST_F(CopyReaderService, DroppedCopyDoesNotFill) {
  m_->Reader.Used = 0;
  MakeLate(2000);
  EXPECT_EQ(Copy(), 1u);
  EXPECT_EQ(g_calls.Fills, 0);
}

}  // namespace
