#include "tools/audio_track_encoder.h"

#include "vexa/movie.h"

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
  // A packet holds about one frame's share; the last one up to twice that with the remainder.
  uint32_t perFrame = uint32_t(uint64_t(config.Rate) * rateDen / rateNum + 1);
  uint32_t format = AudioEncoderTrackFormat(config);
  if (bits == 8) format &= ~Track16Bit;
  *entry = {id, format, AudioEncoderMaxPacketBytes(&t->Encoder, 2 * perFrame)};
  return 1;
}

std::vector<uint8_t> AudioTrackPacket(AudioTrackEncoder* t, uint32_t k, uint32_t rateNum,
                                      uint32_t rateDen) {
  uint64_t end = (uint64_t(k) + 1) * t->Sound.Rate * rateDen / rateNum;
  if (end > t->Sound.Frames()) end = t->Sound.Frames();
  uint32_t n = end > t->FramesTaken ? uint32_t(end - t->FramesTaken) : 0;
  const int16_t* pcm = t->Sound.Samples.data() + t->FramesTaken * t->Sound.Channels;
  t->FramesTaken += n;
  return AudioEncodePacket(&t->Encoder, pcm, n);
}

void AudioTrackFinish(AudioTrackEncoder* t, std::vector<uint8_t>* lastPacket) {
  AudioMergePackets(lastPacket, AudioEncodeFlush(&t->Encoder));
}

void AudioTrackFree(AudioTrackEncoder* t) {
  if (t->Ready) AudioEncoderFree(&t->Encoder);
  t->Ready = false;
}
