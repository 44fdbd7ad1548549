#include "tools/audio_track_encoder.h"

#include <algorithm>

#include "vexa/movie.h"

namespace {

// Keeps the largest count of decoded bytes (a packet's first four bytes) in t->Largest.
void NoteLargest(AudioTrackEncoder* t, const std::vector<uint8_t>& packet) {
  if (packet.size() < 4) return;
  const uint32_t count = uint32_t(packet[0]) | uint32_t(packet[1]) << 8 |
                         uint32_t(packet[2]) << 16 | uint32_t(packet[3]) << 24;
  t->Largest = std::max(t->Largest, count);
}

}  // namespace

int AudioTrackStart(AudioTrackEncoder* t, uint32_t flags, uint32_t quality, uint32_t id,
                    uint32_t bits, uint32_t rateNum, uint32_t rateDen, MovieWriterTrack* entry,
                    std::string* error) {
  AudioEncoderConfig config;
  config.Rate = t->Sound.Rate;
  config.Channels = t->Sound.Channels;
  config.Flags = flags;
  config.Quality = quality;
  if (!(t->Ready = AudioEncoderInit(&t->Encoder, config))) {
    *error = "cannot encode sound of " + std::to_string(config.Rate) + " Hz, " +
             std::to_string(config.Channels) + " channels";
    return 0;
  }
  // A packet holds about one frame's share of the sound.
  uint64_t perFrame = uint64_t(config.Rate) * rateDen / rateNum + 1;
  uint32_t format = AudioEncoderTrackFormat(config);
  if (bits == 8) format &= ~Track16Bit;
  *entry = {id, format,
            AudioEncoderMaxPacketBytes(&t->Encoder, uint32_t(std::min<uint64_t>(perFrame, UINT32_MAX)))};
  return 1;
}

std::vector<uint8_t> AudioTrackPacket(AudioTrackEncoder* t, uint32_t k, uint32_t rateNum,
                                      uint32_t rateDen) {
  // 128-bit product: a frame rate such as 4000000000/4000000000 must not wrap.
  uint64_t end = uint64_t((unsigned __int128)(uint64_t(k) + 1) * t->Sound.Rate * rateDen / rateNum);
  if (end > t->Sound.Frames()) end = t->Sound.Frames();
  uint32_t n = end > t->FramesTaken ? uint32_t(end - t->FramesTaken) : 0;
  const int16_t* pcm = t->Sound.Samples.data() + t->FramesTaken * t->Sound.Channels;
  t->FramesTaken += n;
  std::vector<uint8_t> packet = AudioEncodePacket(&t->Encoder, pcm, n);
  NoteLargest(t, packet);
  return packet;
}

void AudioTrackFinish(AudioTrackEncoder* t, std::vector<uint8_t>* lastPacket) {
  AudioMergePackets(lastPacket, AudioEncodeFlush(&t->Encoder));
  NoteLargest(t, *lastPacket);
}

void AudioTrackFree(AudioTrackEncoder* t) {
  if (t->Ready) AudioEncoderFree(&t->Encoder);
  t->Ready = false;
}
