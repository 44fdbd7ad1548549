#include "tests/video/video_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "video/code_tables.h"
#include "video/video_decoder.h"

void TestPutBits(TestBitWriter* w, uint32_t value, uint32_t n) {
  if (n < 32) value &= (1u << n) - 1;
  w->Pending |= uint64_t(value) << w->PendingCount;
  w->PendingCount += n;
  while (w->PendingCount >= 8) {
    w->Bytes.push_back(uint8_t(w->Pending));
    w->Pending >>= 8;
    w->PendingCount -= 8;
  }
}

void TestPutCode(TestBitWriter* w, uint32_t table, uint32_t code) {
  TestPutBits(w, VideoCodeValues[table][code], VideoCodeLengths[table][code]);
}

uint64_t TestBitCount(const TestBitWriter* w) { return w->Bytes.size() * 8 + w->PendingCount; }

std::vector<uint8_t> TestFinish(TestBitWriter* w) {
  const uint64_t bits = TestBitCount(w);
  TestPutBits(w, 0, uint32_t((32 - bits % 32) % 32));
  return w->Bytes;
}

uint32_t TestBundleCountBits(uint32_t planeWidth, VideoBundleKind kind) {
  const uint32_t bw = planeWidth / 8;
  uint32_t n = bw;
  if (kind == VideoBundleSubBlockTypes) n = planeWidth / 16;
  if (kind == VideoBundleColours) n = bw * 64;
  if (kind == VideoBundlePatterns) n = bw * 8;
  if (kind == VideoBundleRuns) n = bw * 48;
  const uint32_t bits = uint32_t(std::bit_width(n + 511u));
  return bits < 15 ? bits : 15;
}

void TestPutIdentityTrees(TestBitWriter* w) {
  for (int i = 0; i < 23; ++i) TestPutBits(w, 0, 4);
}

static uint32_t TestMagnitudeBits(int value) {
  return uint32_t(std::bit_width(uint32_t(value < 0 ? -value : value)));
}

static void TestPutSignedMagnitude(TestBitWriter* w, int value, uint32_t bits) {
  TestPutBits(w, uint32_t(value < 0 ? -value : value), bits);
  if (value != 0) TestPutBits(w, value < 0 ? 1 : 0, 1);
}

static void TestPutDcValues(TestBitWriter* w, VideoBundleKind kind, const std::vector<int>& values) {
  if (kind == VideoBundleDcIntra) {
    TestPutBits(w, uint32_t(values[0]), 11);
  } else {
    TestPutSignedMagnitude(w, values[0], 10);
  }
  for (size_t i = 1; i < values.size(); i += 8) {
    const size_t end = std::min(values.size(), i + 8);
    uint32_t bits = 0;
    // Differences wrap at 16 bits.
    auto difference = [&](size_t j) { return int(int16_t(uint16_t(values[j] - values[j - 1]))); };
    for (size_t j = i; j < end; ++j) bits = std::max(bits, TestMagnitudeBits(difference(j)));
    TestPutBits(w, bits, 4);
    if (bits == 0) continue;
    for (size_t j = i; j < end; ++j) TestPutSignedMagnitude(w, difference(j), bits);
  }
}

void TestPutBundle(TestBitWriter* w, uint32_t planeWidth, VideoBundleKind kind,
                 const std::vector<int>& values) {
  TestPutBits(w, uint32_t(values.size()), TestBundleCountBits(planeWidth, kind));
  if (values.empty()) return;
  if (kind == VideoBundleDcIntra || kind == VideoBundleDcInter) {
    TestPutDcValues(w, kind, values);
    return;
  }
  if (kind != VideoBundlePatterns) TestPutBits(w, 0, 1);  // explicit values, not a fill
  for (int v : values) {
    switch (kind) {
      case VideoBundleColours:
        TestPutBits(w, uint32_t(v) >> 4, 4);
        TestPutBits(w, uint32_t(v) & 15, 4);
        break;
      case VideoBundlePatterns:
        TestPutBits(w, uint32_t(v) & 15, 4);
        TestPutBits(w, uint32_t(v) >> 4, 4);
        break;
      case VideoBundleXOffsets:
      case VideoBundleYOffsets:
        TestPutSignedMagnitude(w, v, 4);
        break;
      default:
        TestPutBits(w, uint32_t(v), 4);
        break;
    }
  }
}

void TestPutFirstRow(TestBitWriter* w, uint32_t planeWidth,
                     const std::vector<TestBundleValues>& lists) {
  TestPutIdentityTrees(w);
  for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
    std::vector<int> values;
    for (const TestBundleValues& l : lists) {
      if (l.Kind == kind) values = l.Values;
    }
    TestPutBundle(w, planeWidth, VideoBundleKind(kind), values);
  }
}

static uint32_t TestRoundUp(uint32_t n, uint32_t m) { return (n + m - 1) / m * m; }

void TestAllocatePlanes(TestPlanes* p, uint32_t fileWidth, uint32_t fileHeight, uint32_t setCount,
                        bool alpha) {
  VideoPlanes* v = &p->Planes;
  *v = VideoPlanes{};
  v->SetCount = setCount;
  v->Width = TestRoundUp(fileWidth, 8);
  v->Height = TestRoundUp(fileHeight, 8);
  v->ChromaWidth = TestRoundUp((fileWidth + 1) / 2, 8);
  v->ChromaHeight = TestRoundUp((fileHeight + 1) / 2, 8);
  for (uint32_t s = 0; s < setCount; ++s) {
    for (int plane = 0; plane < 4; ++plane) {
      const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
      const uint32_t pitch = chroma ? TestRoundUp(v->ChromaWidth, 16) : v->Width;
      const uint32_t rows = chroma ? v->ChromaHeight : v->Height;
      VideoPlane* vp = &v->Sets[s][plane];
      vp->Wanted = plane != PlaneA || alpha;
      if (!vp->Wanted) continue;
      p->Buffers[s][plane].assign(size_t(pitch) * rows, 0);
      vp->Pixels = p->Buffers[s][plane].data();
      vp->Pitch = pitch;
    }
  }
}

uint8_t TestPixel(const TestPlanes* p, uint32_t set, int plane, uint32_t x, uint32_t y) {
  const VideoPlane* vp = &p->Planes.Sets[set][plane];
  return vp->Pixels[size_t(y) * vp->Pitch + x];
}

void TestFillPlane(TestPlanes* p, uint32_t set, int plane, uint8_t value) {
  std::fill(p->Buffers[set][plane].begin(), p->Buffers[set][plane].end(), value);
}

void TestAllocateScratch(TestScratch* s, uint32_t fileWidth) {
  VideoBundleBufferSizes(fileWidth, s->Sizes);
  s->Memory.assign(size_t(VideoScratchBytes(s->Sizes)), 0xA5);
}

static void TestAppendWord(std::vector<uint8_t>* out, uint32_t word) {
  for (int i = 0; i < 4; ++i) out->push_back(uint8_t(word >> (8 * i)));
}

static void TestAppend(std::vector<uint8_t>* out, const std::vector<uint8_t>& bytes) {
  for (uint8_t b : bytes) out->push_back(b);
}

std::vector<uint8_t> TestBuildFrame(const TestFrameParts& parts) {
  std::vector<uint8_t> out;
  if (parts.HasAlpha) {
    TestAppendWord(&out, uint32_t(4 + parts.Alpha.size()));
    TestAppend(&out, parts.Alpha);
  }
  if (parts.LumaLength) TestAppendWord(&out, uint32_t(4 + parts.Luma.size()));
  TestAppend(&out, parts.Luma);
  TestAppend(&out, parts.Chroma1);
  TestAppend(&out, parts.Chroma2);
  return out;
}

uint32_t TestDecodeFrame(TestPlanes* p, const std::vector<uint8_t>& frame, uint32_t frameFlags,
                         uint32_t videoFlags, uint8_t* map, uint32_t mapStride) {
  TestScratch scratch;
  TestAllocateScratch(&scratch, p->Planes.Width);
  // An allocation of exactly the frame's size (at least one byte, so the pointer is valid).
  std::unique_ptr<uint8_t[]> copy(new uint8_t[frame.size() + (frame.empty() ? 1 : 0)]);
  if (!frame.empty()) std::memcpy(copy.get(), frame.data(), frame.size());
  return VideoDecodeFrame(&p->Planes, map, mapStride, copy.get(), copy.get() + frame.size(),
                          scratch.Sizes, frameFlags, videoFlags, scratch.Memory.data());
}
