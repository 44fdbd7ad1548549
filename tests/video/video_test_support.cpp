#include "tests/video/video_test_support.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "video/video_decoder.h"

void TestPutBits(TestBitWriter* w, uint32_t value, uint32_t n) {
  if (n < 32) value &= (1u << n) - 1;
  w->Pending |= uint64_t(value) << w->PendingCount;
  for (w->PendingCount += n; w->PendingCount >= 8; w->PendingCount -= 8) {
    w->Bytes.push_back(uint8_t(w->Pending));
    w->Pending >>= 8;
  }
}

uint64_t TestBitCount(const TestBitWriter* w) { return w->Bytes.size() * 8 + w->PendingCount; }

std::vector<uint8_t> TestFinish(TestBitWriter* w) {
  TestPutBits(w, 0, uint32_t((32 - TestBitCount(w) % 32) % 32));
  return w->Bytes;
}

uint32_t TestBundleCountBits(uint32_t planeWidth, VideoBundleKind kind) {
  const uint32_t perBlock[VideoBundleCount] = {16, 8, 1024, 128, 16, 16, 16, 16, 768};
  const uint32_t n = planeWidth * perBlock[kind] / 128;  // bw, w/16, bw*64, bw*8, ..., bw*48
  return std::min(uint32_t(std::bit_width(n + 511u)), 15u);
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
      TestPutBits(w, uint32_t(v) >> 4, 4);
      TestPutBits(w, uint32_t(v) & 15, 4);
    } else if (kind == VideoBundleXOffsets || kind == VideoBundleYOffsets) {
      PutSignedMagnitude(w, v, 4);
    } else {  // a pattern byte is low nibble first, like two values
      TestPutBits(w, uint32_t(v), kind == VideoBundlePatterns ? 8 : 4);
    }
  }
}

void TestPutRow(TestBitWriter* w, uint32_t planeWidth,
                const std::vector<TestBundleValues>& bundles) {
  for (uint32_t kind = 0; kind < VideoBundleCount; ++kind) {
    std::vector<int> values;
    for (const TestBundleValues& b : bundles) {
      if (b.Kind == kind) values = b.Values;
    }
    TestPutBundle(w, planeWidth, VideoBundleKind(kind), values);
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
  *v = VideoPlanes{};
  v->SetCount = setCount;
  v->Width = RoundUp(fileWidth, 8);
  v->Height = RoundUp(fileHeight, 8);
  v->ChromaWidth = RoundUp((fileWidth + 1) / 2, 8);
  v->ChromaHeight = RoundUp((fileHeight + 1) / 2, 8);
  for (uint32_t s = 0; s < setCount; ++s) {
    for (int plane = 0; plane < 4; ++plane) {
      const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
      const uint32_t pitch = chroma ? RoundUp(v->ChromaWidth, 16) : v->Width;
      VideoPlane* vp = &v->Sets[s][plane];
      vp->Wanted = plane != PlaneA || alpha;
      if (!vp->Wanted) continue;
      p->Buffers[s][plane].assign(size_t(pitch) * (chroma ? v->ChromaHeight : v->Height), 0);
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

std::vector<uint8_t> TestBuildFrame(const TestFrameParts& parts) {
  std::vector<uint8_t> out;
  auto append = [&out](const std::vector<uint8_t>& plane, bool withLength) {
    const uint32_t length = uint32_t(4 + plane.size());
    for (int i = 0; i < 4 && withLength; ++i) out.push_back(uint8_t(length >> (8 * i)));
    out.insert(out.end(), plane.begin(), plane.end());
  };
  if (parts.HasAlpha) append(parts.Alpha, true);
  append(parts.Luma, parts.LumaLength);
  append(parts.Chroma1, false);
  append(parts.Chroma2, false);
  return out;
}

uint32_t TestDecodeFrame(TestPlanes* p, const std::vector<uint8_t>& frame, uint32_t frameFlags,
                         uint32_t videoFlags, uint8_t* map, uint32_t mapStride, size_t trailer,
                         const uint64_t* scratchSizes) {
  uint64_t sizes[VideoBundleCount];
  VideoBundleBufferSizes(p->Planes.Width, sizes);
  if (scratchSizes) std::copy(scratchSizes, scratchSizes + VideoBundleCount, sizes);
  std::vector<uint8_t> scratch(size_t(VideoScratchBytes(sizes)), 0xA5);
  const size_t bytes = frame.size() + trailer;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[bytes ? bytes : 1]);  // a valid pointer when empty
  if (!frame.empty()) std::memcpy(copy.get(), frame.data(), frame.size());
  std::memset(copy.get() + frame.size(), 0xFF, trailer);
  return VideoDecodeFrame(&p->Planes, map, mapStride, copy.get(), copy.get() + frame.size(), sizes,
                          frameFlags, videoFlags, scratch.data());
}
