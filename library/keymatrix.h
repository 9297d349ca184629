// KeyMatrix: the 4x4 key matrix of QCP built from the inner products of a set of point pairs,
// its largest eigenvalue approached from above, its eigensystem, and the rotation of a unit
// quaternion; GraphMatch bounds fitted RMSDs with them.
//
// Theobald 2005; Liu, Agrafiotis and Theobald 2010: the least sum of squared deviations of
// pairs (r_i, c_i) turned by the best rotation is G - 2 lambda_max(K), G the sum of their
// squared norms and K the key matrix, whose quadratic form q^T K q is sum r_i . R(q) c_i for a
// unit quaternion q.
#pragma once

#include "coords.h"

namespace VXMole {

// The inner products S (S[3a + b] = sum r_a c_b, row: reference axis, column: comparison axis)
// and G = sum |r|^2 + |c|^2 of a set of pairs.
struct PairSums {
  double S[9] = {0, 0, 0, 0, 0, 0, 0, 0, 0};
  double G = 0;

  void add(const Coords& r, const Coords& c) {
    S[0] += r.x * c.x;
    S[1] += r.x * c.y;
    S[2] += r.x * c.z;
    S[3] += r.y * c.x;
    S[4] += r.y * c.y;
    S[5] += r.y * c.z;
    S[6] += r.z * c.x;
    S[7] += r.z * c.y;
    S[8] += r.z * c.z;
    G += (r.x * r.x + r.y * r.y + r.z * r.z) + (c.x * c.x + c.y * c.y + c.z * c.z);
  }
};

// The key matrix of the inner products S, laid out as RigidBody lays it, so that its top
// eigenvector turns the comparison onto the reference by RigidBody's formula
// (quaternionRotation, in rigidbody.h).
void keyMatrix(const double* S, double K[4][4]);

// The largest eigenvalue of the key matrix of S, by Newton's method on its characteristic
// polynomial from `start`, an upper bound of it; E0 (half of G) is the fallback start. A value
// cut short is still an upper bound, so that G - 2 lambda is a lower bound of the deviation.
double largestKeyEigenvalue(const double* S, double start, double E0);

// Eigenvalues of a symmetric 4x4 matrix, largest first, with the eigenvector of the largest.
void keyEigenSystem(const double K[4][4], double values[4], double top[4]);

}  // namespace VXMole
