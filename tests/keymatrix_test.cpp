// Tests of the QCP key matrix pieces against RigidBody's fit: the least deviation G - 2 lambda,
// the top eigenvector's rotation, and a double top root (collinear points).
#include "keymatrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "rigidbody.h"

using namespace VXMole;

namespace {

// Centres both sets about their means and sums their inner products.
PairSums centredSums(std::vector<Coords> r, std::vector<Coords> c) {
  Coords rMean, cMean;
  for (size_t k = 0; k < r.size(); ++k) {
    rMean += r[k];
    cMean += c[k];
  }
  const double n = static_cast<double>(r.size());
  PairSums sums;
  for (size_t k = 0; k < r.size(); ++k) {
    r[k] -= Coords(rMean.x / n, rMean.y / n, rMean.z / n);
    c[k] -= Coords(cMean.x / n, cMean.y / n, cMean.z / n);
    sums.add(r[k], c[k]);
  }
  return sums;
}

double rigidBodyRmsd(const std::vector<Coords>& r, const std::vector<Coords>& c) {
  RigidBody fit;
  fit.Load_Coords_To_Rigid(r);
  fit.Load_Coords_To_Mobile(c);
  return fit.Calc_Rotation(-1.0);
}

TEST(KeyMatrix, LargestEigenvalueAndItsRotationGiveTheFit) {
  std::mt19937 random(9);
  std::normal_distribution<double> gauss(0.0, 2.0);
  std::vector<Coords> r, c;
  const double cs = std::cos(1.2), sn = std::sin(1.2);
  for (int k = 0; k < 12; ++k) {
    r.emplace_back(gauss(random), gauss(random), gauss(random));
    c.emplace_back(cs * r.back().x + sn * r.back().z + 0.2 * gauss(random) + 4,
                   r.back().y + 0.2 * gauss(random),
                   -sn * r.back().x + cs * r.back().z + 0.2 * gauss(random));
  }
  const PairSums sums = centredSums(r, c);
  const double rmsd = rigidBodyRmsd(r, c);
  const double lambda = largestKeyEigenvalue(sums.S, 0.5 * sums.G, 0.5 * sums.G);
  EXPECT_NEAR(std::sqrt((sums.G - 2 * lambda) / 12), rmsd, 1e-9);

  double K[4][4], values[4], q[4], R[9];
  keyMatrix(sums.S, K);
  keyEigenSystem(K, values, q);
  EXPECT_NEAR(values[0], lambda, 1e-9 * lambda);
  EXPECT_GE(values[0], values[1]);
  // The rotation of the top eigenvector turns each centred comparison point onto the
  // reference with the least deviation: sum r . R c is lambda.
  quaternionRotation(q, R);
  const PairSums turned = [&] {
    std::vector<Coords> moved;
    for (const Coords& p : c)
      moved.emplace_back(R[0] * p.x + R[1] * p.y + R[2] * p.z, R[3] * p.x + R[4] * p.y + R[5] * p.z,
                         R[6] * p.x + R[7] * p.y + R[8] * p.z);
    return centredSums(r, moved);
  }();
  EXPECT_NEAR(turned.S[0] + turned.S[4] + turned.S[8], lambda, 1e-9 * lambda);
}

TEST(KeyMatrix, DoubleTopRootOfCollinearPointsIsReached) {
  // Collinear points: any turn about the line fits, so the top eigenvalue is double and the
  // slope of Newton's step vanishes with its value there.
  std::vector<Coords> r, c;
  for (int k = 0; k < 5; ++k) {
    r.emplace_back(1.5 * k, 0, 0);
    c.emplace_back(0, 1.5 * k + 2, 1);
  }
  const PairSums sums = centredSums(r, c);
  const double lambda = largestKeyEigenvalue(sums.S, 0.5 * sums.G, 0.5 * sums.G);
  EXPECT_LE(sums.G - 2 * lambda, 1e-9);
  EXPECT_GE(sums.G - 2 * lambda, -1e-9);
}

}  // namespace
