#include "tests/video/video_test_support.h"

#include <algorithm>
#include <bit>
#include <memory>

#include "video/video_decoder.h"

void TestPutBits(TestBitWriter* w, uint32_t value, uint32_t n) {
  w->Pending |= uint64_t(n < 32 ? value & ((1u << n) - 1) : value) << w->PendingCount;
  for (w->PendingCount += n; w->PendingCount >= 8; w->PendingCount -= 8, w->Pending >>= 8) {
    w->Bytes.push_back(uint8_t(w->Pending));
  }
}

uint64_t TestBitCount(const TestBitWriter* w) { return w->Bytes.size() * 8 + w->PendingCount; }

std::vector<uint8_t> TestFinish(TestBitWriter* w) {
  TestPutBits(w, 0, uint32_t((32 - TestBitCount(w) % 32) % 32));
  return w->Bytes;
}

// Width of a bundle's count: floor(log2(n + 511)) + 1, at most 15.
uint32_t TestBundleCountBits(uint32_t planeWidth, VideoBundleKind kind) {
  const uint32_t perBlock[VideoBundleCount] = {16, 8, 1024, 128, 16, 16, 16, 16, 768};
  return std::min(uint32_t(std::bit_width(planeWidth * perBlock[kind] / 128 + 511u)), 15u);
}

void TestPutIdentityTrees(TestBitWriter* w) {
  for (int i = 0; i < 23; ++i) TestPutBits(w, 0, 4);
}

static void PutSignedMagnitude(TestBitWriter* w, int value, uint32_t bits) {
  TestPutBits(w, uint32_t(std::abs(value)), bits);
  if (value != 0) TestPutBits(w, value < 0 ? 1 : 0, 1);
}

// The first DC whole, then groups of up to eight differences (wrapping at 16 bits), each group
// with its own 4-bit magnitude width.
static void PutDcs(TestBitWriter* w, VideoBundleKind kind, const std::vector<int>& values) {
  if (kind == VideoBundleDcIntra) TestPutBits(w, uint32_t(values[0]), 11);
  if (kind == VideoBundleDcInter) PutSignedMagnitude(w, values[0], 10);
  auto difference = [&](size_t j) { return int(int16_t(uint16_t(values[j] - values[j - 1]))); };
  for (size_t i = 1; i < values.size(); i += 8) {
    const size_t end = std::min(values.size(), i + 8);
    uint32_t bits = 0;
    for (size_t j = i; j < end; ++j) {
      bits = std::max(bits, uint32_t(std::bit_width(uint32_t(std::abs(difference(j))))));
    }
    TestPutBits(w, bits, 4);
    for (size_t j = i; j < end && bits; ++j) PutSignedMagnitude(w, difference(j), bits);
  }
}

void TestPutBundle(TestBitWriter* w, uint32_t planeWidth, VideoBundleKind kind,
                   const std::vector<int>& values) {
  TestPutBits(w, uint32_t(values.size()), TestBundleCountBits(planeWidth, kind));
  if (values.empty()) return;
  if (kind == VideoBundleDcIntra || kind == VideoBundleDcInter) return PutDcs(w, kind, values);
  if (kind != VideoBundlePatterns) TestPutBits(w, 0, 1);  // explicit values, not a fill
  for (int v : values) {
    if (kind == VideoBundleColours) {  // high nibble first
      TestPutBits(w, uint32_t(v) >> 4 | (uint32_t(v) & 15) << 4, 8);
    } else if (kind == VideoBundleXOffsets || kind == VideoBundleYOffsets) {
      PutSignedMagnitude(w, v, 4);
    } else {  // a pattern byte is low nibble first, like two values
      TestPutBits(w, uint32_t(v), kind == VideoBundlePatterns ? 8 : 4);
    }
  }
}

void TestPutRow(TestBitWriter* w, uint32_t planeWidth,
                const std::vector<TestBundleValues>& bundles) {
  std::vector<int> values[VideoBundleCount];
  for (const TestBundleValues& b : bundles) values[b.Kind] = b.Values;
  for (uint32_t k = 0; k < VideoBundleCount; ++k) {
    TestPutBundle(w, planeWidth, VideoBundleKind(k), values[k]);
  }
}

void TestPutFirstRow(TestBitWriter* w, uint32_t planeWidth,
                     const std::vector<TestBundleValues>& bundles) {
  TestPutIdentityTrees(w);
  TestPutRow(w, planeWidth, bundles);
}

static uint32_t RoundUp(uint32_t n, uint32_t m) { return (n + m - 1) / m * m; }

void TestAllocatePlanes(TestPlanes* p, uint32_t fileWidth, uint32_t fileHeight, uint32_t setCount,
                        bool alpha) {
  VideoPlanes* v = &p->Planes;
  *v = {setCount, RoundUp(fileWidth, 8), RoundUp(fileHeight, 8),
        RoundUp((fileWidth + 1) / 2, 8), RoundUp((fileHeight + 1) / 2, 8), 0, {}};
  for (uint32_t s = 0; s < setCount; ++s) {
    for (int plane = 0; plane < 4; ++plane) {
      const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
      VideoPlane* vp = &v->Sets[s][plane];
      vp->Wanted = plane != PlaneA || alpha;
      vp->Pitch = vp->Wanted ? chroma ? RoundUp(v->ChromaWidth, 16) : v->Width : 0;
      p->Buffers[s][plane].assign(size_t(vp->Pitch) * (chroma ? v->ChromaHeight : v->Height), 0);
      vp->Pixels = vp->Wanted ? p->Buffers[s][plane].data() : nullptr;
    }
  }
}

void TestFillPlane(TestPlanes* p, uint32_t set, int plane, uint8_t value) {
  std::fill(p->Buffers[set][plane].begin(), p->Buffers[set][plane].end(), value);
}

std::vector<uint8_t> TestBuildFrame(const TestFrameParts& parts) {
  std::vector<uint8_t> out;
  auto append = [&out](const std::vector<uint8_t>& plane, bool withLength) {
    for (int i = 0; i < 4 && withLength; ++i) out.push_back(uint8_t((4 + plane.size()) >> 8 * i));
    out.insert(out.end(), plane.begin(), plane.end());
  };
  if (parts.HasAlpha) append(parts.Alpha, true);
  append(parts.Luma, parts.LumaLength);
  append(parts.Chroma1, false);
  append(parts.Chroma2, false);
  return out;
}

uint32_t TestDecodeFrame(TestPlanes* p, const std::vector<uint8_t>& frame, uint32_t frameFlags,
                         uint32_t videoFlags, uint8_t* map, uint32_t mapStride, size_t trailer) {
  uint64_t sizes[VideoBundleCount];
  VideoBundleBufferSizes(p->Planes.Width, sizes);
  std::vector<uint8_t> scratch(size_t(VideoScratchBytes(sizes)), 0xA5);
  std::unique_ptr<uint8_t[]> copy(new uint8_t[frame.size() + trailer + 1]);
  uint8_t* data = copy.get() + 1;  // ends the allocation, and valid when the frame is empty
  std::fill_n(std::copy(frame.begin(), frame.end(), data), trailer, 0xFF);
  return VideoDecodeFrame(&p->Planes, map, mapStride, data, data + frame.size(), sizes, frameFlags,
                          videoFlags, scratch.data());
}
