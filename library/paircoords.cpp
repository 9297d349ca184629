// PairCoords: the agreement rule of atom pairs, exact, with vector kernels that skip the square
// roots wherever the answer is certain without them.
//
// Built with -ffp-contract=off (see CMakeLists.txt): no multiply-add is fused, so the exact rule
// sums squares as Coords::calcDist does, and the error bounds below hold as derived.
#include "paircoords.h"

#include <algorithm>
#include <cmath>
#include <limits>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KESTRUM_X86_KERNELS 1
#define KESTRUM_AVX512 __attribute__((target("avx512f")))
#define KESTRUM_AVX2 __attribute__((target("avx2")))
#endif

namespace VXMole {

namespace {

// Deciding without square roots. With a = dR^2 and b = dC^2,
//   |dR - dC| = |a - b| / (dR + dC)   and   a + b + 2 min(a, b) <= (dR + dC)^2 <= 2 (a + b),
// so (a - b)^2 < t^2 (a + b + 2 min(a, b)) means |dR - dC| < t, and (a - b)^2 > 2 t^2 (a + b)
// means |dR - dC| > t. A relative margin m on both bounds absorbs the rounding of the few
// operations and that of the exact rule; the thin band left between them, and NaN and
// infinities, go to the exact rule.
//
// In double precision (the scalar kernel) the exact rule's two square roots are each off by up
// to 2^-53 of dR + dC, so the shortcut is taken only while a + b < kLargestSum (distances below
// 5e8 Å), where that stays below a sixth of kMargin.
constexpr double kMargin = 1e-6;
constexpr double kTolerance2 = PairCoords::kTolerance * PairCoords::kTolerance;
constexpr double kSureInside = kTolerance2 * (1 - kMargin) * (1 - kMargin);
constexpr double kSureOutside = 2 * kTolerance2 * (1 + kMargin) * (1 + kMargin);
constexpr double kLargestSum = 1e18;

// In single precision (the vector kernels), with coordinates centred and rounded to float and
// every coordinate within R of its molecule's mean: each point is off by at most
// e = sqrt(3) u R (u = 2^-24), each float distance by 2e plus 2.5 u of itself, and distances are
// at most 2 sqrt(3) R. Summing those errors and the rounding of the quick rule's operations and
// constants gives a margin below u (6 + 25 R) (the double-precision rule adds less than 1e-14 R);
// kSingleMargin takes twice that. Beyond kSingleMarginLimit (coordinates some 3,000 Å from
// their mean) the band would be wide, and the scalar kernel is used instead.
constexpr double kSingleRounding = 1.0 / (1 << 24);
double singleMargin(double radius) {
  return 2 * kSingleRounding * (8 + 25 * radius) + kMargin;
}
constexpr double kSingleMarginLimit = 0.01;

// Rows between two reports of progress.
constexpr size_t kProgressRows = 64;

enum Quick { kDisagree = 0, kAgree = 1, kUndecided = 2 };

inline Quick quickRule(double a, double b) {
  const double s = a + b;
  if (!(s < kLargestSum)) return kUndecided;
  const double d = a - b;
  const double d2 = d * d;
  const double m = std::min(a, b);
  if (d2 < kSureInside * (s + (m + m))) return kAgree;
  if (d2 > kSureOutside * s) return kDisagree;
  return kUndecided;
}

// Fraction of the degree count done once rows [0, i) of n are: row i tests n - i - 1 pairs.
double countDone(size_t i, size_t n) {
  const double left = static_cast<double>(n - i) / static_cast<double>(n);
  return 1.0 - left * left;
}

// ---- scalar kernels, in double precision

struct Axes {
  const double *rx, *ry, *rz, *cx, *cy, *cz;
};

bool agreeScalar(const PairCoords& pairs, const Axes& p, size_t i, size_t j) {
  const double dxr = p.rx[i] - p.rx[j], dyr = p.ry[i] - p.ry[j], dzr = p.rz[i] - p.rz[j];
  const double dxc = p.cx[i] - p.cx[j], dyc = p.cy[i] - p.cy[j], dzc = p.cz[i] - p.cz[j];
  const Quick q = quickRule(dxr * dxr + dyr * dyr + dzr * dzr, dxc * dxc + dyc * dyc + dzc * dzc);
  return q == kUndecided ? pairs.agree(i, j) : q == kAgree;
}

void countsScalar(const PairCoords& pairs, const Axes& p, uint32_t* count,
                  const ProgressFn& progress) {
  const size_t n = pairs.size();
  for (size_t i = 0; i < n; ++i) {
    uint32_t own = 0;
    for (size_t j = i + 1; j < n; ++j) {
      if (agreeScalar(pairs, p, i, j)) {
        ++own;
        ++count[j];
      }
    }
    count[i] += own;
    if (progress && i % kProgressRows == 0) progress(countDone(i, n));
  }
}

bool keepScalar(const PairCoords& pairs, const Axes& p, size_t i, uint64_t* mask, size_t first,
                size_t end) {
  uint64_t any = 0;
  for (size_t w = first; w < end; ++w) {
    uint64_t m = mask[w];
    for (uint64_t left = m; left != 0; left &= left - 1) {
      const unsigned b = static_cast<unsigned>(__builtin_ctzll(left));
      if (!agreeScalar(pairs, p, i, w * PairCoords::kWordBits + b)) m &= ~(uint64_t{1} << b);
    }
    mask[w] = m;
    any |= m;
  }
  return any != 0;
}

#ifdef KESTRUM_X86_KERNELS

// The single-precision axes and bounds the vector kernels read.
struct SingleAxes {
  const float *rx, *ry, *rz, *cx, *cy, *cz;
  float sureInside, sureOutside;
};

// ---- AVX-512: sixteen pairs a vector

struct Pair16 {
  __m512 rx, ry, rz, cx, cy, cz;
};

KESTRUM_AVX512 inline Pair16 broadcast16(const SingleAxes& p, size_t i) {
  return {_mm512_set1_ps(p.rx[i]), _mm512_set1_ps(p.ry[i]), _mm512_set1_ps(p.rz[i]),
          _mm512_set1_ps(p.cx[i]), _mm512_set1_ps(p.cy[i]), _mm512_set1_ps(p.cz[i])};
}

KESTRUM_AVX512 inline __m512 squaredDistance16(__m512 x, __m512 y, __m512 z, const float* px,
                                               const float* py, const float* pz, size_t j) {
  const __m512 dx = _mm512_sub_ps(x, _mm512_loadu_ps(px + j));
  const __m512 dy = _mm512_sub_ps(y, _mm512_loadu_ps(py + j));
  const __m512 dz = _mm512_sub_ps(z, _mm512_loadu_ps(pz + j));
  return _mm512_add_ps(_mm512_add_ps(_mm512_mul_ps(dx, dx), _mm512_mul_ps(dy, dy)),
                       _mm512_mul_ps(dz, dz));
}

// Pair q (number i) against pairs j..j+15, in the given lanes: the lanes that agree.
KESTRUM_AVX512 inline __mmask16 agreeing16(const PairCoords& pairs, const SingleAxes& p,
                                           const Pair16& q, size_t i, size_t j, __mmask16 lanes) {
  const __m512 a = squaredDistance16(q.rx, q.ry, q.rz, p.rx, p.ry, p.rz, j);
  const __m512 b = squaredDistance16(q.cx, q.cy, q.cz, p.cx, p.cy, p.cz, j);
  const __m512 s = _mm512_add_ps(a, b);
  const __m512 d = _mm512_sub_ps(a, b);
  const __m512 d2 = _mm512_mul_ps(d, d);
  const __m512 m = _mm512_mask_min_ps(a, 0xFFFF, a, b);
  const __m512 t = _mm512_add_ps(s, _mm512_add_ps(m, m));
  const __mmask16 inside = _mm512_mask_cmp_ps_mask(
      lanes, d2, _mm512_mul_ps(_mm512_set1_ps(p.sureInside), t), _CMP_LT_OQ);
  const __mmask16 outside = _mm512_mask_cmp_ps_mask(
      lanes, d2, _mm512_mul_ps(_mm512_set1_ps(p.sureOutside), s), _CMP_GT_OQ);
  unsigned agreeing = inside;
  for (unsigned undecided = lanes & ~(inside | outside) & 0xFFFFu; undecided != 0;
       undecided &= undecided - 1) {
    const unsigned lane = static_cast<unsigned>(__builtin_ctz(undecided));
    if (pairs.agree(i, j + lane)) agreeing |= 1u << lane;
  }
  return static_cast<__mmask16>(agreeing);
}

// Four rows at a time: each vector of later pairs is loaded once for the four.
KESTRUM_AVX512 void counts16(const PairCoords& pairs, const SingleAxes& p, uint32_t* count,
                             const ProgressFn& progress) {
  constexpr size_t kRows = 4;
  constexpr size_t kLanes = 16;
  const size_t n = pairs.size();
  const __m512i one = _mm512_set1_epi32(1);
  for (size_t i0 = 0; i0 < n; i0 += kRows) {
    const size_t rows = std::min(kRows, n - i0);
    Pair16 q[kRows];
    uint32_t own[kRows] = {};
    for (size_t r = 0; r < rows; ++r) q[r] = broadcast16(p, i0 + r);
    for (size_t j = (i0 + 1) & ~(kLanes - 1); j < n; j += kLanes) {
      const unsigned valid = j + kLanes <= n ? 0xFFFFu : (1u << (n - j)) - 1;
      __m512i add = _mm512_setzero_si512();
      for (size_t r = 0; r < rows; ++r) {
        const size_t i = i0 + r;
        // Only pairs after i: lanes up to i - j (at most 15) are left out.
        const unsigned lanes = j > i ? valid : valid & ~((2u << (i - j)) - 1);
        if (lanes == 0) continue;
        const __mmask16 yes = agreeing16(pairs, p, q[r], i, j, static_cast<__mmask16>(lanes));
        own[r] += static_cast<uint32_t>(__builtin_popcount(yes));
        add = _mm512_mask_add_epi32(add, yes, add, one);
      }
      uint32_t* at = count + j;
      _mm512_storeu_si512(at, _mm512_add_epi32(_mm512_loadu_si512(at), add));
    }
    for (size_t r = 0; r < rows; ++r) count[i0 + r] += own[r];
    if (progress && i0 % kProgressRows == 0) progress(countDone(i0, n));
  }
}

KESTRUM_AVX512 bool keep16(const PairCoords& pairs, const SingleAxes& p, size_t i, uint64_t* mask,
                           size_t first, size_t end) {
  const Pair16 q = broadcast16(p, i);
  uint64_t any = 0;
  for (size_t w = first; w < end; ++w) {
    const uint64_t m = mask[w];
    if (m == 0) continue;
    uint64_t kept = 0;
    for (unsigned block = 0; block < 4; ++block) {
      const auto lanes = static_cast<__mmask16>(m >> (16 * block));
      if (lanes == 0) continue;
      const size_t j = w * PairCoords::kWordBits + 16 * block;
      kept |= uint64_t{agreeing16(pairs, p, q, i, j, lanes)} << (16 * block);
    }
    mask[w] = kept;
    any |= kept;
  }
  return any != 0;
}

// ---- AVX2: eight pairs a vector

struct Pair8 {
  __m256 rx, ry, rz, cx, cy, cz;
};

KESTRUM_AVX2 inline Pair8 broadcast8(const SingleAxes& p, size_t i) {
  return {_mm256_set1_ps(p.rx[i]), _mm256_set1_ps(p.ry[i]), _mm256_set1_ps(p.rz[i]),
          _mm256_set1_ps(p.cx[i]), _mm256_set1_ps(p.cy[i]), _mm256_set1_ps(p.cz[i])};
}

KESTRUM_AVX2 inline __m256 squaredDistance8(__m256 x, __m256 y, __m256 z, const float* px,
                                            const float* py, const float* pz, size_t j) {
  const __m256 dx = _mm256_sub_ps(x, _mm256_loadu_ps(px + j));
  const __m256 dy = _mm256_sub_ps(y, _mm256_loadu_ps(py + j));
  const __m256 dz = _mm256_sub_ps(z, _mm256_loadu_ps(pz + j));
  return _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(dx, dx), _mm256_mul_ps(dy, dy)),
                       _mm256_mul_ps(dz, dz));
}

KESTRUM_AVX2 inline unsigned agreeing8(const PairCoords& pairs, const SingleAxes& p, const Pair8& q,
                                       size_t i, size_t j, unsigned lanes) {
  const __m256 a = squaredDistance8(q.rx, q.ry, q.rz, p.rx, p.ry, p.rz, j);
  const __m256 b = squaredDistance8(q.cx, q.cy, q.cz, p.cx, p.cy, p.cz, j);
  const __m256 s = _mm256_add_ps(a, b);
  const __m256 d = _mm256_sub_ps(a, b);
  const __m256 d2 = _mm256_mul_ps(d, d);
  const __m256 m = _mm256_min_ps(a, b);
  const __m256 t = _mm256_add_ps(s, _mm256_add_ps(m, m));
  const unsigned inside = static_cast<unsigned>(_mm256_movemask_ps(_mm256_cmp_ps(
                              d2, _mm256_mul_ps(_mm256_set1_ps(p.sureInside), t), _CMP_LT_OQ))) &
                          lanes;
  const unsigned outside = static_cast<unsigned>(_mm256_movemask_ps(
      _mm256_cmp_ps(d2, _mm256_mul_ps(_mm256_set1_ps(p.sureOutside), s), _CMP_GT_OQ)));
  unsigned agreeing = inside;
  for (unsigned undecided = lanes & ~(inside | outside) & 0xFFu; undecided != 0;
       undecided &= undecided - 1) {
    const unsigned lane = static_cast<unsigned>(__builtin_ctz(undecided));
    if (pairs.agree(i, j + lane)) agreeing |= 1u << lane;
  }
  return agreeing;
}

KESTRUM_AVX2 void counts8(const PairCoords& pairs, const SingleAxes& p, uint32_t* count,
                          const ProgressFn& progress) {
  constexpr size_t kRows = 4;
  constexpr size_t kLanes = 8;
  const size_t n = pairs.size();
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i laneShift = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  for (size_t i0 = 0; i0 < n; i0 += kRows) {
    const size_t rows = std::min(kRows, n - i0);
    Pair8 q[kRows];
    uint32_t own[kRows] = {};
    for (size_t r = 0; r < rows; ++r) q[r] = broadcast8(p, i0 + r);
    for (size_t j = (i0 + 1) & ~(kLanes - 1); j < n; j += kLanes) {
      const unsigned valid = j + kLanes <= n ? 0xFFu : (1u << (n - j)) - 1;
      __m256i add = _mm256_setzero_si256();
      for (size_t r = 0; r < rows; ++r) {
        const size_t i = i0 + r;
        const unsigned lanes = j > i ? valid : valid & ~((2u << (i - j)) - 1);
        if (lanes == 0) continue;
        const unsigned yes = agreeing8(pairs, p, q[r], i, j, lanes);
        own[r] += static_cast<uint32_t>(__builtin_popcount(yes));
        const __m256i bits = _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(yes)), laneShift);
        add = _mm256_add_epi32(add, _mm256_and_si256(bits, one));
      }
      auto* at = reinterpret_cast<__m256i*>(count + j);
      _mm256_storeu_si256(at, _mm256_add_epi32(_mm256_loadu_si256(at), add));
    }
    for (size_t r = 0; r < rows; ++r) count[i0 + r] += own[r];
    if (progress && i0 % kProgressRows == 0) progress(countDone(i0, n));
  }
}

KESTRUM_AVX2 bool keep8(const PairCoords& pairs, const SingleAxes& p, size_t i, uint64_t* mask,
                        size_t first, size_t end) {
  const Pair8 q = broadcast8(p, i);
  uint64_t any = 0;
  for (size_t w = first; w < end; ++w) {
    const uint64_t m = mask[w];
    if (m == 0) continue;
    uint64_t kept = 0;
    for (unsigned block = 0; block < 8; ++block) {
      const auto lanes = static_cast<unsigned>(m >> (8 * block)) & 0xFFu;
      if (lanes == 0) continue;
      const size_t j = w * PairCoords::kWordBits + 8 * block;
      kept |= uint64_t{agreeing8(pairs, p, q, i, j, lanes)} << (8 * block);
    }
    mask[w] = kept;
    any |= kept;
  }
  return any != 0;
}

#endif  // KESTRUM_X86_KERNELS

}  // namespace

PairCoords::PairCoords() : kernel_(bestKernel()) {}

PairCoords::Kernel PairCoords::bestKernel() {
#ifdef KESTRUM_X86_KERNELS
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f")) return Kernel::kAvx512;
  if (__builtin_cpu_supports("avx2")) return Kernel::kAvx2;
#endif
  return Kernel::kScalar;
}

void PairCoords::useKernel(Kernel kernel) {
  kernel_ = std::min(kernel, bestKernel());
}

double PairCoords::bytesNeeded(size_t n) {
  const double padded = static_cast<double>((n + kWordBits - 1) / kWordBits * kWordBits);
  return padded * 6 * (sizeof(double) + sizeof(float));
}

void PairCoords::reserve(size_t n) {
  const size_t padded = (n + kWordBits - 1) / kWordBits * kWordBits;
  for (std::vector<double>* axis : {&rx_, &ry_, &rz_, &cx_, &cy_, &cz_}) axis->reserve(padded);
}

void PairCoords::add(const Coords& reference, const Coords& comparison) {
  if (n_ == rx_.size()) {
    for (std::vector<double>* axis : {&rx_, &ry_, &rz_, &cx_, &cy_, &cz_})
      axis->resize(n_ + kWordBits, 0.0);
  }
  rx_[n_] = reference.x;
  ry_[n_] = reference.y;
  rz_[n_] = reference.z;
  cx_[n_] = comparison.x;
  cy_[n_] = comparison.y;
  cz_[n_] = comparison.z;
  ++n_;
}

PairCoords PairCoords::permuted(const std::vector<unsigned>& order) const {
  PairCoords copy;
  copy.kernel_ = kernel_;
  copy.reserve(order.size());
  for (unsigned k : order) copy.add(reference(k), comparison(k));
  return copy;
}

const PairCoords::Singles& PairCoords::singles() const {
  Singles& f = singles_;
  if (f.madeFor == n_ && !f.rx.empty()) return f;
  f.madeFor = n_;
  double radius = 0;
  // Each molecule's coordinates about their mean: distances within a molecule do not change,
  // and the rounding to float grows with the distance from the origin.
  const std::vector<double>* from[6] = {&rx_, &ry_, &rz_, &cx_, &cy_, &cz_};
  std::vector<float>* to[6] = {&f.rx, &f.ry, &f.rz, &f.cx, &f.cy, &f.cz};
  for (int axis = 0; axis < 6; ++axis) {
    const std::vector<double>& x = *from[axis];
    double mean = 0;
    for (size_t k = 0; k < n_; ++k) mean += x[k];
    mean = n_ == 0 ? 0 : mean / static_cast<double>(n_);
    to[axis]->assign(x.size(), 0.0f);
    for (size_t k = 0; k < n_; ++k) {
      const double centred = x[k] - mean;
      radius = std::max(radius, std::fabs(centred));
      if (!std::isfinite(centred)) radius = std::numeric_limits<double>::infinity();
      (*to[axis])[k] = static_cast<float>(centred);
    }
  }
  const double margin = singleMargin(radius);
  f.usable = margin < kSingleMarginLimit;
  f.sureInside = static_cast<float>(kTolerance2 * (1 - margin) * (1 - margin));
  f.sureOutside = static_cast<float>(2 * kTolerance2 * (1 + margin) * (1 + margin));
  return f;
}

bool PairCoords::agree(const Coords& reference1, const Coords& comparison1,
                       const Coords& reference2, const Coords& comparison2) {
  return std::fabs(reference1.calcDist(reference2) - comparison1.calcDist(comparison2)) <
         kTolerance;
}

bool PairCoords::agree(size_t i, size_t j) const {
  return agree(reference(i), comparison(i), reference(j), comparison(j));
}

std::vector<uint32_t> PairCoords::agreementCounts(const ProgressFn& progress) const {
  // Room for whole vectors past the last pair.
  std::vector<uint32_t> count(words() * kWordBits, 0);
#ifdef KESTRUM_X86_KERNELS
  if (kernel_ != Kernel::kScalar && singles().usable) {
    const Singles& f = singles();
    const SingleAxes p{f.rx.data(), f.ry.data(), f.rz.data(),  f.cx.data(),
                       f.cy.data(), f.cz.data(), f.sureInside, f.sureOutside};
    if (kernel_ == Kernel::kAvx512) {
      counts16(*this, p, count.data(), progress);
    } else {
      counts8(*this, p, count.data(), progress);
    }
    count.resize(n_);
    return count;
  }
#endif
  const Axes p{rx_.data(), ry_.data(), rz_.data(), cx_.data(), cy_.data(), cz_.data()};
  countsScalar(*this, p, count.data(), progress);
  count.resize(n_);
  return count;
}

bool PairCoords::keepAgreeing(size_t i, uint64_t* mask, size_t firstWord, size_t endWord) const {
#ifdef KESTRUM_X86_KERNELS
  if (kernel_ != Kernel::kScalar && singles().usable) {
    const Singles& f = singles();
    const SingleAxes p{f.rx.data(), f.ry.data(), f.rz.data(),  f.cx.data(),
                       f.cy.data(), f.cz.data(), f.sureInside, f.sureOutside};
    return kernel_ == Kernel::kAvx512 ? keep16(*this, p, i, mask, firstWord, endWord)
                                      : keep8(*this, p, i, mask, firstWord, endWord);
  }
#endif
  const Axes p{rx_.data(), ry_.data(), rz_.data(), cx_.data(), cy_.data(), cz_.data()};
  return keepScalar(*this, p, i, mask, firstWord, endWord);
}

BitMatrix PairCoords::agreementMatrix(const ProgressFn& progress, const StopFn& stop,
                                      size_t* rowsMade) const {
  BitMatrix matrix(n_, BitMatrix::kUnset);
  const size_t words = matrix.words();
  if (rowsMade != nullptr) *rowsMade = n_;
  for (size_t i = 0; i < n_; ++i) {
    if (stop && i % kProgressRows == 0 && i > 0 && stop()) {
      if (rowsMade != nullptr) *rowsMade = i;
      return BitMatrix();
    }
    uint64_t* row = matrix.row(i);
    std::fill(row, row + words, ~uint64_t{0});
    if (n_ % kWordBits != 0) row[words - 1] = (uint64_t{1} << (n_ % kWordBits)) - 1;
    row[i / kWordBits] &= ~(uint64_t{1} << (i % kWordBits));
    keepAgreeing(i, row, 0, words);
    if (progress && i % kProgressRows == 0)
      progress(static_cast<double>(i) / static_cast<double>(n_));
  }
  return matrix;
}

}  // namespace VXMole
