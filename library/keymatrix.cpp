// KeyMatrix: QCP's key matrix, its largest eigenvalue from above, its eigensystem by Jacobi
// rotations, and the rotation of a quaternion.
#include "keymatrix.h"

#include <algorithm>
#include <cmath>

#include "rigidbody.h"

namespace VXMole {

namespace {

constexpr int kMaxNewtonSteps = 50;
constexpr double kNewtonPrecision = 1e-14;

}  // namespace

void keyMatrix(const double* S, double K[4][4]) {
  const double Sxx = S[0], Sxy = S[1], Sxz = S[2], Syx = S[3], Syy = S[4], Syz = S[5];
  const double Szx = S[6], Szy = S[7], Szz = S[8];
  K[0][0] = Sxx + Syy + Szz;
  K[0][1] = K[1][0] = Syz - Szy;
  K[0][2] = K[2][0] = Szx - Sxz;
  K[0][3] = K[3][0] = Sxy - Syx;
  K[1][1] = Sxx - Syy - Szz;
  K[1][2] = K[2][1] = Sxy + Syx;
  K[1][3] = K[3][1] = Sxz + Szx;
  K[2][2] = Syy - Sxx - Szz;
  K[2][3] = K[3][2] = Syz + Szy;
  K[3][3] = Szz - Sxx - Syy;
}

// The largest root of det(K - lambda.I) = lambda^4 + C2 lambda^2 + C1 lambda + C0, by Newton's
// method from `start`, an upper bound of it (E0, half of G, is another). The polynomial has
// real roots only, so from above the iterates descend onto the root and never pass it: a value
// cut short is still an upper bound, and G - 2 lambda a lower bound of the deviation. Rounding
// can throw a step far past the root where the root is double (the slope vanishes with the
// value): a step that lands where the polynomial or one of its derivatives is negative, which
// no point above every root allows (Newton's rule for the bounds of roots), is refused unless
// it is a rounding-sized last step.
double largestKeyEigenvalue(const double* S, double start, double E0) {
  const KeyQuartic quartic = keyQuartic(S);
  const double C2 = quartic.C2, C1 = quartic.C1, C0 = quartic.C0;

  auto aboveEveryRoot = [&](double x) {
    const double x2 = x * x;
    return x >= 0.0 && 12.0 * x2 + 2.0 * C2 >= 0.0 && 4.0 * x2 * x + 2.0 * C2 * x + C1 >= 0.0 &&
           (x2 + C2) * x2 + C1 * x + C0 >= 0.0;
  };
  if (!aboveEveryRoot(start)) start = E0;
  double lambda = start;
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    const double x2 = lambda * lambda;
    const double b = (x2 + C2) * lambda;
    const double a = b + C1;
    const double slope = 2.0 * x2 * lambda + b + a;
    if (!(slope > 0.0)) break;  // on a double root: lambda is the root
    const double delta = (a * lambda + C0) / slope;
    const double next = lambda - delta;
    const bool last = std::fabs(delta) < std::fabs(kNewtonPrecision * next);
    if (!(delta >= 0.0) || (!last && !aboveEveryRoot(next))) break;
    lambda = next;
    if (last) break;
  }
  return lambda;
}

// Eigenvalues of a symmetric 4x4 matrix, largest first, with the
// eigenvector of the largest.
void keyEigenSystem(const double K[4][4], double values[4], double top[4]) {
  double a[4][4], v[4][4];
  jacobiEigen4(K, a, v);
  int order[4] = {0, 1, 2, 3};
  std::sort(order, order + 4, [&a](int i, int j) { return a[i][i] > a[j][j]; });
  for (int i = 0; i < 4; ++i) values[i] = a[order[i]][order[i]];
  for (int j = 0; j < 4; ++j) top[j] = v[j][order[0]];
}

}  // namespace VXMole
