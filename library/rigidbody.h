// RigidBody: least-squares superposition of two point sets by the QCP method, and its transform.
#pragma once

#include <string>
#include <vector>

#include "coords.h"
#include "largeblock.h"

namespace VXMole {

class Molecule;

// The characteristic polynomial det(K - lambda.I) = lambda^4 + C2.lambda^2 + C1.lambda + C0 of
// the key matrix K built from the inner-product matrix S (row-major: Sxx Sxy Sxz Syx ... Szz).
// K is traceless, so there is no cubic term.
struct KeyQuartic {
  double C2, C1, C0;
};
KeyQuartic keyQuartic(const double* S);

// Diagonalises the symmetric 4x4 matrix K by cyclic Jacobi rotations: on return the diagonal
// of `a` holds its eigenvalues, and column i of `v` the eigenvector of a[i][i].
void jacobiEigen4(const double K[4][4], double a[4][4], double v[4][4]);

// The rotation R (row-major) of a unit quaternion, the fit's formula: R c is the comparison
// point c turned onto the reference.
void quaternionRotation(const double q[4], double R[9]);

// Finds the rotation R and the two centres that carry the mobile set onto the rigid set:
// a mobile point p goes to R.(p - mobile centre) + rigid centre. Load both lists, call
// Calc_Rotation, then transform as often as needed. Before the first successful fit the
// transform is the identity about the centres (both (0,0,0) until a fit has centred lists).
class RigidBody {
 public:
  // Failure values returned by Calc_Rotation in place of an RMSD.
  static constexpr double kSizeMismatch = -100.0;  // rigid and mobile lists differ in length
  // Nothing to fit: fewer than two distinct points, or coordinates that are not finite.
  static constexpr double kNothingToFit = 100000.0;

  RigidBody();

  // Replace a list by a copy of the points; the other list and the last fit are kept.
  void Load_Coords_To_Rigid(const std::vector<Coords>& points);
  void Load_Coords_To_Mobile(const std::vector<Coords>& points);

  // Stores each list's mean as its centre and subtracts it, in place. A list already
  // centred since it was loaded is left alone, so its centre survives a second fit.
  void Center_Data();
  // Centres the data, fills the inner-product matrix and E0; returns E0.
  double InnerProduct();
  // The fit. Returns the RMSD (ångström), or kSizeMismatch, or kNothingToFit, in which two
  // cases R and the RMSD keep their previous values. With minScore > 0, a fit whose RMSD is
  // below minScore returns at once without recomputing R.
  double Calc_Rotation(double minScore);

  // Replace a list by the fixed coordinates of every atom of the molecule, in atom order,
  // hydrogens included.
  void Load_Molecule_To_Rigid(const Molecule* molecule);
  void Load_Molecule_To_Mobile(const Molecule* molecule);

  // Sets every atom's rotated coordinates to the forward transform R.(fixed - cM) + cR of its
  // fixed coordinates (which stay as they are), and updates both stored barycentres.
  void Mobil_To_Ref(Molecule* molecule) const;
  // The same with the inverse transform R^T.(fixed - cR) + cM.
  void Ref_To_Mobil(Molecule* molecule) const;

  // Transformed copies of a list: forward R.(p - cM) + cR, inverse R^T.(p - cR) + cM.
  std::vector<Coords> Mobil_To_Ref(std::vector<Coords> points) const;
  std::vector<Coords> Ref_To_Mobil(std::vector<Coords> points) const;

  // Prints R to stdout, one row a line; the returned string is empty.
  std::string Mat3Print() const;

  const double* getRotation() const { return rotation_; }  // 9 doubles, row-major
  const Coords& getRigidCenter() const { return rigidCenter_; }
  const Coords& getMobileCenter() const { return mobileCenter_; }
  double getRmsd() const { return rmsd_; }
  // The point lists as loaded, centred once a fit has run.
  using PointList = std::vector<Coords, LargeBlockAllocator<Coords>>;
  const PointList& getRigid() const { return rigid_; }
  const PointList& getMobile() const { return mobile_; }

 private:
  Coords applyForward(const Coords& p) const;
  Coords applyInverse(const Coords& p) const;
  // Sets every atom's rotated coordinates to `transform` of its fixed ones.
  void moveMolecule(Molecule* molecule, Coords (RigidBody::*transform)(const Coords&) const) const;
  void rotationFromQuaternion(double q1, double q2, double q3, double q4);

  PointList rigid_;              // fixed set, centred in place by Center_Data
  PointList mobile_;             // moving set, centred in place by Center_Data
  std::vector<double> weights_;  // one weight per point; empty means unweighted (no setter yet)
  double rmsd_;                  // RMSD of the last successful fit, 0 before any
  // Inner-product matrix Sxx Sxy Sxz Syx ... Szz, row-major: row = rigid component,
  // column = mobile component.
  double innerProduct_[9];
  double rotation_[9];   // R, row-major; identity before the first fit
  double E0_;            // half the summed squared norms of both centred sets
  Coords rigidCenter_;   // mean of the rigid points before centring
  Coords mobileCenter_;  // mean of the mobile points before centring
  // Each list's own flag, cleared by loading it, so reloading one list does not
  // re-centre the other (already centred) one and lose its centre.
  bool rigidCentered_;
  bool mobileCentered_;
};

}  // namespace VXMole
