// Coords: angles, plane normals, axis rotations and the debug text of a 3-D point.
#include "coords.h"

#include <algorithm>  // for std::clamp
#include <sstream>

namespace VXMole {

namespace {

// Sine and cosine of one angle in one call where the C library offers it.
inline void sinCos(double angle, double* s, double* c) {
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  ::sincos(angle, s, c);
#else
  *s = std::sin(angle);
  *c = std::cos(angle);
#endif
}

// Cross product (a - o) x (b - o).
inline Coords planeNormal(const Coords& o, double ax, double ay, double az, double bx, double by,
                          double bz) {
  const double ux = ax - o.x, uy = ay - o.y, uz = az - o.z;
  const double vx = bx - o.x, vy = by - o.y, vz = bz - o.z;
  return Coords(uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx);
}

inline void unitFrom(const Coords& o, const Coords& n, Coords* out) {
  const double len = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  *out = Coords(o.x + n.x / len, o.y + n.y / len, o.z + n.z / len);
}

}  // namespace

double Coords::calcAngle(const Coords& a, const Coords& b) const {
  const double ux = a.x - x, uy = a.y - y, uz = a.z - z;
  const double vx = b.x - x, vy = b.y - y, vz = b.z - z;
  const double cosine = (ux * vx + uy * vy + uz * vz) / (std::sqrt(ux * ux + uy * uy + uz * uz) *
                                                         std::sqrt(vx * vx + vy * vy + vz * vz));
  // Rounding can push the cosine of (anti)parallel directions just past +-1, where acos
  // would give NaN instead of 0 or pi. A zero-length direction stays NaN: clamp keeps NaN.
  return std::acos(std::clamp(cosine, -1.0, 1.0));
}

void Coords::getNormal(const Coords* a, const Coords* b, Coords* out) const {
  unitFrom(*this, planeNormal(*this, a->x, a->y, a->z, b->x, b->y, b->z), out);
}

void Coords::getNormal(const double* a, const double* b, Coords* out) const {
  unitFrom(*this, planeNormal(*this, a[0], a[1], a[2], b[0], b[1], b[2]), out);
}

void Coords::Rot_x(double angle) {
  double s, c;
  sinCos(angle, &s, &c);
  const double ny = c * y - s * z;
  z = s * y + c * z;
  y = ny;
}

void Coords::Rot_y(double angle) {
  double s, c;
  sinCos(angle, &s, &c);
  const double nx = c * x + s * z;
  z = c * z - s * x;
  x = nx;
}

void Coords::Rot_z(double angle) {
  double s, c;
  sinCos(angle, &s, &c);
  const double nx = c * x - s * y;
  y = s * x + c * y;
  x = nx;
}

void Coords::Rotate(double ax, double ay, double az) {
  Rot_x(ax);
  Rot_y(ay);
  Rot_z(az);
}

std::string Coords::toString() const {
  std::ostringstream out;
  out << "Coords : (x= " << x << " ; y=" << y << " ; z=" << z
      << ") ; Address : " << static_cast<const void*>(this) << "\n";
  return out.str();
}

}  // namespace VXMole
