// Video decoder test helpers: a bit writer independent of the encoder, planes allocated like the
// core allocates them, and frame assembly.
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
void TestPutBits(TestBitWriter* w, uint32_t value, uint32_t n);  // n in 0..32, bit 0 first
uint64_t TestBitCount(const TestBitWriter* w);
std::vector<uint8_t> TestFinish(TestBitWriter* w);  // zero-padded to whole 32-bit words

uint32_t TestBundleCountBits(uint32_t planeWidth, VideoBundleKind kind);
void TestPutIdentityTrees(TestBitWriter* w);  // 23 trees of table 0: symbol = code index
// An explicit (not fill) refill for identity trees; no values finishes the bundle for the plane.
void TestPutBundle(TestBitWriter* w, uint32_t planeWidth, VideoBundleKind kind,
                   const std::vector<int>& values);
struct TestBundleValues {
  VideoBundleKind Kind;
  std::vector<int> Values;
};
// One row's refill of every bundle (the others finished); the first row starts with the trees.
void TestPutRow(TestBitWriter* w, uint32_t planeWidth,
                const std::vector<TestBundleValues>& bundles);
void TestPutFirstRow(TestBitWriter* w, uint32_t planeWidth,
                     const std::vector<TestBundleValues>& bundles);

// Zero-filled planes: Y and A pitch = width, chroma pitch = chroma width rounded up to 16.
struct TestPlanes {
  VideoPlanes Planes{};
  std::vector<uint8_t> Buffers[2][4];
};
void TestAllocatePlanes(TestPlanes* p, uint32_t fileWidth, uint32_t fileHeight, uint32_t setCount,
                        bool alpha);
void TestFillPlane(TestPlanes* p, uint32_t set, int plane, uint8_t value);

// Video data: [alpha length, alpha], [luma length (revision 'i' on)], luma, chroma 1, chroma 2.
struct TestFrameParts {
  std::vector<uint8_t> Luma, Chroma1, Chroma2, Alpha;
  bool HasAlpha = false, LumaLength = true;
};
std::vector<uint8_t> TestBuildFrame(const TestFrameParts& parts);

// Decodes a frame copied to the very end of its allocation (then `trailer` bytes of 0xFF that
// must not matter), so that the address sanitizer reports any read past it.
uint32_t TestDecodeFrame(TestPlanes* p, const std::vector<uint8_t>& frame, uint32_t frameFlags,
                         uint32_t videoFlags, uint8_t* map = nullptr, uint32_t mapStride = 0,
                         size_t trailer = 0);
