// Tests of RigidBody: QCP fits checked against known rotations and an independent Kabsch fit.
#include "rigidbody.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <utility>

#include "lsq_reference.h"

namespace VXMole {
namespace {

using Points = std::vector<Coords>;
using Mat3 = std::array<double, 9>;  // row-major

constexpr double kPi = 3.14159265358979323846;

// Rotation by `angle` about the unit axis (ux, uy, uz), Rodrigues' formula.
Mat3 axisAngle(double ux, double uy, double uz, double angle) {
  const double n = std::sqrt(ux * ux + uy * uy + uz * uz);
  ux /= n, uy /= n, uz /= n;
  const double c = std::cos(angle), s = std::sin(angle), t = 1 - c;
  return {t * ux * ux + c,      t * ux * uy - s * uz, t * ux * uz + s * uy,
          t * ux * uy + s * uz, t * uy * uy + c,      t * uy * uz - s * ux,
          t * ux * uz - s * uy, t * uy * uz + s * ux, t * uz * uz + c};
}

Points transform(const Mat3& R, const Points& points, const Coords& shift) {
  Points out;
  for (const Coords& p : points)
    out.emplace_back(R[0] * p.x + R[1] * p.y + R[2] * p.z + shift.x,
                     R[3] * p.x + R[4] * p.y + R[5] * p.z + shift.y,
                     R[6] * p.x + R[7] * p.y + R[8] * p.z + shift.z);
  return out;
}

Points randomCloud(std::mt19937& rng, int n, double half = 10.0) {
  std::uniform_real_distribution<double> u(-half, half);
  Points points;
  for (int i = 0; i < n; ++i) points.emplace_back(u(rng), u(rng), u(rng));
  return points;
}

double rmsdBetween(const Points& a, const Points& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::pow(a[i].calcDist(b[i]), 2);
  return std::sqrt(sum / a.size());
}

void expectRotation(const double* got, const Mat3& want, double tol) {
  for (int i = 0; i < 9; ++i) EXPECT_NEAR(got[i], want[i], tol) << "entry " << i;
}

void expectSamePoints(const Points& got, const Points& want, double tol) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
    EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
    EXPECT_NEAR(got[i].z, want[i].z, tol) << "point " << i;
  }
}

const Mat3 kIdentity = {1, 0, 0, 0, 1, 0, 0, 0, 1};

// Fits mobile onto rigid and returns the RMSD.
double fit(RigidBody& body, const Points& rigid, const Points& mobile, double minScore = -1.0) {
  body.Load_Coords_To_Rigid(rigid);
  body.Load_Coords_To_Mobile(mobile);
  return body.Calc_Rotation(minScore);
}

TEST(RigidBody, RecoversKnownRotationOfRandomClouds) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> u(-1, 1);
  // Random turns plus the awkward ones: tiny, and close to a half turn.
  for (double angle : {0.7, -2.1, 1e-4, 3.1, kPi - 1e-6}) {
    const Mat3 known = axisAngle(u(rng), u(rng), u(rng), angle);
    const Points mobile = randomCloud(rng, 12);
    const Points rigid = transform(known, mobile, Coords(4.0, -7.5, 1.25));
    RigidBody body;
    const double rmsd = fit(body, rigid, mobile);
    EXPECT_NEAR(rmsd, 0.0, 1e-6) << "angle " << angle;
    expectRotation(body.getRotation(), known, 1e-9);
    expectSamePoints(body.Mobil_To_Ref(mobile), rigid, 1e-9);
  }
}

TEST(RigidBody, NoisyCloudRmsdMatchesKabschFit) {
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 0.4);
  std::uniform_real_distribution<double> u(-1, 1);
  for (int trial = 0; trial < 20; ++trial) {
    Points mobile = randomCloud(rng, 4 + trial);
    Points rigid = transform(axisAngle(u(rng), u(rng), u(rng), 3 * u(rng)), mobile,
                             Coords(u(rng), u(rng), u(rng)));
    for (Coords& p : rigid) p += Coords(noise(rng), noise(rng), noise(rng));
    RigidBody body;
    const double rmsd = fit(body, rigid, mobile);
    EXPECT_NEAR(rmsd, kabschRmsd(rigid, mobile), 1e-9) << "trial " << trial;
    // The returned value is what the transform really achieves, with a proper rotation.
    EXPECT_NEAR(rmsdBetween(body.Mobil_To_Ref(mobile), rigid), rmsd, 1e-9) << "trial " << trial;
    EXPECT_NEAR(det3(body.getRotation()), 1.0, 1e-12);
  }
}

TEST(RigidBody, TheobaldSevenAtomExample) {
  const Points rigid = {{-2.803, -15.373, 24.556}, {0.893, -16.062, 25.147},
                        {1.368, -12.371, 25.885},  {-1.651, -12.153, 28.177},
                        {-0.440, -15.218, 30.068}, {2.551, -13.273, 31.372},
                        {0.105, -11.330, 33.567}};
  const Points mobile = {{-14.739, -18.673, 15.040}, {-12.473, -15.810, 16.074},
                         {-14.802, -13.307, 14.408}, {-17.782, -14.852, 16.171},
                         {-16.124, -14.617, 19.584}, {-15.029, -11.037, 18.902},
                         {-18.577, -10.001, 17.996}};
  RigidBody body;
  const double rmsd = fit(body, rigid, mobile);
  EXPECT_NEAR(rmsd, 0.719106, 5e-7);
  EXPECT_NEAR(rmsd, kabschRmsd(rigid, mobile), 1e-9);
  EXPECT_NEAR(rmsdBetween(body.Mobil_To_Ref(mobile), rigid), rmsd, 1e-9);
}

TEST(RigidBody, IdenticalSetsGiveZeroRmsdNotNaN) {
  // 2(E0 - lambda) is rounding noise here and often lands just below zero.
  std::mt19937 rng(99);
  for (int trial = 0; trial < 200; ++trial) {
    const Points points = randomCloud(rng, 3 + trial % 17, 30.0);
    RigidBody body;
    const double rmsd = fit(body, points, points);
    ASSERT_FALSE(std::isnan(rmsd)) << "trial " << trial;
    EXPECT_LT(rmsd, 1e-6);
    expectRotation(body.getRotation(), kIdentity, 1e-9);
  }
}

TEST(RigidBody, QuarterTurnAboutZWithShift) {
  const Points mobile = {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}, {1, 1, 1}, {-2, 0.5, 0}};
  const Mat3 quarterZ = {0, -1, 0, 1, 0, 0, 0, 0, 1};
  const Points rigid = transform(quarterZ, mobile, Coords(10, -4, 2.5));
  RigidBody body;
  EXPECT_NEAR(fit(body, rigid, mobile), 0.0, 1e-6);
  expectRotation(body.getRotation(), quarterZ, 1e-12);
  expectSamePoints(body.Mobil_To_Ref(mobile), rigid, 1e-12);
  expectSamePoints(body.Ref_To_Mobil(rigid), mobile, 1e-12);
}

TEST(RigidBody, SizeMismatchIsReportedAndChangesNothing) {
  RigidBody body;
  const Points three = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  const Points four = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  testing::internal::CaptureStderr();
  const double result = fit(body, three, four);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mobile and Fixed have different size : 3 4\n");
  EXPECT_EQ(result, RigidBody::kSizeMismatch);
  EXPECT_EQ(result, -100.0);
  EXPECT_EQ(body.getRigid()[1], Coords(1, 0, 0));  // not centred
  expectRotation(body.getRotation(), kIdentity, 0.0);
}

TEST(RigidBody, FewerThanTwoDistinctPointsDoNotConverge) {
  const Points mobile = {{1, 0, 0}, {0, 2, 0}, {0, 0, 3}, {1, 1, 1}};
  const Points rigid = transform(axisAngle(1, 2, 3, 0.5), mobile, Coords());
  RigidBody body;
  fit(body, rigid, mobile);
  Mat3 before;
  std::copy_n(body.getRotation(), 9, before.begin());
  const double rmsdBefore = body.getRmsd();

  EXPECT_EQ(fit(body, {{5, 5, 5}}, {{1, 2, 3}}), 100000.0);
  expectRotation(body.getRotation(), before, 0.0);
  EXPECT_EQ(body.getRmsd(), rmsdBefore);
  // A lone pair still gives the translation between the two points.
  expectSamePoints(body.Mobil_To_Ref({{1, 2, 3}}), {{5, 5, 5}}, 1e-12);

  EXPECT_EQ(fit(body, {}, {}), RigidBody::kNothingToFit);
  EXPECT_FALSE(std::isnan(body.getRigidCenter().x));
  EXPECT_FALSE(std::isnan(body.getMobileCenter().x));
  EXPECT_TRUE(body.Mobil_To_Ref(std::vector<Coords>{}).empty());
}

TEST(RigidBody, MinScoreReturnsEarlyKeepingPreviousRotation) {
  std::mt19937 rng(3);
  const Points mobile = randomCloud(rng, 10);
  const Mat3 first = axisAngle(0, 0, 1, 1.0);
  RigidBody body;
  fit(body, transform(first, mobile, Coords()), mobile);

  Points noisy = transform(axisAngle(1, 0, 0, 2.0), mobile, Coords(1, 1, 1));
  std::normal_distribution<double> noise(0.0, 0.1);
  for (Coords& p : noisy) p += Coords(noise(rng), noise(rng), noise(rng));
  const double rmsd = fit(body, noisy, mobile, 0.5);
  EXPECT_GT(rmsd, 0.05);
  EXPECT_LT(rmsd, 0.5);
  EXPECT_EQ(body.getRmsd(), rmsd);
  expectRotation(body.getRotation(), first, 1e-9);
  // Below the threshold the rotation is recomputed.
  EXPECT_EQ(fit(body, noisy, mobile, 0.01), rmsd);
  expectRotation(body.getRotation(), axisAngle(1, 0, 0, 2.0), 0.05);
}

TEST(RigidBody, InverseUndoesForwardTransform) {
  std::mt19937 rng(11);
  std::normal_distribution<double> noise(0.0, 0.5);
  const Points mobile = randomCloud(rng, 9);
  Points rigid = transform(axisAngle(-1, 2, 0.5, 2.4), mobile, Coords(-3, 8, 0));
  for (Coords& p : rigid) p += Coords(noise(rng), noise(rng), noise(rng));
  RigidBody body;
  fit(body, rigid, mobile);
  const Points others = randomCloud(rng, 6, 50.0);
  expectSamePoints(body.Ref_To_Mobil(body.Mobil_To_Ref(others)), others, 1e-9);
  expectSamePoints(body.Mobil_To_Ref(body.Ref_To_Mobil(others)), others, 1e-9);
}

TEST(RigidBody, RefitKeepsCentresOfListsNotReloaded) {
  std::mt19937 rng(5);
  const Points mobile = randomCloud(rng, 8);
  const Points rigid = transform(axisAngle(0, 1, 1, 0.8), mobile, Coords(20, 30, 40));
  RigidBody body;
  const double rmsd = fit(body, rigid, mobile);
  const Coords rigidCentre = body.getRigidCenter(), mobileCentre = body.getMobileCenter();
  // Again without reloading: the lists are already centred and must not lose their centres.
  EXPECT_NEAR(body.Calc_Rotation(-1.0), rmsd, 1e-12);
  EXPECT_EQ(body.getRigidCenter(), rigidCentre);
  EXPECT_EQ(body.getMobileCenter(), mobileCentre);
  expectSamePoints(body.Mobil_To_Ref(mobile), rigid, 1e-9);
  // A new mobile list, far from the first: only its own centre changes.
  const Points moved = transform(kIdentity, mobile, Coords(100, 0, -50));
  body.Load_Coords_To_Mobile(moved);
  EXPECT_NEAR(body.Calc_Rotation(-1.0), 0.0, 1e-6);
  EXPECT_EQ(body.getRigidCenter(), rigidCentre);
  expectSamePoints(body.Mobil_To_Ref(moved), rigid, 1e-9);
}

TEST(RigidBody, CollinearSetsStillGetAProperRotation) {
  const Points line = {{-1, -2, -3}, {0, 0, 0}, {1, 2, 3}, {2.5, 5, 7.5}};
  RigidBody same;
  EXPECT_NEAR(fit(same, line, line), 0.0, 1e-6);
  expectRotation(same.getRotation(), kIdentity, 1e-9);

  // Every turn about the line fits equally; any of them must carry the line onto its image.
  for (double angle : {0.3, 1.7, 3.0}) {
    const Points turned = transform(axisAngle(2, -1, 0.5, angle), line, Coords(3, 1, -4));
    RigidBody body;
    EXPECT_NEAR(fit(body, turned, line), 0.0, 1e-6);
    EXPECT_NEAR(det3(body.getRotation()), 1.0, 1e-12);
    expectSamePoints(body.Mobil_To_Ref(line), turned, 1e-9);
  }
}

TEST(RigidBody, TinyCoordinatesStillRotate) {
  // Coordinates in the hundredths: the adjoint falls under its absolute bound although the
  // eigenvalue is simple.
  std::mt19937 rng(12);
  const Points mobile = randomCloud(rng, 6, 0.05);
  const Mat3 turn = axisAngle(0.3, 1, -0.2, 2.2);
  const Points rigid = transform(turn, mobile, Coords(0.01, 0.02, 0.03));
  RigidBody body;
  EXPECT_NEAR(fit(body, rigid, mobile), 0.0, 1e-6);
  expectRotation(body.getRotation(), turn, 1e-6);
  expectSamePoints(body.Mobil_To_Ref(mobile), rigid, 1e-9);
}

TEST(RigidBody, TransformBeforeAnyFitIsIdentity) {
  const Points points = {{1, 2, 3}, {-4, 5, 6}};
  RigidBody body;
  expectSamePoints(body.Mobil_To_Ref(points), points, 0.0);
  expectSamePoints(body.Ref_To_Mobil(points), points, 0.0);
}

TEST(RigidBody, Mat3PrintWritesRowsToStdout) {
  RigidBody body;  // identity before any fit
  testing::internal::CaptureStdout();
  const std::string returned = body.Mat3Print();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            " [     1.00000000     0.00000000     0.00000000 ]\n"
            " [     0.00000000     1.00000000     0.00000000 ]\n"
            " [     0.00000000     0.00000000     1.00000000 ]\n");
  EXPECT_TRUE(returned.empty());
}

}  // namespace
}  // namespace VXMole
