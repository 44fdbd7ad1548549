#include "encoder/movie_writer.h"

#include <cstdio>

#include "vexa/movie.h"

void PutLe32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(v >> (8 * i)));
}

void MovieWriterInit(MovieWriter* w, const MovieWriterConfig& config) {
  *w = MovieWriter{};
  w->Config = config;
}

static uint64_t TablesEnd(const MovieWriter* w, uint32_t frames) {
  uint64_t tracks = w->Config.Tracks.size();
  uint64_t entries = uint64_t(frames) + w->Config.SpareIndexSlots;
  return MOVIE_HEADER_BYTES + 12 * tracks + 4 * (entries + 1);
}

int MovieWriterAddFrame(MovieWriter* w, const MovieWriterFrame& frame) {
  if (frame.Audio.size() != w->Config.Tracks.size()) return 0;
  uint64_t bytes = frame.Video.size();
  for (const auto& a : frame.Audio) bytes += 4 + a.size();
  bytes += bytes & 1;  // the next packet starts on an even offset
  uint64_t end = TablesEnd(w, uint32_t(w->Starts.size() + 1)) + w->Packets.size() + bytes;
  if (end > 0xFFFFFFF0u) return 0;

  w->Starts.push_back(uint32_t(w->Packets.size()) | (frame.IsKey ? 1u : 0u));
  for (const auto& a : frame.Audio) {
    PutLe32(&w->Packets, uint32_t(a.size()));
    w->Packets.insert(w->Packets.end(), a.begin(), a.end());
  }
  w->Packets.insert(w->Packets.end(), frame.Video.begin(), frame.Video.end());
  if (w->Packets.size() & 1) w->Packets.push_back(0);
  if (bytes > w->LargestFrame) w->LargestFrame = uint32_t(bytes);
  return 1;
}

std::vector<uint8_t> MovieWriterImage(const MovieWriter* w) {
  const MovieWriterConfig& c = w->Config;
  const uint32_t frames = uint32_t(w->Starts.size());
  const uint32_t entries = frames + c.SpareIndexSlots;
  const uint32_t first = uint32_t(TablesEnd(w, frames) + (TablesEnd(w, frames) & 1));
  const uint32_t total = first + uint32_t(w->Packets.size());

  std::vector<uint8_t> out;
  out.reserve(total);
  for (char magic : {'V', 'X', 'A', c.Version}) out.push_back(uint8_t(magic));
  for (uint32_t v : {total - 8, frames, w->LargestFrame, entries, c.Width, c.Height, c.FrameRate,
                     c.FrameRateDiv, c.VideoFlags, uint32_t(c.Tracks.size())})
    PutLe32(&out, v);
  for (const auto& t : c.Tracks) PutLe32(&out, t.MaxBytes);
  for (const auto& t : c.Tracks) PutLe32(&out, t.Format);
  for (const auto& t : c.Tracks) PutLe32(&out, t.Id);
  for (uint32_t start : w->Starts) PutLe32(&out, first + start);
  // The entry after the last frame marks its end; spare slots repeat it.
  for (uint32_t k = frames; k <= entries; ++k) PutLe32(&out, total);
  if (out.size() & 1) out.push_back(0);
  out.insert(out.end(), w->Packets.begin(), w->Packets.end());
  return out;
}

static std::string TrackCheck(const MovieWriterTrack& t) {
  const uint64_t rate = t.Format & TrackRateMask, channels = (t.Format & TrackStereo) ? 2 : 1;
  const uint64_t bits = (t.Format & Track16Bit) ? 16 : 8;
  if (!(t.Format & (TrackAudio | TrackDct))) return "";
  // The player sizes a track's ring at 5/4 of MaxBytes in whole 256-byte steps and refuses a
  // ring larger than two seconds of the track's sound at its output sample size.
  const uint64_t ring = (uint64_t(t.MaxBytes) * 5 / 4 + 255) & ~uint64_t(255);
  const uint64_t twoSeconds = channels * bits * rate * 2 / 8;
  if (rate != 0 && ring <= twoSeconds) return "";
  return "sound track " + std::to_string(t.Id) + ": one frame's sound needs a " +
         std::to_string(ring) + "-byte buffer, more than the player's two seconds (" +
         std::to_string(twoSeconds) + " bytes at " + std::to_string(rate) +
         " Hz); raise the frame rate or the sample rate";
}

std::string MovieWriterCheck(const MovieWriterConfig& c) {
  const uint64_t num = c.FrameRate, den = c.FrameRateDiv;
  if (num == 0 || den == 0 || num > 1000 * den || 3600 * num < den)
    return "the frame rate " + std::to_string(num) + "/" + std::to_string(den) +
           " is outside what the player plays: one frame an hour to 1000 frames a second";
  for (const MovieWriterTrack& t : c.Tracks)
    if (std::string problem = TrackCheck(t); !problem.empty()) return problem;
  return "";
}

int MovieWriterSave(const MovieWriter* w, const std::string& path, std::string* error) {
  std::vector<uint8_t> image = MovieWriterImage(w);
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    *error = "cannot create " + path;
    return 0;
  }
  bool ok = std::fwrite(image.data(), 1, image.size(), f) == image.size();
  ok &= std::fclose(f) == 0;
  if (!ok) *error = "cannot write " + path;
  return ok ? 1 : 0;
}
