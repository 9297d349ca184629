// RigidBody: quaternion characteristic polynomial (QCP) superposition and its transforms.
//
// The optimal rotation is the unit quaternion q maximising q^T K q, K being the traceless
// symmetric 4x4 key matrix built from the inner products S of the centred sets; its largest
// eigenvalue lambda gives the minimum squared deviation 2.(E0 - lambda). lambda is the largest
// root of det(K - lambda.I), found by Newton's method from the upper bound E0, and q is a
// column of the adjoint of K - lambda.I.
//   D. L. Theobald (2005) Acta Cryst. A61, 478-480.
//   P. Liu, D. K. Agrafiotis, D. L. Theobald (2010) J. Comput. Chem. 31, 1561-1563.
#include "rigidbody.h"

#include <algorithm>  // for std::max
#include <cmath>
#include <cstdio>  // for std::printf

#include "diagnostics.h"
#include "molecule.h"

namespace VXMole {

// Jacobi sweeps enough for any 4x4 matrix; a sweep that leaves the off-diagonal at rounding
// size ends the iteration long before.
constexpr int kMaxJacobiSweeps = 50;

void jacobiEigen4(const double K[4][4], double a[4][4], double v[4][4]) {
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) {
      a[i][j] = K[i][j];
      v[i][j] = i == j ? 1.0 : 0.0;
    }
  for (int sweep = 0; sweep < kMaxJacobiSweeps; ++sweep) {
    double off = 0.0, diag = 0.0;
    for (int i = 0; i < 4; ++i) {
      diag += a[i][i] * a[i][i];
      for (int j = i + 1; j < 4; ++j) off += a[i][j] * a[i][j];
    }
    if (off <= 1e-32 * diag) break;
    for (int p = 0; p < 3; ++p)
      for (int r = p + 1; r < 4; ++r) {
        if (a[p][r] == 0.0) continue;
        const double theta = (a[r][r] - a[p][p]) / (2.0 * a[p][r]);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::hypot(theta, 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (int k = 0; k < 4; ++k) {  // a <- a.J, v <- v.J
          const double akp = a[k][p], akr = a[k][r];
          a[k][p] = c * akp - s * akr;
          a[k][r] = s * akp + c * akr;
          const double vkp = v[k][p], vkr = v[k][r];
          v[k][p] = c * vkp - s * vkr;
          v[k][r] = s * vkp + c * vkr;
        }
        for (int k = 0; k < 4; ++k) {  // a <- J^T.a
          const double apk = a[p][k], ark = a[r][k];
          a[p][k] = c * apk - s * ark;
          a[r][k] = s * apk + c * ark;
        }
      }
  }
}

namespace {

constexpr int kMaxNewtonSteps = 50;
constexpr double kNewtonPrecision = 1e-14;      // relative step size that ends Newton's iteration
constexpr double kEigenvectorPrecision = 1e-6;  // least squared norm of a usable adjoint column
// |P'(lambda)| / lambda^3 below which lambda is taken for a double root of the quartic.
constexpr double kNearDoubleRoot = 1e-4;
// Eigenvalues closer than this, relative to the largest magnitude, count as one multiple root.
constexpr double kDegenerateEigenvalue = 1e-12;

// Fallback for the cases the polynomial handles badly: when the largest eigenvalue of K is
// a double root (both sets collinear: every turn about the line fits equally) Newton's step
// is 0/0 or stalls near sqrt(epsilon), and the adjoint of K - lambda.I vanishes; the adjoint
// also falls under its absolute bound when the coordinates are tiny. Diagonalises K by
// cyclic Jacobi rotations and returns its largest eigenvalue and, among equally good
// quaternions, the one closest to (1,0,0,0): the smallest turn that achieves the fit.
void largestEigenpair(const double K[4][4], double* lambda, double q[4]) {
  double a[4][4], v[4][4];
  jacobiEigen4(K, a, v);

  int top = 0;
  double scale = 0.0;
  for (int i = 0; i < 4; ++i) {
    if (a[i][i] > a[top][top]) top = i;
    scale = std::max(scale, std::fabs(a[i][i]));
  }
  *lambda = a[top][top];
  // Project (1,0,0,0) onto the eigenspace of the largest eigenvalue; column i of v is the
  // eigenvector of a[i][i], and v[0][i] its component along (1,0,0,0).
  for (int j = 0; j < 4; ++j) q[j] = 0.0;
  for (int i = 0; i < 4; ++i) {
    if (a[top][top] - a[i][i] > kDegenerateEigenvalue * scale) continue;
    for (int j = 0; j < 4; ++j) q[j] += v[0][i] * v[j][i];
  }
  if (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] < 1e-12)
    for (int j = 0; j < 4; ++j) q[j] = v[j][top];
}

// The eigenvector of K for lambda as a column of the adjoint of K - lambda.I, which is
// singular, so every non-zero column of its adjoint is the eigenvector. Columns are tried in
// the order of the published method; returns false when all four fall under the bound.
bool adjointEigenvector(const double K[4][4], double lambda, double q[4]) {
  const double a11 = K[0][0] - lambda, a12 = K[0][1], a13 = K[0][2], a14 = K[0][3];
  const double a21 = K[1][0], a22 = K[1][1] - lambda, a23 = K[1][2], a24 = K[1][3];
  const double a31 = K[2][0], a32 = K[2][1], a33 = K[2][2] - lambda, a34 = K[2][3];
  const double a41 = K[3][0], a42 = K[3][1], a43 = K[3][2], a44 = K[3][3] - lambda;

  // 2x2 minors of rows 3-4, for the cofactors of rows 1 and 2.
  const double a3344_4334 = a33 * a44 - a43 * a34;
  const double a3244_4234 = a32 * a44 - a42 * a34;
  const double a3243_4233 = a32 * a43 - a42 * a33;
  const double a3143_4133 = a31 * a43 - a41 * a33;
  const double a3144_4134 = a31 * a44 - a41 * a34;
  const double a3142_4132 = a31 * a42 - a41 * a32;
  // 2x2 minors of rows 1-2, for the cofactors of rows 3 and 4.
  const double a1324_1423 = a13 * a24 - a14 * a23;
  const double a1224_1422 = a12 * a24 - a14 * a22;
  const double a1223_1322 = a12 * a23 - a13 * a22;
  const double a1124_1421 = a11 * a24 - a14 * a21;
  const double a1123_1321 = a11 * a23 - a13 * a21;
  const double a1122_1221 = a11 * a22 - a12 * a21;

  // One column per cofactor row (a column's common sign is irrelevant: q and -q are the
  // same rotation).
  const double columns[4][4] = {{a22 * a3344_4334 - a23 * a3244_4234 + a24 * a3243_4233,
                                 -a21 * a3344_4334 + a23 * a3144_4134 - a24 * a3143_4133,
                                 a21 * a3244_4234 - a22 * a3144_4134 + a24 * a3142_4132,
                                 -a21 * a3243_4233 + a22 * a3143_4133 - a23 * a3142_4132},
                                {a12 * a3344_4334 - a13 * a3244_4234 + a14 * a3243_4233,
                                 -a11 * a3344_4334 + a13 * a3144_4134 - a14 * a3143_4133,
                                 a11 * a3244_4234 - a12 * a3144_4134 + a14 * a3142_4132,
                                 -a11 * a3243_4233 + a12 * a3143_4133 - a13 * a3142_4132},
                                {a42 * a1324_1423 - a43 * a1224_1422 + a44 * a1223_1322,
                                 -a41 * a1324_1423 + a43 * a1124_1421 - a44 * a1123_1321,
                                 a41 * a1224_1422 - a42 * a1124_1421 + a44 * a1122_1221,
                                 -a41 * a1223_1322 + a42 * a1123_1321 - a43 * a1122_1221},
                                {a32 * a1324_1423 - a33 * a1224_1422 + a34 * a1223_1322,
                                 -a31 * a1324_1423 + a33 * a1124_1421 - a34 * a1123_1321,
                                 a31 * a1224_1422 - a32 * a1124_1421 + a34 * a1122_1221,
                                 -a31 * a1223_1322 + a32 * a1123_1321 - a33 * a1122_1221}};
  for (const double* column : columns) {
    const double qsqr = column[0] * column[0] + column[1] * column[1] + column[2] * column[2] +
                        column[3] * column[3];
    if (qsqr >= kEigenvectorPrecision) {
      for (int j = 0; j < 4; ++j) q[j] = column[j];
      return true;
    }
  }
  return false;
}

}  // namespace

RigidBody::RigidBody()
    : rmsd_(0.0),
      innerProduct_{0, 0, 0, 0, 0, 0, 0, 0, 0},
      rotation_{1, 0, 0, 0, 1, 0, 0, 0, 1},
      E0_(0.0),
      rigidCentered_(false),
      mobileCentered_(false) {}

void RigidBody::Load_Coords_To_Rigid(const std::vector<Coords>& points) {
  rigid_.assign(points.begin(), points.end());
  rigidCentered_ = false;
}

void RigidBody::Load_Coords_To_Mobile(const std::vector<Coords>& points) {
  mobile_.assign(points.begin(), points.end());
  mobileCentered_ = false;
}

namespace {

// Moves the mean of the points to the origin and returns it; an empty list has centre 0.
Coords centre(RigidBody::PointList& points) {
  Coords mean;
  if (points.empty()) return mean;
  for (const Coords& p : points) mean += p;
  const double n = static_cast<double>(points.size());
  mean = Coords(mean.x / n, mean.y / n, mean.z / n);
  for (Coords& p : points) p -= mean;
  return mean;
}

}  // namespace

void RigidBody::Center_Data() {
  if (!rigidCentered_) {
    rigidCenter_ = centre(rigid_);
    rigidCentered_ = true;
  }
  if (!mobileCentered_) {
    mobileCenter_ = centre(mobile_);
    mobileCentered_ = true;
  }
}

double RigidBody::InnerProduct() {
  Center_Data();
  for (double& s : innerProduct_) s = 0.0;
  const size_t n = rigid_.size();
  double G1 = 0.0, G2 = 0.0;
  const bool weighted = weights_.size() == n;
  if (!weighted && !weights_.empty())
    diagnostics() << "Weigths not fit size : " << weights_.size() << " " << n << "\n";
  for (size_t i = 0; i < n; ++i) {
    const double w = weighted ? weights_[i] : 1.0;
    const Coords& r = rigid_[i];
    const Coords& m = mobile_.at(i);
    const double x1 = w * r.x, y1 = w * r.y, z1 = w * r.z;
    G1 += x1 * r.x + y1 * r.y + z1 * r.z;
    G2 += w * (m.x * m.x + m.y * m.y + m.z * m.z);
    innerProduct_[0] += x1 * m.x;
    innerProduct_[1] += x1 * m.y;
    innerProduct_[2] += x1 * m.z;
    innerProduct_[3] += y1 * m.x;
    innerProduct_[4] += y1 * m.y;
    innerProduct_[5] += y1 * m.z;
    innerProduct_[6] += z1 * m.x;
    innerProduct_[7] += z1 * m.y;
    innerProduct_[8] += z1 * m.z;
  }
  E0_ = (G1 + G2) * 0.5;
  return E0_;
}

KeyQuartic keyQuartic(const double* S) {
  const double Sxx = S[0], Sxy = S[1], Sxz = S[2];
  const double Syx = S[3], Syy = S[4], Syz = S[5];
  const double Szx = S[6], Szy = S[7], Szz = S[8];
  const double Sxx2 = Sxx * Sxx, Syy2 = Syy * Syy, Szz2 = Szz * Szz;
  const double Sxy2 = Sxy * Sxy, Syz2 = Syz * Syz, Sxz2 = Sxz * Sxz;
  const double Syx2 = Syx * Syx, Szy2 = Szy * Szy, Szx2 = Szx * Szx;

  const double SyzSzymSyySzz2 = 2.0 * (Syz * Szy - Syy * Szz);
  const double Sxx2Syy2Szz2Syz2Szy2 = Syy2 + Szz2 - Sxx2 + Syz2 + Szy2;

  // C2 = -2 tr(S^T S), C1 = -8 det(S).
  const double C2 = -2.0 * (Sxx2 + Syy2 + Szz2 + Sxy2 + Syx2 + Sxz2 + Szx2 + Syz2 + Szy2);
  const double C1 = 8.0 * (Sxx * Syz * Szy + Syy * Szx * Sxz + Szz * Sxy * Syx - Sxx * Syy * Szz -
                           Syz * Szx * Sxy - Szy * Syx * Sxz);

  const double SxzpSzx = Sxz + Szx, SyzpSzy = Syz + Szy, SxypSyx = Sxy + Syx;
  const double SyzmSzy = Syz - Szy, SxzmSzx = Sxz - Szx, SxymSyx = Sxy - Syx;
  const double SxxpSyy = Sxx + Syy, SxxmSyy = Sxx - Syy;
  const double Sxy2Sxz2Syx2Szx2 = Sxy2 + Sxz2 - Syx2 - Szx2;

  // C0 = det(K), grouped into six products to limit cancellation.
  const double C0 =
      Sxy2Sxz2Syx2Szx2 * Sxy2Sxz2Syx2Szx2 +
      (Sxx2Syy2Szz2Syz2Szy2 + SyzSzymSyySzz2) * (Sxx2Syy2Szz2Syz2Szy2 - SyzSzymSyySzz2) +
      (-SxzpSzx * SyzmSzy + SxymSyx * (SxxmSyy - Szz)) *
          (-SxzmSzx * SyzpSzy + SxymSyx * (SxxmSyy + Szz)) +
      (-SxzpSzx * SyzpSzy - SxypSyx * (SxxpSyy - Szz)) *
          (-SxzmSzx * SyzmSzy - SxypSyx * (SxxpSyy + Szz)) +
      (SxypSyx * SyzpSzy + SxzpSzx * (SxxmSyy + Szz)) *
          (-SxymSyx * SyzmSzy + SxzpSzx * (SxxpSyy + Szz)) +
      (SxypSyx * SyzmSzy + SxzmSzx * (SxxmSyy - Szz)) *
          (-SxymSyx * SyzpSzy + SxzmSzx * (SxxpSyy - Szz));
  return {C2, C1, C0};
}

void quaternionRotation(const double q[4], double R[9]) {
  const double a2 = q[0] * q[0], x2 = q[1] * q[1], y2 = q[2] * q[2], z2 = q[3] * q[3];
  const double xy = q[1] * q[2], az = q[0] * q[3], zx = q[3] * q[1];
  const double ay = q[0] * q[2], yz = q[2] * q[3], ax = q[0] * q[1];
  R[0] = a2 + x2 - y2 - z2;
  R[1] = 2.0 * (xy + az);
  R[2] = 2.0 * (zx - ay);
  R[3] = 2.0 * (xy - az);
  R[4] = a2 - x2 + y2 - z2;
  R[5] = 2.0 * (yz + ax);
  R[6] = 2.0 * (zx + ay);
  R[7] = 2.0 * (yz - ax);
  R[8] = a2 - x2 - y2 + z2;
}

double RigidBody::Calc_Rotation(double minScore) {
  if (rigid_.size() != mobile_.size()) {
    diagnostics() << "Mobile and Fixed have different size : " << rigid_.size() << " "
                  << mobile_.size() << "\n";
    return kSizeMismatch;
  }
  const double E0 = InnerProduct();
  const double* S = innerProduct_;
  const double Sxx = S[0], Sxy = S[1], Sxz = S[2];
  const double Syx = S[3], Syy = S[4], Syz = S[5];
  const double Szx = S[6], Szy = S[7], Szz = S[8];

  const KeyQuartic quartic = keyQuartic(S);
  const double C2 = quartic.C2, C1 = quartic.C1, C0 = quartic.C0;
  const double SxzpSzx = Sxz + Szx, SyzpSzy = Syz + Szy, SxypSyx = Sxy + Syx;
  const double SyzmSzy = Syz - Szy, SxzmSzx = Sxz - Szx, SxymSyx = Sxy - Syx;
  const double SxxpSyy = Sxx + Syy, SxxmSyy = Sxx - Syy;

  // The key matrix K; its largest eigenvalue is the largest root of the quartic.
  const double K[4][4] = {{SxxpSyy + Szz, SyzmSzy, -SxzmSzx, SxymSyx},
                          {SyzmSzy, SxxmSyy - Szz, SxypSyx, SxzpSzx},
                          {-SxzmSzx, SxypSyx, Syy - Sxx - Szz, SyzpSzy},
                          {SxymSyx, SxzpSzx, SyzpSzy, Szz - SxxpSyy}};

  // E0 bounds the largest eigenvalue from above, so Newton's method descends onto it.
  double lambda = E0;
  bool converged = false;
  for (int step = 0; step < kMaxNewtonSteps; ++step) {
    const double previous = lambda;
    const double x2 = lambda * lambda;
    const double b = (x2 + C2) * lambda;
    const double a = b + C1;
    lambda = lambda - (a * lambda + C0) / (2.0 * x2 * lambda + b + a);
    if (std::fabs(lambda - previous) < std::fabs(kNewtonPrecision * lambda)) {
      converged = true;
      break;
    }
  }
  // Newton's method is only linear at a double root (matching collinear sets: any turn about
  // the line fits equally) and stalls at ~sqrt(epsilon) relative accuracy, or starts on the
  // root with a 0/0 step; a near-zero slope P'(lambda) gives that case away.
  const double slope = 4.0 * lambda * lambda * lambda + 2.0 * C2 * lambda + C1;
  const bool doubleRoot =
      converged && std::fabs(slope) < kNearDoubleRoot * std::fabs(lambda * lambda * lambda);
  if (!converged) {
    // With fewer than two distinct points every coefficient is 0 and the step 0/0: there
    // is nothing to fit.
    if (!(E0 > 0.0) || !std::isfinite(E0)) return kNothingToFit;
  }
  double q[4];
  const bool haveQuaternion = !converged || doubleRoot;
  if (haveQuaternion) largestEigenpair(K, &lambda, q);

  // Rounding can put lambda a hair above E0 when the sets match exactly.
  const double n = static_cast<double>(rigid_.size());
  rmsd_ = std::sqrt(std::max(0.0, 2.0 * (E0 - lambda) / n));
  if (minScore > 0 && minScore > rmsd_) return rmsd_;

  if (!haveQuaternion && !adjointEigenvector(K, lambda, q)) {
    // The adjoint falls under its absolute bound although lambda is a simple root: the
    // coordinates are tiny. The identity would be wrong, so take the eigenpair from K.
    largestEigenpair(K, &lambda, q);
    rmsd_ = std::sqrt(std::max(0.0, 2.0 * (E0 - lambda) / n));
  }
  rotationFromQuaternion(q[0], q[1], q[2], q[3]);
  return rmsd_;
}

void RigidBody::rotationFromQuaternion(double q1, double q2, double q3, double q4) {
  const double norm = std::sqrt(q1 * q1 + q2 * q2 + q3 * q3 + q4 * q4);
  q1 /= norm;
  q2 /= norm;
  q3 /= norm;
  q4 /= norm;

  const double q[4] = {q1, q2, q3, q4};
  quaternionRotation(q, rotation_);
}

Coords RigidBody::applyForward(const Coords& p) const {
  const double* R = rotation_;
  const double x = p.x - mobileCenter_.x, y = p.y - mobileCenter_.y, z = p.z - mobileCenter_.z;
  return Coords(R[0] * x + R[1] * y + R[2] * z + rigidCenter_.x,
                R[3] * x + R[4] * y + R[5] * z + rigidCenter_.y,
                R[6] * x + R[7] * y + R[8] * z + rigidCenter_.z);
}

Coords RigidBody::applyInverse(const Coords& p) const {
  const double* R = rotation_;
  const double x = p.x - rigidCenter_.x, y = p.y - rigidCenter_.y, z = p.z - rigidCenter_.z;
  return Coords(R[0] * x + R[3] * y + R[6] * z + mobileCenter_.x,
                R[1] * x + R[4] * y + R[7] * z + mobileCenter_.y,
                R[2] * x + R[5] * y + R[8] * z + mobileCenter_.z);
}

namespace {

void loadFixedCoords(const Molecule* molecule, RigidBody::PointList& points) {
  points.clear();
  if (molecule == nullptr) return;
  points.reserve(molecule->numAtoms());
  for (size_t i = 0; i < molecule->numAtoms(); ++i)
    points.push_back(molecule->atom(i).getFixedCoords());
}

}  // namespace

void RigidBody::Load_Molecule_To_Rigid(const Molecule* molecule) {
  loadFixedCoords(molecule, rigid_);
  rigidCentered_ = false;
}

void RigidBody::Load_Molecule_To_Mobile(const Molecule* molecule) {
  loadFixedCoords(molecule, mobile_);
  mobileCentered_ = false;
}

// Each atom's rotated position is computed from its fixed one in one step, which is what
// rotating about the origin and then shifting by the barycentres amounts to, with less rounding.
void RigidBody::moveMolecule(Molecule* molecule,
                             Coords (RigidBody::*transform)(const Coords&) const) const {
  if (molecule == nullptr) return;
  molecule->calcBarycenter(false, false);
  for (size_t i = 0; i < molecule->numAtoms(); ++i) {
    Atom& atom = molecule->atom(i);
    atom.setRotatedCoords((this->*transform)(atom.getFixedCoords()));
  }
  molecule->calcBarycenter(false, true);
}

void RigidBody::Mobil_To_Ref(Molecule* molecule) const {
  moveMolecule(molecule, &RigidBody::applyForward);
}

void RigidBody::Ref_To_Mobil(Molecule* molecule) const {
  moveMolecule(molecule, &RigidBody::applyInverse);
}

std::vector<Coords> RigidBody::Mobil_To_Ref(std::vector<Coords> points) const {
  for (Coords& p : points) p = applyForward(p);
  return points;
}

std::vector<Coords> RigidBody::Ref_To_Mobil(std::vector<Coords> points) const {
  for (Coords& p : points) p = applyInverse(p);
  return points;
}

std::string RigidBody::Mat3Print() const {
  const double* R = rotation_;
  for (int row = 0; row < 3; ++row)
    std::printf(" [ % 14.8f % 14.8f % 14.8f ]\n", R[3 * row], R[3 * row + 1], R[3 * row + 2]);
  return std::string();
}

}  // namespace VXMole
