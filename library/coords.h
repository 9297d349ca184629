// Coords: a 3-D Cartesian point or vector (ångström), with distances, angles and axis rotations.
#pragma once

#include <cmath>  // for std::sqrt in the inline distances
#include <string>
#include <type_traits>

namespace VXMole {

class Coords {
 public:
  double x, y, z;  // Cartesian components, in the units of the structure file

  Coords() : x(0.0), y(0.0), z(0.0) {}
  Coords(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}

  void swap(Coords& other) {
    Coords tmp = *this;
    *this = other;
    other = tmp;
  }

  // Component-wise arithmetic in place: *= and /= are not dot or cross products,
  // and /= does not check for a zero component.
  void operator+=(const Coords& p) {
    x += p.x;
    y += p.y;
    z += p.z;
  }
  void operator-=(const Coords& p) {
    x -= p.x;
    y -= p.y;
    z -= p.z;
  }
  void operator*=(const Coords& p) {
    x *= p.x;
    y *= p.y;
    z *= p.z;
  }
  void operator/=(const Coords& p) {
    x /= p.x;
    y /= p.y;
    z /= p.z;
  }

  // Exact comparison, no tolerance; a NaN component makes == false and != true.
  bool operator==(const Coords& p) const { return x == p.x && y == p.y && z == p.z; }
  bool operator!=(const Coords& p) const { return !(*this == p); }

  double calcDist(const Coords& p) const {
    const double dx = x - p.x;
    const double dy = y - p.y;
    const double dz = z - p.z;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
  }

  // Distance for callers that only care about pairs closer than `cutoff`: a pair whose
  // separation along one axis alone exceeds the cutoff returns the cutoff itself, skipping
  // the square root. The test is per axis (a box), so a pair inside the box may still
  // return a true distance of up to sqrt(3) times the cutoff.
  double calcDist(const Coords& p, double cutoff) const {
    const double dx = x - p.x;
    if (dx > cutoff || dx < -cutoff) return cutoff;
    const double dy = y - p.y;
    if (dy > cutoff || dy < -cutoff) return cutoff;
    const double dz = z - p.z;
    if (dz > cutoff || dz < -cutoff) return cutoff;
    return std::sqrt(dx * dx + dy * dy + dz * dz);
  }

  // Angle a-this-b in radians; NaN when a or b coincides with this point.
  double calcAngle(const Coords& a, const Coords& b) const;

  // Writes to *out the point one unit from this point along the normal (a-this) x (b-this)
  // of the plane (this, a, b): a point, not a direction. Collinear points give NaN.
  void getNormal(const Coords* a, const Coords* b, Coords* out) const;
  // The same with a and b as arrays of three doubles (x, y, z).
  void getNormal(const double* a, const double* b, Coords* out) const;

  // Right-handed rotations in place about an axis through the origin, angles in radians.
  void Rot_x(double angle);
  void Rot_y(double angle);
  void Rot_z(double angle);
  // Rot_x(ax), then Rot_y(ay), then Rot_z(az).
  void Rotate(double ax, double ay, double az);

  // Debug text: "Coords : (x= 1.5 ; y=-2 ; z=0.25) ; Address : 0x...\n".
  std::string toString() const;
};

static_assert(std::is_trivially_copyable_v<Coords> && sizeof(Coords) == 3 * sizeof(double),
              "Coords is copied by value in inner loops and must stay a plain triple of doubles");

}  // namespace VXMole
