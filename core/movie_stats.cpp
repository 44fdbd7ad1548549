// The playback summary and the running statistics over the last second of frames.
#include "core/movie_internal.h"
#include "core/movie_timing.h"

void MovieGetSummary(Movie* m, PlaybackSummary* s) {
  if (!m || !s) return;
  const uint32_t now = MovieTimerMs();
  MovieCloseBlitInterval(m, now);
  const StreamReader* r = &m->Reader;
  const uint64_t data = m->FileSizeLess8 - (m->FrameIndex[0] & ~1u);
  *s = PlaybackSummary{};
  s->Width = m->Width;
  s->Height = m->Height;
  s->TotalTime = now - m->StartTime;
  s->FileFrameRate = m->FileFrameRate;
  s->FileFrameRateDiv = m->FileFrameRateDiv;
  s->FrameRate = m->FrameRate;
  s->FrameRateDiv = m->FrameRateDiv;
  s->OpenTime = m->OpenTime;
  s->Frames = m->Frames;
  s->FramesPlayed = m->FramesPlayed;
  s->SkippedFrames = 0;  // every frame is decoded; only copies are dropped
  s->SkippedBlits = m->SkippedBlits;
  s->SoundSkips = m->SoundSkips;
  s->BlitTime = m->BlitTime;
  s->ForegroundReadTime = r->ForegroundTime;
  s->VideoTime = m->VideoTime;
  s->AudioTime = m->AudioTime;
  s->IdleReadTime = r->IdleTime;
  s->BackgroundReadTime = r->BackgroundTime;
  s->ReadSpeed = uint32_t(uint64_t(r->BytesRead) * 1000 / (uint64_t(r->ReadTime) + 1));
  s->SlowestTime = m->SlowestTime;
  s->SecondSlowestTime = m->SecondSlowestTime;
  s->SlowestFrame = m->SlowestFrame;
  s->SecondSlowestFrame = m->SecondSlowestFrame;
  s->AverageDataRate =
      uint32_t(data * m->FileFrameRate / (uint64_t(m->Frames) * m->FileFrameRateDiv));
  s->AverageFrameSize = uint32_t(data / m->Frames);
  s->TotalMemory = m->TotalMemory;
  s->InputMemory = r->BufSize;
  s->HighestInputMemory = r->HighUsed;
  s->PeakDataRate = m->PeakSecondBytes;
  s->PeakDataFrame = m->PeakSecondFrame + 1;
}

void MovieGetRealtimeStats(Movie* m, RealtimeStats* s) {
  if (!m || !s) return;
  MovieCloseBlitInterval(m, MovieTimerMs());
  const uint32_t window = m->WindowFrames;
  uint32_t k = window - 1;
  if (k > m->FrameNum) k = m->FrameNum - 1;
  if (k < 1) k = 1;
  const uint32_t newest = m->RingPos, oldest = (m->RingPos + k) % window;
  auto span = [&](const uint32_t* ring) { return ring[newest] - ring[oldest]; };
  *s = RealtimeStats{};
  s->FrameNum = m->LastFrameNum;
  s->FrameRate = m->FrameRate;
  s->FrameRateDiv = m->FrameRateDiv;
  s->WindowFrames = k;
  s->WindowTime = span(m->RingTime) ? span(m->RingTime) : 1;
  s->WindowVideo = span(m->RingVideo);
  s->WindowAudio = span(m->RingAudio);
  s->WindowRead = span(m->RingForeground);
  s->WindowIdleRead = span(m->RingIdle);
  s->WindowBackRead = span(m->RingBackground);
  s->WindowBlit = span(m->RingBlit);
  s->ReadBufferSize = m->Reader.FillTarget;
  s->ReadBufferUsed = m->Reader.Used;
  const uint32_t* e = m->FrameIndex;
  uint64_t bytes = e[m->FrameNum] - e[m->FrameNum - k];
  s->DataRate = uint32_t(bytes * m->FileFrameRate / (uint64_t(m->FileFrameRateDiv) * k));
}
