// Test helper: an independent least-squares fit (Kabsch, by Jacobi eigenvalues), to check QCP.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

#include "coords.h"

namespace VXMole {

inline double det3(const double* m) {
  return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
         m[2] * (m[3] * m[7] - m[4] * m[6]);
}

// Eigenvalues of a symmetric 3x3 matrix by cyclic Jacobi rotations.
inline std::array<double, 3> jacobiEigenvalues(std::array<double, 9> a) {
  for (int sweep = 0; sweep < 100; ++sweep) {
    const double off = a[1] * a[1] + a[2] * a[2] + a[5] * a[5];
    if (off < 1e-30 * (a[0] * a[0] + a[4] * a[4] + a[8] * a[8])) break;
    for (auto [p, q] : {std::pair{0, 1}, std::pair{0, 2}, std::pair{1, 2}}) {
      const double apq = a[3 * p + q];
      if (apq == 0) continue;
      const double theta = (a[3 * q + q] - a[3 * p + p]) / (2 * apq);
      const double t = (theta >= 0 ? 1 : -1) / (std::fabs(theta) + std::sqrt(theta * theta + 1));
      const double c = 1 / std::sqrt(t * t + 1), s = t * c;
      for (int k = 0; k < 3; ++k) {  // A <- A.J
        const double akp = a[3 * k + p], akq = a[3 * k + q];
        a[3 * k + p] = c * akp - s * akq;
        a[3 * k + q] = s * akp + c * akq;
      }
      for (int k = 0; k < 3; ++k) {  // A <- J^T.A
        const double apk = a[3 * p + k], aqk = a[3 * q + k];
        a[3 * p + k] = c * apk - s * aqk;
        a[3 * q + k] = s * apk + c * aqk;
      }
    }
  }
  return {a[0], a[4], a[8]};
}

// Least-squares RMSD by Kabsch: with H the covariance of the centred sets and s1 >= s2 >= s3
// its singular values, min sum |R.m - r|^2 = G1 + G2 - 2(s1 + s2 + sign(det H).s3).
inline double kabschRmsd(std::vector<Coords> rigid, std::vector<Coords> mobile) {
  const double n = rigid.size();
  Coords cr, cm;
  for (size_t i = 0; i < rigid.size(); ++i) cr += rigid[i], cm += mobile[i];
  cr /= Coords(n, n, n);
  cm /= Coords(n, n, n);
  std::array<double, 9> H{};
  double G = 0;
  for (size_t i = 0; i < rigid.size(); ++i) {
    rigid[i] -= cr;
    mobile[i] -= cm;
    const double r[3] = {rigid[i].x, rigid[i].y, rigid[i].z};
    const double m[3] = {mobile[i].x, mobile[i].y, mobile[i].z};
    for (int a = 0; a < 3; ++a) {
      G += r[a] * r[a] + m[a] * m[a];
      for (int b = 0; b < 3; ++b) H[3 * a + b] += m[a] * r[b];
    }
  }
  std::array<double, 9> HtH{};
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b)
      for (int k = 0; k < 3; ++k) HtH[3 * a + b] += H[3 * k + a] * H[3 * k + b];
  std::array<double, 3> ev = jacobiEigenvalues(HtH);
  std::sort(ev.begin(), ev.end());
  const double s3 = std::sqrt(std::max(0.0, ev[0]));
  const double sum = std::sqrt(ev[2]) + std::sqrt(ev[1]) + (det3(H.data()) < 0 ? -s3 : s3);
  return std::sqrt(std::max(0.0, (G - 2 * sum) / n));
}

}  // namespace VXMole
