#include "encoder/video_transform.h"

#include <cmath>
#include <cstring>

#include "encoder/video_coefficient_writer.h"
#include "video/idct.h"
#include "video/quant.h"

namespace {

// The decoder's 8-point transform in real arithmetic (its constants carry 11 fractional bits).
void EncoderIdct8(const double x[8], double y[8]) {
  const double c2896 = kVideoIdctC2896 / 2048.0, c3784 = kVideoIdctC3784 / 2048.0;
  const double c5352 = kVideoIdctC5352 / 2048.0, c2217 = kVideoIdctC2217 / 2048.0;
  const double a0 = x[0] + x[4], a1 = x[0] - x[4], a2 = x[2] + x[6];
  const double a3 = c2896 * (x[2] - x[6]);
  const double a4 = x[5] + x[3], a5 = x[5] - x[3], a6 = x[1] + x[7], a7 = x[1] - x[7];
  const double b0 = a4 + a6;
  const double b1 = c3784 * (a5 + a7);
  const double b2 = -c5352 * a5 - b0 + b1;
  const double b3 = c2896 * (a6 - a4) - b2;
  const double b4 = c2217 * a7 + b3 - b1;
  y[0] = a0 + a2 + b0;
  y[1] = a1 + a3 - a2 + b2;
  y[2] = a1 - a3 + a2 + b3;
  y[3] = a0 - a2 - b4;
  y[4] = a0 - a2 + b4;
  y[5] = a1 - a3 + a2 - b3;
  y[6] = a1 + a3 - a2 - b2;
  y[7] = a0 + a2 - b0;
}

// The transform's basis: row k is output n for input 1 at k. Its rows are orthogonal (a scaled
// DCT), so a block's coefficient is its projection on the row over the row's energy; Analysis
// holds the rows divided by their energies, ready to project with.
struct EncoderBasis {
  double Analysis[8][8];
  double Transposed[8][8];  // Transposed[n][k] = Analysis[k][n]
};

EncoderBasis EncoderMakeBasis() {
  EncoderBasis b{};
  for (uint32_t k = 0; k < 8; ++k) {
    double x[8] = {}, row[8];
    x[k] = 1.0;
    EncoderIdct8(x, row);
    double energy = 0;
    for (uint32_t n = 0; n < 8; ++n) energy += row[n] * row[n];
    for (uint32_t n = 0; n < 8; ++n) b.Analysis[k][n] = b.Transposed[n][k] = row[n] / energy;
  }
  return b;
}

const EncoderBasis& EncoderGetBasis() {
  static const EncoderBasis basis = EncoderMakeBasis();
  return basis;
}

}  // namespace

// Each sum runs over its terms in order, eight sums side by side (which vectorises).
void EncoderForwardTransform(const int32_t block[64], double out[64]) {
  const EncoderBasis& b = EncoderGetBasis();
  double rows[64] = {};  // each row projected on the basis: rows[y * 8 + k]
  for (uint32_t y = 0; y < 8; ++y) {
    for (uint32_t x = 0; x < 8; ++x) {
      const double v = block[y * 8 + x];
      for (uint32_t k = 0; k < 8; ++k) rows[y * 8 + k] += v * b.Transposed[x][k];
    }
  }
  // Output is (sum + 127) >> 8 of the dequantised values (coefficient * quant >> 11).
  for (uint32_t r = 0; r < 8; ++r) {
    double sums[8] = {};
    for (uint32_t y = 0; y < 8; ++y) {
      const double a = b.Analysis[r][y];
      for (uint32_t c = 0; c < 8; ++c) sums[c] += rows[y * 8 + c] * a;
    }
    for (uint32_t c = 0; c < 8; ++c) out[r * 8 + c] = sums[c] * 256.0;
  }
}

static int32_t EncoderClamp(int32_t v, int32_t lo, int32_t hi) {
  return v < lo ? lo : (v > hi ? hi : v);
}

namespace {

struct EncoderQuantisers {
  EncoderQuantiser Of[2][kVideoQuantiserCount];  // intra, inter
};

EncoderQuantisers EncoderMakeQuantisers() {
  EncoderQuantisers all{};
  for (uint32_t q = 0; q < kVideoQuantiserCount; ++q) {
    for (uint32_t inter = 0; inter < 2; ++inter) {
      EncoderQuantiser* quant = &all.Of[inter][q];
      quant->Matrix = inter ? VideoQuantInter[q] : VideoQuantIntra[q];
      for (uint32_t i = 0; i < 64; ++i) quant->Scale[i] = 2048.0 / double(quant->Matrix[i]);
    }
  }
  return all;
}

}  // namespace

const EncoderQuantiser* EncoderGetQuantiser(bool inter, uint32_t q) {
  static const EncoderQuantisers all = EncoderMakeQuantisers();
  return &all.Of[inter ? 1 : 0][q];
}

void EncoderQuantise(const double in[64], const EncoderQuantiser* quant, double deadZone,
                     int32_t dcMin, int32_t dcMax, int16_t out[64]) {
  const double dc = in[0] * quant->Scale[0];
  out[0] = int16_t(EncoderClamp(int32_t(std::lround(dc)), dcMin, dcMax));
  const double rounding = 0.5 - deadZone;
  constexpr double kMaxLevel = EncoderMaxCoefficient;
  for (uint32_t i = 1; i < 64; ++i) {
    const double level = in[i] * quant->Scale[i];
    // Truncation of a non-negative value is the floor; clamping first keeps it in range.
    double magnitude = std::fabs(level) + rounding;
    magnitude = magnitude > 0.0 ? magnitude : 0.0;
    magnitude = magnitude < kMaxLevel ? magnitude : kMaxLevel;
    const int32_t v = int32_t(magnitude);
    out[i] = int16_t(level < 0 ? -v : v);
  }
}

int EncoderQuantiseInRange(const int32_t target[64], const double transformed[64],
                           const uint8_t* pred, uint32_t predPitch, const EncoderQuantiser* quant,
                           double deadZone, int32_t dcMin, int32_t dcMax, int16_t out[64]) {
  // Pulled pixels end this far inside the range: 2 plus the DC's step (the ringing grows with
  // the quantiser). Rounds pull further until nothing passes the ends; 16 suffice in practice.
  constexpr int kRounds = 16;
  const int32_t margin = 2 + int32_t(quant->Matrix[0] / 65536);
  int32_t pulled[64];
  double again[64];
  std::memcpy(pulled, target, sizeof pulled);
  const double* values = transformed;
  for (int round = 0;; ++round) {
    EncoderQuantise(values, quant, deadZone, dcMin, dcMax, out);
    int32_t result[64];
    VideoIdctReference(out, quant->Matrix, result);
    bool inRange = true;
    for (uint32_t i = 0; i < 64; ++i) {
      const int32_t base = pred ? pred[size_t(i / 8) * predPitch + i % 8] : 0;
      const int32_t v = result[i] + base;
      if (v > 255 || v < 0) {
        const int32_t want = (v > 255 ? 255 - margin : margin) - base;
        pulled[i] += want - (v - base);
        inRange = false;
      }
    }
    if (inRange) return 1;
    if (round == kRounds) return 0;
    EncoderForwardTransform(pulled, again);
    values = again;
  }
}
