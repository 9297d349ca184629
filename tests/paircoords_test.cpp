// Tests of the agreement rule of atom pairs: every kernel decides as the distances of calcDist
// do, right at the threshold, far from the origin and on degenerate input.
#include "paircoords.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace VXMole;

namespace {

// The rule written out with Coords::calcDist.
bool agreeByCalcDist(const PairCoords& p, size_t i, size_t j) {
  return std::fabs(p.reference(i).calcDist(p.reference(j)) -
                   p.comparison(i).calcDist(p.comparison(j))) < 1.0;
}

// Every kernel's degrees and rows against the rule, couple by couple.
void expectKernelsExact(PairCoords pairs) {
  const size_t n = pairs.size();
  std::vector<uint32_t> degree(n, 0);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) degree[i] += j != i && agreeByCalcDist(pairs, i, j);
  }
  // Each kernel the processor has (useKernel falls back to those).
  for (auto kernel :
       {PairCoords::Kernel::kScalar, PairCoords::Kernel::kAvx2, PairCoords::Kernel::kAvx512}) {
    SCOPED_TRACE(static_cast<int>(kernel));
    pairs.useKernel(kernel);
    EXPECT_EQ(pairs.agreementCounts(), degree);
    for (size_t i = 0; i < n; ++i) {
      std::vector<uint64_t> mask(pairs.words(), ~uint64_t{0});
      if (n % 64 != 0) mask.back() = (uint64_t{1} << (n % 64)) - 1;
      const bool any = pairs.keepAgreeing(i, mask.data(), 0, mask.size());
      bool anyExpected = false;
      for (size_t j = 0; j < n; ++j) {
        const bool expected = agreeByCalcDist(pairs, i, j);
        anyExpected = anyExpected || expected;
        ASSERT_EQ((mask[j / 64] >> (j % 64)) & 1, expected ? 1u : 0u) << i << "-" << j;
      }
      EXPECT_EQ(any, anyExpected);
    }
  }
}

// Pairs whose distances to pair 0 differ by `gap` plus a tiny offset, along random directions
// and up to `spread` Å long, all placed around `origin`.
PairCoords nearThreshold(double gap, const Coords& origin, unsigned seed, double spread = 40) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(-1.0, 1.0);
  std::uniform_real_distribution<double> length(0.0, spread);
  const double offsets[] = {0, 1e-15, -1e-15, 4e-16, -4e-16, 1e-12, -1e-12, 1e-7, -1e-7, 1e-4};
  PairCoords pairs;
  const Coords r0(origin.x + unit(rng), origin.y + unit(rng), origin.z + unit(rng));
  const Coords c0(origin.x - 3 * unit(rng), origin.y + unit(rng), origin.z + 5 * unit(rng));
  pairs.add(r0, c0);
  for (int k = 0; k < 150; ++k) {
    auto direction = [&] {
      Coords d(unit(rng), unit(rng), unit(rng));
      const double norm = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
      return Coords(d.x / norm, d.y / norm, d.z / norm);
    };
    const double d = length(rng);
    const double e = std::max(0.0, d + gap + offsets[k % 10]);
    const Coords u = direction(), v = direction();
    pairs.add(Coords(r0.x + d * u.x, r0.y + d * u.y, r0.z + d * u.z),
              Coords(c0.x + e * v.x, c0.y + e * v.y, c0.z + e * v.z));
  }
  return pairs;
}

}  // namespace

TEST(PairCoords, ThresholdIsStrictAtExactlyOneAngstrom) {
  PairCoords pairs;
  pairs.add(Coords(0, 0, 0), Coords(10, 0, 0));
  pairs.add(Coords(2, 0, 0), Coords(13, 0, 0));                         // 2 vs 3: 1.0 exactly
  pairs.add(Coords(0, 2, 0), Coords(10, std::nextafter(3.0, 0.0), 0));  // just below 1
  pairs.add(Coords(0, 0, 2), Coords(10, 0, std::nextafter(3.0, 4.0)));  // just above 1
  EXPECT_FALSE(pairs.agree(0, 1));
  EXPECT_TRUE(pairs.agree(0, 2));
  EXPECT_FALSE(pairs.agree(0, 3));
  expectKernelsExact(pairs);
}

TEST(PairCoords, KernelsDecideAsCalcDistAroundTheThreshold) {
  for (double gap : {1.0, -1.0, 1.0 - 1e-3, 1.0 + 1e-3, std::sqrt(2.0), 1.0 / std::sqrt(2.0)}) {
    for (const Coords& origin : {Coords(0, 0, 0), Coords(480, -950, 30), Coords(4e3, 0, -2e3)}) {
      SCOPED_TRACE(gap);
      SCOPED_TRACE(origin.x);
      expectKernelsExact(nearThreshold(gap, origin, static_cast<unsigned>(gap * 1000)));
    }
  }
  // Spread over thousands of Å, where single precision needs its widest band, and beyond.
  for (double spread : {2500.0, 6000.0})
    expectKernelsExact(nearThreshold(1.0, Coords(), 3, spread));
}

TEST(PairCoords, KernelsDecideAsCalcDistOnCoincidentAndRemotePoints) {
  // Pairs sharing an atom (a distance of 0), repeated pairs, lengths past 1e9 Å and one axis at
  // a huge coordinate, where the quick rules must step aside.
  PairCoords pairs;
  const double huge = 3e12;
  for (int k = 0; k < 70; ++k) {
    const double t = 0.25 * k;
    pairs.add(Coords(0, 0, 0), Coords(t, 0, 0));
    pairs.add(Coords(t, t, 0), Coords(0, 0, 0));
    pairs.add(Coords(t, t, 0), Coords(0, 0, 0));
  }
  pairs.add(Coords(huge, 0, 0), Coords(huge + 0.5, 0, 0));
  pairs.add(Coords(-huge, 1, 0), Coords(-huge, 1.5, 0));
  expectKernelsExact(pairs);
}

TEST(PairCoords, AgreementMatrixHoldsTheRuleOffItsDiagonal) {
  const PairCoords pairs = nearThreshold(1.0, Coords(10, 20, 30), 5);
  const BitMatrix matrix = pairs.agreementMatrix();
  for (size_t k = 0; k < pairs.size(); ++k) {
    EXPECT_FALSE(matrix.test(k, k));
    for (size_t l = 0; l < k; ++l) EXPECT_EQ(matrix.test(k, l), agreeByCalcDist(pairs, k, l));
  }
}
