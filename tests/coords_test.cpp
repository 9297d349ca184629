// Tests of Coords: bounded distance, angle, plane normal, axis rotations, comparison, text form.
#include "coords.h"

#include <gtest/gtest.h>

#include <cmath>

namespace VXMole {
namespace {

constexpr double kPi = 3.14159265358979323846;

void expectNear(const Coords& got, const Coords& want, double tol = 1e-12) {
  EXPECT_NEAR(got.x, want.x, tol);
  EXPECT_NEAR(got.y, want.y, tol);
  EXPECT_NEAR(got.z, want.z, tol);
}

TEST(Coords, BoundedDistanceIsABoxTest) {
  const Coords origin;
  // Far along one axis: the bound itself, not the true distance 3.
  EXPECT_EQ(origin.calcDist(Coords(3, 0, 0), 2.0), 2.0);
  EXPECT_EQ(origin.calcDist(Coords(0, 0, -3), 2.0), 2.0);
  // Inside the box but outside the sphere: the true distance, above the bound.
  EXPECT_NEAR(origin.calcDist(Coords(1.9, 1.9, 1.9), 2.0), std::sqrt(3 * 1.9 * 1.9), 1e-12);
  // A component exactly at the bound passes on to the full computation.
  EXPECT_NEAR(origin.calcDist(Coords(2.0, 1.0, 0.0), 2.0), std::sqrt(5.0), 1e-12);
  EXPECT_NEAR(origin.calcDist(Coords(-2.0, 0.0, 2.0), 2.0), std::sqrt(8.0), 1e-12);
  EXPECT_DOUBLE_EQ(Coords(1, 2, 3).calcDist(Coords(4, 6, 3)), 5.0);
}

TEST(Coords, AngleInRadiansAndNeverNaNForParallelDirections) {
  const Coords origin;
  EXPECT_NEAR(origin.calcAngle(Coords(1, 0, 0), Coords(0, 1, 0)), kPi / 2, 1e-12);
  // Rounding puts the cosine of these parallel directions at 1 + 2^-52, where acos alone
  // gives NaN.
  const Coords a(0.1, 0.5, 0.3);
  EXPECT_EQ(origin.calcAngle(a, Coords(3 * 0.1, 3 * 0.5, 3 * 0.3)), 0.0);
  EXPECT_EQ(origin.calcAngle(a, Coords(-3 * 0.1, -3 * 0.5, -3 * 0.3)), kPi);
  // A zero-length direction has no angle.
  EXPECT_TRUE(std::isnan(origin.calcAngle(origin, Coords(1, 0, 0))));
}

TEST(Coords, NormalIsAPointOneUnitFromThisPoint) {
  const Coords a(1, 0, 0), b(0, 1, 0);
  Coords out;
  Coords().getNormal(&a, &b, &out);
  expectNear(out, Coords(0, 0, 1));

  const Coords p(1, 1, 1), sa(2, 1, 1), sb(1, 2, 1);
  p.getNormal(&sa, &sb, &out);
  expectNear(out, Coords(1, 1, 2));
  // Swapping a and b flips the normal; the array form agrees.
  const double da[3] = {1, 2, 1}, db[3] = {2, 1, 1};
  p.getNormal(da, db, &out);
  expectNear(out, Coords(1, 1, 0));
}

TEST(Coords, AxisRotationsAreRightHanded) {
  Coords p(1, 0, 0);
  p.Rot_z(kPi / 2);
  expectNear(p, Coords(0, 1, 0));
  p = Coords(0, 1, 0);
  p.Rot_x(kPi / 2);
  expectNear(p, Coords(0, 0, 1));
  p = Coords(0, 0, 1);
  p.Rot_y(kPi / 2);
  expectNear(p, Coords(1, 0, 0));

  // Rotate applies x, then y, then z.
  Coords viaRotate(0.3, -1.2, 2.5), viaAxes(0.3, -1.2, 2.5), viaZ(0.3, -1.2, 2.5);
  viaRotate.Rotate(0.4, -0.7, 1.1);
  viaAxes.Rot_x(0.4);
  viaAxes.Rot_y(-0.7);
  viaAxes.Rot_z(1.1);
  EXPECT_EQ(viaRotate, viaAxes);
  viaRotate = Coords(0.3, -1.2, 2.5);
  viaRotate.Rotate(0, 0, 0.9);
  viaZ.Rot_z(0.9);
  expectNear(viaRotate, viaZ, 1e-15);
  EXPECT_NEAR(viaRotate.calcDist(Coords()), Coords(0.3, -1.2, 2.5).calcDist(Coords()), 1e-12);
}

TEST(Coords, ArithmeticIsComponentWiseAndComparisonExact) {
  Coords p(1, 2, 3);
  p += Coords(1, 1, 1);
  p -= Coords(0.5, 0.5, 0.5);
  p *= Coords(2, 3, 4);
  EXPECT_EQ(p, Coords(3, 7.5, 14));
  p /= Coords(3, 0.5, 0);
  EXPECT_EQ(p.x, 1.0);
  EXPECT_EQ(p.y, 15.0);
  EXPECT_TRUE(std::isinf(p.z));

  EXPECT_NE(Coords(0.1 + 0.2, 0, 0), Coords(0.3, 0, 0));
  const Coords withNaN(std::nan(""), 0, 0);
  EXPECT_FALSE(withNaN == withNaN);
  EXPECT_TRUE(withNaN != withNaN);

  Coords a(1, 2, 3), b(4, 5, 6);
  a.swap(b);
  EXPECT_EQ(a, Coords(4, 5, 6));
  EXPECT_EQ(b, Coords(1, 2, 3));
}

TEST(Coords, TextFormShowsComponentsAndAddress) {
  const Coords p(1.5, -2, 0.25);
  const std::string text = p.toString();
  const std::string prefix = "Coords : (x= 1.5 ; y=-2 ; z=0.25) ; Address : ";
  ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  EXPECT_GT(text.size(), prefix.size() + 1);
  EXPECT_EQ(text.back(), '\n');
}

}  // namespace
}  // namespace VXMole
