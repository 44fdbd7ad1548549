// Helpers of the video decoder tests: a bit writer that builds plane streams the way the decoder
// reads them (independently of the encoder), planes allocated like the core allocates them, and
// frame assembly.
#pragma once

#include <cstdint>
#include <vector>

#include "vexa/planes.h"
#include "video/bundles.h"

struct TestBitWriter {
  std::vector<uint8_t> Bytes;
  uint64_t Pending = 0;  // bits not yet stored, the first in bit 0
  uint32_t PendingCount = 0;
};

// Appends n bits (0..32) of value, bit 0 first.
void TestPutBits(TestBitWriter* w, uint32_t value, uint32_t n);
uint64_t TestBitCount(const TestBitWriter* w);
// The stream padded with zero bits to whole 32-bit words.
std::vector<uint8_t> TestFinish(TestBitWriter* w);

// Width of a bundle's count: floor(log2(n + 511)) + 1, at most 15.
uint32_t TestBundleCountBits(uint32_t planeWidth, VideoBundleKind kind);
// The 23 code trees of a plane, all with table 0 (4-bit codes, symbol = code index).
void TestPutIdentityTrees(TestBitWriter* w);
// A refill in explicit (not fill) mode for identity trees; no values writes a count of 0, which
// finishes the bundle for the plane.
void TestPutBundle(TestBitWriter* w, uint32_t planeWidth, VideoBundleKind kind,
                   const std::vector<int>& values);
struct TestBundleValues {
  VideoBundleKind Kind;
  std::vector<int> Values;
};
// One row's refill of every bundle: the values given, the others finished (a count of 0).
void TestPutRow(TestBitWriter* w, uint32_t planeWidth,
                const std::vector<TestBundleValues>& bundles);
// The identity trees, then the first row.
void TestPutFirstRow(TestBitWriter* w, uint32_t planeWidth,
                     const std::vector<TestBundleValues>& bundles);

// Planes allocated as the core does: zero-filled, Y and A pitch = width, chroma pitch = chroma
// width rounded up to 16.
struct TestPlanes {
  VideoPlanes Planes{};
  std::vector<uint8_t> Buffers[2][4];
};
void TestAllocatePlanes(TestPlanes* p, uint32_t fileWidth, uint32_t fileHeight, uint32_t setCount,
                        bool alpha);
uint8_t TestPixel(const TestPlanes* p, uint32_t set, int plane, uint32_t x, uint32_t y);
void TestFillPlane(TestPlanes* p, uint32_t set, int plane, uint8_t value);

// Scratch storage for VideoDecodeFrame, sized for a picture of fileWidth.
struct TestScratch {
  uint64_t Sizes[VideoBundleCount];
  std::vector<uint8_t> Memory;
};
void TestAllocateScratch(TestScratch* s, uint32_t fileWidth);

// Video data: [alpha length, alpha plane], [luma length (version 'i')], luma, chroma 1, chroma 2.
struct TestFrameParts {
  std::vector<uint8_t> Luma, Chroma1, Chroma2, Alpha;
  bool HasAlpha = false;
  bool LumaLength = true;  // false for revisions before 'i'
};
std::vector<uint8_t> TestBuildFrame(const TestFrameParts& parts);

// Decodes a frame copied to the very end of its own allocation (followed by `trailer` bytes of
// 0xFF that must not matter), so that a read past it is an overread the address sanitizer reports.
uint32_t TestDecodeFrame(TestPlanes* p, const std::vector<uint8_t>& frame, uint32_t frameFlags,
                         uint32_t videoFlags, uint8_t* map = nullptr, uint32_t mapStride = 0,
                         size_t trailer = 0);
