// The audio encoder: turns 16-bit PCM into audio packets that AudioDecodeBlock and
// AudioJoinBlock decode back.
//
// Blocks cover overlapping stretches of the input: block b codes the BlockBytes/2 values from
// b * hop on (hop = AudioBlockOutputBytes/2), so its head lies under the tail of block b-1 and
// the decoder's crossfade joins two codings of the same samples. A packet carries every block
// its input completes, and its count of decoded bytes is the sum of their hops; the rest of
// the input waits for the next packet, so a movie's sound lags its pictures by less than one
// block and keeps pace with them.
#pragma once

#include <cstdint>
#include <vector>

#include "audio/audio_decoder.h"

struct AudioEncoderConfig {
  uint32_t Rate = 22050;     // Hz, 1..65535
  uint32_t Channels = 1;     // 1 or 2
  uint32_t Flags = 0;        // AudioFlagDct for the DCT variant
  uint32_t Quality = 70;     // 1..100: aims at about 0.6 * Quality dB of SNR in every block
};

struct AudioEncoder {
  AudioEncoderConfig Config;
  AudioBlockDecoder* Shape;      // the decoder's sizes, band edges and transform tables
  std::vector<int16_t> Pending;  // input from the next block's start on, interleaved
};

// 0 when the configuration cannot be decoded (rate 0, channels not 1 or 2, quality outside
// 1..100) or memory runs out.
int AudioEncoderInit(AudioEncoder* e, const AudioEncoderConfig& config);
void AudioEncoderFree(AudioEncoder* e);

// Appends `frames` sample frames of interleaved PCM and returns the packet for them: the u32
// count of decoded bytes, then the coded blocks.
std::vector<uint8_t> AudioEncodePacket(AudioEncoder* e, const int16_t* pcm, uint32_t frames);
// The last packet: codes what is pending, padded with silence to whole blocks; its count
// covers only the real samples.
std::vector<uint8_t> AudioEncodeFlush(AudioEncoder* e);

// Appends packet `next` to `packet`, making one packet that decodes to both (their counts
// added, the blocks in order): how a movie's last frame carries the encoder's last packet.
void AudioMergePackets(std::vector<uint8_t>* packet, const std::vector<uint8_t>& next);

// The most decoded bytes one packet of framesPerPacket sample frames (or the last packet) can
// announce: what a movie's track table must promise for the track's ring.
uint32_t AudioEncoderMaxPacketBytes(const AudioEncoder* e, uint32_t framesPerPacket);
// The track's format word: variant, channels, 16-bit samples and the rate.
uint32_t AudioEncoderTrackFormat(const AudioEncoderConfig& config);

// Codes one block of BlockBytes/2 interleaved values, appending whole 32-bit words to out.
void AudioEncodeBlock(AudioEncoder* e, const int16_t* pcm, std::vector<uint8_t>* out);
