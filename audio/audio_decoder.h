// The audio block decoder: one per open sound track, turning the coded blocks of the track's
// audio packets into signed 16-bit PCM (channels interleaved).
//
// Per packet the caller loops over the blocks: AudioDecodeBlock on the next block (which
// leaves BlockBytes of PCM in PcmBuffer), AudioJoinBlock, then hands on the first
// AudioBlockOutputBytes bytes of PcmBuffer. The decoder is one MemAlloc block; MemFree it to
// close.
#pragma once

#include <cstdint>

#include "audio/audio_tables.h"
#include "audio/audio_transform.h"

// Open flag: each channel is coded separately and inverse-transformed with AudioInverseDct; without
// it all channels form one interleaved signal inverse-transformed with AudioInverseRealDft.
inline constexpr uint32_t AudioFlagDct = 1u;

// Longest block of coefficients (all channels) and the longest transform the decoder uses.
inline constexpr uint32_t kAudioMaxBlockFloats = 4096;

struct AudioBlockDecoder {
  uint32_t FrameSamples;    // transform length N: coefficients per coded channel per block
  float OutputScale;        // 2/sqrt(N)
  uint32_t BlockBytes;      // bytes of PCM one block produces
  uint32_t OverlapBytes;    // BlockBytes/16: the tail crossfaded into the next block
  uint32_t DecodeChannels;  // channels coded separately: the track's in the DCT variant, else 1
  uint32_t FirstBlock;      // 1 until the first block has been joined
  uint32_t BandCount;       // 1..25
  int16_t* PcmBuffer;       // BlockBytes: the PCM of the last decoded block
  int16_t* OverlapBuffer;   // OverlapBytes: the saved tail of the previous block
  AudioTransformWork* TransformWork;
  float* TransformTable;    // twiddles then cosines, built by the first block
  uint32_t Flags;           // the open flags
  uint32_t BandEdges[kAudioMaxBands + 1];  // band boundaries in bins (a bin is 2 coefficients)
};

// Opens a decoder for a track of rate Hz and 1 or 2 channels. Null when rate is 0, the
// channel count is not 1 or 2, or memory runs out.
AudioBlockDecoder* AudioDecoderOpen(uint32_t rate, uint32_t channels, uint32_t flags);

// Decodes the block that starts at start into PcmBuffer, reading no byte at or beyond end;
// returns the bytes of whole 32-bit words it fetched (a word that starts before end counts
// whole; its bytes from end on read as zero). Input that ends early leaves the coefficients
// not reached at 0. A DCT block with no word before end returns 0 and leaves PcmBuffer as it
// was.
uint32_t AudioDecodeBlock(AudioBlockDecoder* decoder, const uint8_t* start, const uint8_t* end);

// Joins the block just decoded to the previous one: crossfades the head of PcmBuffer from the
// saved tail (not for the first block), then saves the new tail.
void AudioJoinBlock(AudioBlockDecoder* decoder);

// Bytes at the start of PcmBuffer that a joined block contributes to the output.
inline uint32_t AudioBlockOutputBytes(const AudioBlockDecoder* decoder) {
  return decoder->BlockBytes - decoder->OverlapBytes;
}
