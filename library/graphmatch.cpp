// GraphMatch: the heavy-atom bond graph, colour refinement into symmetry classes, and the
// branch-and-bound search for the isomorphism of lowest RMSD.
//
// The fitted bound rests on QCP (Theobald 2005; Liu, Agrafiotis and Theobald 2010): the least
// sum of squared deviations of pairs (r_i, c_i) turned by the best rotation is
// G - 2 lambda_max(K), G the sum of their squared norms and K the 4x4 key matrix of their inner
// products, whose quadratic form q^T K q is sum r_i . R(q) c_i for a unit quaternion q.
#include "graphmatch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <queue>
#include <sstream>
#include <tuple>
#include <unordered_map>
#include <utility>

#include "atome.h"
#include "molecule.h"
#include "rigidbody.h"
#include "tables.h"

namespace VXMole {

namespace {

constexpr unsigned kNone = std::numeric_limits<unsigned>::max();

// The texts of a result that maps nothing.
constexpr const char* kTextNotIsomorphic = "the heavy-atom bond graphs are not isomorphic";
constexpr const char* kTextNoBonds = "the heavy-atom bond graph cannot pair the atoms";
constexpr const char* kTextNoHeavyAtoms = "there is no heavy atom to pair";
constexpr const char* kTextStopped = "the graph search stopped at its bound before any mapping";
constexpr const char* kTextNoMapping = "no one-to-one mapping of the heavy atoms keeps every bond";
constexpr const char* kTextNoMappingYet = "no mapping found within the bound of the search";

// Improvements of the sum of squared deviations smaller than this share of the squared
// norms of both molecules (about their barycentres) are rounding: a mapping must beat the best
// one by more to replace it, so that the molecule's exact symmetries are pruned as ties.
constexpr double kRelativeTie = 1e-11;
constexpr int kMaxNewtonSteps = 50;
constexpr double kNewtonPrecision = 1e-14;
constexpr int kMaxJacobiSweeps = 30;

// Work, in units of some 10 ns: each candidate listed, each bound computed (Newton's method on
// the quartic), each cone bound (the eigensystem of K) besides one unit per candidate it weighs.
constexpr uint64_t kWorkListed = 1;
constexpr uint64_t kWorkBound = 8;
constexpr uint64_t kWorkCone = 50;

// The cone bound splits the rotations about the pairs' best one by s = sin(theta), theta the
// angle between their unit quaternions, at these values.
constexpr double kConeSteps[] = {0.0, 1.0 / 64, 1.0 / 32, 1.0 / 16, 1.0 / 8, 1.0 / 4, 1.0 / 2, 1.0};

// "name (map number)", then " of RES (chain-number)" for an atom of a residue read from the
// file (not the molecule's default one).
std::string identify(const Atom& atom) {
  const Molecule* parent = atom.getParent();
  if (atom.getResidu() == nullptr ||
      (parent != nullptr && atom.getResidu() == parent->getDefaultResidu()))
    return atom.getName() + " (" + std::to_string(atom.getMapNum()) + ")";
  return atom.getIdentifier();
}

// "1 bond", "2 bonds".
std::string counted(size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::string symbolOf(unsigned z) {
  if (z < 1 || z > ATOM_DATA_SIZE) return "?";
  return AtomData[z - 1].symbol;
}

double squaredNorm(const Coords& p) {
  return p.x * p.x + p.y * p.y + p.z * p.z;
}

double squaredDistance(const Coords& a, const Coords& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
}

// ---- QCP pieces --------------------------------------------------------------------------

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
    G += squaredNorm(r) + squaredNorm(c);
  }
};

// The key matrix, laid out as RigidBody lays it, so that its top eigenvector turns the
// comparison onto the reference by RigidBody's formula (rotationOf).
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
double largestEigenvalue(const double* S, double start, double E0) {
  const double Sxx = S[0], Sxy = S[1], Sxz = S[2], Syx = S[3], Syy = S[4], Syz = S[5];
  const double Szx = S[6], Szy = S[7], Szz = S[8];
  const double Sxx2 = Sxx * Sxx, Syy2 = Syy * Syy, Szz2 = Szz * Szz;
  const double Sxy2 = Sxy * Sxy, Syz2 = Syz * Syz, Sxz2 = Sxz * Sxz;
  const double Syx2 = Syx * Syx, Szy2 = Szy * Szy, Szx2 = Szx * Szx;
  const double SyzSzymSyySzz2 = 2.0 * (Syz * Szy - Syy * Szz);
  const double Sxx2Syy2Szz2Syz2Szy2 = Syy2 + Szz2 - Sxx2 + Syz2 + Szy2;
  const double C2 = -2.0 * (Sxx2 + Syy2 + Szz2 + Sxy2 + Syx2 + Sxz2 + Szx2 + Syz2 + Szy2);
  const double C1 = 8.0 * (Sxx * Syz * Szy + Syy * Szx * Sxz + Szz * Sxy * Syx - Sxx * Syy * Szz -
                           Syz * Szx * Sxy - Szy * Syx * Sxz);
  const double SxzpSzx = Sxz + Szx, SyzpSzy = Syz + Szy, SxypSyx = Sxy + Syx;
  const double SyzmSzy = Syz - Szy, SxzmSzx = Sxz - Szx, SxymSyx = Sxy - Syx;
  const double SxxpSyy = Sxx + Syy, SxxmSyy = Sxx - Syy;
  const double Sxy2Sxz2Syx2Szx2 = Sxy2 + Sxz2 - Syx2 - Szx2;
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

// Eigenvalues of a symmetric 4x4 matrix by cyclic Jacobi rotations, largest first, with the
// eigenvector of the largest.
void eigenSystem(const double K[4][4], double values[4], double top[4]) {
  double a[4][4], v[4][4];
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
    if (off <= 1e-32 * diag || off == 0.0) break;
    for (int p = 0; p < 3; ++p)
      for (int r = p + 1; r < 4; ++r) {
        if (a[p][r] == 0.0) continue;
        const double theta = (a[r][r] - a[p][p]) / (2.0 * a[p][r]);
        const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::hypot(theta, 1.0));
        const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
        for (int k = 0; k < 4; ++k) {
          const double akp = a[k][p], akr = a[k][r];
          a[k][p] = c * akp - s * akr;
          a[k][r] = s * akp + c * akr;
          const double vkp = v[k][p], vkr = v[k][r];
          v[k][p] = c * vkp - s * vkr;
          v[k][r] = s * vkp + c * vkr;
        }
        for (int k = 0; k < 4; ++k) {
          const double apk = a[p][k], ark = a[r][k];
          a[p][k] = c * apk - s * ark;
          a[r][k] = s * apk + c * ark;
        }
      }
  }
  int order[4] = {0, 1, 2, 3};
  std::sort(order, order + 4, [&a](int i, int j) { return a[i][i] > a[j][j]; });
  for (int i = 0; i < 4; ++i) values[i] = a[order[i]][order[i]];
  for (int j = 0; j < 4; ++j) top[j] = v[j][order[0]];
}

// The rotation of a unit quaternion, by RigidBody's formula: R c' is the comparison point c'
// turned onto the reference.
void rotationOf(const double q[4], double R[9]) {
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

// The least-cost assignment of k rows to k columns (cost[k * row + column]) by the Hungarian
// method with potentials, in O(k^3); sets columnOf[row] and returns the total cost.
double assignment(const std::vector<double>& cost, size_t k, std::vector<unsigned>& columnOf) {
  const double inf = std::numeric_limits<double>::infinity();
  std::vector<double> u(k + 1, 0), v(k + 1, 0), least(k + 1);
  std::vector<size_t> rowOf(k + 1, 0), way(k + 1, 0);  // 1-based; rowOf[0] the row being added
  std::vector<bool> used(k + 1);
  for (size_t row = 1; row <= k; ++row) {
    rowOf[0] = row;
    size_t column = 0;
    std::fill(least.begin(), least.end(), inf);
    std::fill(used.begin(), used.end(), false);
    do {
      used[column] = true;
      const size_t r = rowOf[column];
      double delta = inf;
      size_t next = 0;
      for (size_t j = 1; j <= k; ++j) {
        if (used[j]) continue;
        const double reduced = cost[k * (r - 1) + (j - 1)] - u[r] - v[j];
        if (reduced < least[j]) {
          least[j] = reduced;
          way[j] = column;
        }
        if (least[j] < delta) {
          delta = least[j];
          next = j;
        }
      }
      if (next == 0) return inf;  // costs that are not finite
      for (size_t j = 0; j <= k; ++j) {
        if (used[j]) {
          u[rowOf[j]] += delta;
          v[j] -= delta;
        } else {
          least[j] -= delta;
        }
      }
      column = next;
    } while (rowOf[column] != 0);
    do {
      const size_t previous = way[column];
      rowOf[column] = rowOf[previous];
      column = previous;
    } while (column != 0);
  }
  columnOf.assign(k, 0);
  double total = 0;
  for (size_t j = 1; j <= k; ++j) {
    columnOf[rowOf[j] - 1] = static_cast<unsigned>(j - 1);
    total += cost[k * (rowOf[j] - 1) + (j - 1)];
  }
  return total;
}

// ---- Symmetry classes --------------------------------------------------------------------

// Colour refinement over both graphs at once, so that equal colours mean the same
// surroundings in either: first element and degree, then, round after round, the colour with
// the sorted colours of the neighbours, until no class splits. Colours are numbered in the
// order of their descriptions, the same for the same pair of graphs.
class Refinement {
 public:
  Refinement(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison)
      : reference_(reference), comparison_(comparison) {}

  // Refines until stable; false, with `difference` set, as soon as a class holds different
  // numbers of reference and comparison atoms.
  bool run(std::string& difference, uint64_t& work);

  const std::vector<unsigned>& referenceColours() const { return colours_[0]; }
  const std::vector<unsigned>& comparisonColours() const { return colours_[1]; }

 private:
  // Numbers the descriptions of both graphs' atoms; returns the count of colours.
  unsigned number(const std::vector<std::vector<unsigned>> (&descriptions)[2]);
  // The first reference atom, in molecule order, whose class has more reference atoms than
  // comparison atoms; kNone when every class is balanced.
  unsigned unbalanced(unsigned colours, std::vector<long>& excess) const;

  const HeavyAtomGraph& reference_;
  const HeavyAtomGraph& comparison_;
  std::vector<unsigned> colours_[2];
};

unsigned Refinement::number(const std::vector<std::vector<unsigned>> (&descriptions)[2]) {
  std::map<std::vector<unsigned>, unsigned> numbers;
  for (const auto& side : descriptions)
    for (const auto& description : side) numbers.emplace(description, 0);
  unsigned next = 0;
  for (auto& entry : numbers) entry.second = next++;
  for (int side = 0; side < 2; ++side) {
    colours_[side].resize(descriptions[side].size());
    for (size_t v = 0; v < descriptions[side].size(); ++v)
      colours_[side][v] = numbers[descriptions[side][v]];
  }
  return next;
}

unsigned Refinement::unbalanced(unsigned colours, std::vector<long>& excess) const {
  excess.assign(colours, 0);
  for (unsigned c : colours_[0]) ++excess[c];
  for (unsigned c : colours_[1]) --excess[c];
  for (unsigned v = 0; v < colours_[0].size(); ++v)
    if (excess[colours_[0][v]] > 0) return v;
  return kNone;
}

bool Refinement::run(std::string& difference, uint64_t& work) {
  const HeavyAtomGraph* graphs[2] = {&reference_, &comparison_};
  std::vector<std::vector<unsigned>> descriptions[2];
  for (int side = 0; side < 2; ++side) {
    const HeavyAtomGraph& g = *graphs[side];
    descriptions[side].resize(g.size());
    for (unsigned v = 0; v < g.size(); ++v) descriptions[side][v] = {g.element(v), g.degree(v)};
  }
  unsigned colours = number(descriptions);
  std::vector<long> excess;
  unsigned v = unbalanced(colours, excess);
  if (v != kNone) {
    const long count =
        static_cast<long>(std::count(colours_[0].begin(), colours_[0].end(), colours_[0][v]));
    std::ostringstream text;
    text << symbolOf(reference_.element(v)) << " atoms with " << reference_.degree(v)
         << " bonded heavy atoms: " << count << " in the reference, "
         << count - excess[colours_[0][v]] << " in the comparison";
    difference = text.str();
    return false;
  }
  for (unsigned round = 1;; ++round) {
    for (int side = 0; side < 2; ++side) {
      const HeavyAtomGraph& g = *graphs[side];
      for (unsigned w = 0; w < g.size(); ++w) {
        std::vector<unsigned>& d = descriptions[side][w];
        d.assign(1, colours_[side][w]);
        for (unsigned k = 0; k < g.degree(w); ++k) d.push_back(colours_[side][g.neighbours(w)[k]]);
        std::sort(d.begin() + 1, d.end());
        work += 1 + g.degree(w);
      }
    }
    const unsigned before = colours;
    colours = number(descriptions);
    v = unbalanced(colours, excess);
    if (v != kNone) {
      const long count =
          static_cast<long>(std::count(colours_[0].begin(), colours_[0].end(), colours_[0][v]));
      std::ostringstream text;
      text << "atoms with the bonded surroundings of reference atom "
           << identify(reference_.atom(v)) << ", up to " << round
           << (round == 1 ? " bond" : " bonds") << " away: " << count << " in the reference, "
           << count - excess[colours_[0][v]] << " in the comparison";
      difference = text.str();
      return false;
    }
    if (colours == before) return true;
  }
}

// ---- The search ----------------------------------------------------------------------------

// Depth first over the reference atoms in a fixed order, each paired in turn with the
// comparison atoms that can take it, in order of the bound of the branch.
class Search {
 public:
  Search(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison,
         const std::vector<unsigned>& referenceColours,
         const std::vector<unsigned>& comparisonColours, GraphRmsd kind, uint64_t workLimit,
         uint64_t workDone);

  // Searches; the best mapping (reference vertex -> comparison vertex) is empty when none was
  // found.
  void run();
  const std::vector<unsigned>& best() const { return bestMapping_; }
  bool stopped() const { return stopped_; }
  uint64_t work() const { return work_; }

 private:
  struct Candidate {
    double bound;    // lower bound of the sum of squared deviations of the branch
    double partial;  // the pairs made, this one included: in place their sum, fitted lambda
    unsigned atom;   // comparison vertex
  };
  struct Level {
    std::vector<Candidate> candidates;  // ascending bound
    size_t next = 0;
    PairSums sums;       // fitted: the pairs up to this level's, included
    double partial = 0;  // in place: their sum of squared distances; fitted: lambda_max
  };

  // The leaves of one reference parent, or the lone atoms, of one class: they may be paired
  // with the free comparison atoms of that class bonded to the parent's partner (or lone) in
  // any order.
  struct Group {
    unsigned parent;  // reference vertex, kNone for lone atoms
    unsigned colour;
    std::vector<unsigned> members;  // reference vertices
  };

  // Depth first over every atom, or over the core atoms only, each core mapping then given its
  // seeded leaves.
  void search(bool coreOnly);
  void placeCoordinates();
  void orderAtoms();
  // The comparison atoms a group may take, the core being paired.
  void groupCandidates(const Group& group, std::vector<unsigned>& out) const;
  // Pairs the leaves of every group at the least total squared distance to the comparison
  // leaves turned by R (null: as they stand), by optimal assignment; returns that total.
  double placeLeaves(const double* R);
  void clearLeaves();
  // The core being paired, fitted: turns the leaves by the best rotation, places them, refits
  // and places again until the mapping holds; offers each full mapping.
  void seedLeaves(size_t depth);
  // Offers the current full mapping of sum of squared deviations `ssd`.
  void offer(double ssd);
  void staticBounds();
  // Lists the candidates of the atom at `depth`, with their bounds.
  void expand(size_t depth);
  bool admissible(size_t depth, unsigned c) const;
  // The bound of the pairs up to `depth` turned within cones about their best rotation, the
  // atoms left taking their nearest free candidates. Fitted only, with three pairs or more.
  double coneBound(size_t depth);

  const HeavyAtomGraph& reference_;
  const HeavyAtomGraph& comparison_;
  const std::vector<unsigned>& refColours_;
  const std::vector<unsigned>& compColours_;
  const GraphRmsd kind_;
  const uint64_t workLimit_;
  const size_t n_;
  size_t coreSize_ = 0;  // depths [0, coreSize_) hold the atoms that are not leaves
  std::vector<Group> groups_;

  std::vector<Coords> r_, c_;  // fitted: about each molecule's barycentre; in place: as read
  std::vector<double> cNorm_;  // fitted: |c_w|
  std::vector<std::vector<unsigned>> members_;  // colour -> comparison vertices, ascending
  std::vector<unsigned> order_;                 // depth -> reference vertex
  std::vector<unsigned> anchor_;  // depth -> an earlier bonded reference vertex, or kNone
  std::vector<std::vector<unsigned>> earlier_;  // depth -> the earlier bonded reference vertices
  std::vector<double> atomBound_;  // reference vertex -> least it can add, from its class
  std::vector<double> restBound_;  // depth -> sum of atomBound_ over depths from it on
  double tie_ = 0;                 // improvements below this are rounding

  std::vector<Level> levels_;
  std::vector<unsigned> mapping_;  // reference vertex -> comparison vertex, kNone
  std::vector<unsigned> usedBy_;   // comparison vertex -> reference vertex, kNone
  std::vector<unsigned> bestMapping_;
  double best_ = std::numeric_limits<double>::infinity();
  struct ConeEntry {
    double distance;  // |r - R c|; NaN ends an atom's candidates
    double radial;    // (|r| - |c|)^2
    double norm;      // |c|
  };
  std::vector<ConeEntry> cone_;  // scratch of the cone bound
  std::vector<unsigned> scratch_;
  uint64_t work_;
  bool stopped_ = false;
};

Search::Search(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison,
               const std::vector<unsigned>& referenceColours,
               const std::vector<unsigned>& comparisonColours, GraphRmsd kind, uint64_t workLimit,
               uint64_t workDone)
    : reference_(reference),
      comparison_(comparison),
      refColours_(referenceColours),
      compColours_(comparisonColours),
      kind_(kind),
      workLimit_(workLimit),
      n_(reference.size()),
      work_(workDone) {
  unsigned colours = 0;
  for (unsigned c : compColours_) colours = std::max(colours, c + 1);
  members_.resize(colours);
  for (unsigned w = 0; w < comparison_.size(); ++w) members_[compColours_[w]].push_back(w);
  placeCoordinates();
  orderAtoms();
  staticBounds();
}

void Search::placeCoordinates() {
  r_.resize(n_);
  c_.resize(n_);
  for (unsigned v = 0; v < n_; ++v) {
    r_[v] = reference_.position(v);
    c_[v] = comparison_.position(v);
  }
  // Barycentres: every full mapping's fit brings them together; the tie scale is taken about
  // them in either kind.
  Coords rMean, cMean;
  for (unsigned v = 0; v < n_; ++v) {
    rMean += r_[v];
    cMean += c_[v];
  }
  const double n = static_cast<double>(n_);
  rMean = Coords(rMean.x / n, rMean.y / n, rMean.z / n);
  cMean = Coords(cMean.x / n, cMean.y / n, cMean.z / n);
  double scale = 0;
  cNorm_.resize(n_);
  for (unsigned v = 0; v < n_; ++v) {
    scale += squaredDistance(r_[v], rMean) + squaredDistance(c_[v], cMean);
    if (kind_ == GraphRmsd::kFitted) {
      r_[v] -= rMean;
      c_[v] -= cMean;
      cNorm_[v] = std::sqrt(squaredNorm(c_[v]));
    }
  }
  tie_ = kRelativeTie * (1.0 + scale);
}

// Most constrained first: the atom with the most bonds to atoms already placed, then of the
// smallest class, then of the highest degree, then the first in molecule order. Each connected
// component is so walked from its most distinctive atom outwards.
void Search::orderAtoms() {
  std::vector<unsigned> classSize(members_.size(), 0);
  for (unsigned c : refColours_) ++classSize[c];
  std::vector<unsigned> placed(n_, 0);  // bonds to atoms already placed
  std::vector<bool> done(n_, false);
  // Leaves and lone atoms come after every other atom, each leaf after its parent.
  std::vector<bool> leaf(n_, false);
  for (unsigned v = 0; v < n_; ++v)
    leaf[v] = reference_.degree(v) == 0 ||
              (reference_.degree(v) == 1 && reference_.degree(reference_.neighbours(v)[0]) > 1);
  using Key = std::tuple<bool, int, unsigned, int, unsigned>;  // smallest first
  auto key = [&](unsigned v) {
    return Key{leaf[v], -static_cast<int>(placed[v]), classSize[refColours_[v]],
               -static_cast<int>(reference_.degree(v)), v};
  };
  std::priority_queue<Key, std::vector<Key>, std::greater<Key>> queue;
  for (unsigned v = 0; v < n_; ++v) queue.push(key(v));
  std::vector<unsigned> depthOf(n_, kNone);
  while (!queue.empty()) {
    const Key top = queue.top();
    queue.pop();
    const unsigned v = std::get<4>(top);
    if (done[v] || top != key(v)) continue;  // placed already, or a stale entry
    if (!leaf[v]) coreSize_ = order_.size() + 1;
    done[v] = true;
    depthOf[v] = static_cast<unsigned>(order_.size());
    order_.push_back(v);
    for (unsigned k = 0; k < reference_.degree(v); ++k) {
      const unsigned w = reference_.neighbours(v)[k];
      if (done[w]) continue;
      ++placed[w];
      queue.push(key(w));
    }
  }
  anchor_.assign(n_, kNone);
  earlier_.assign(n_, {});
  for (size_t d = 0; d < n_; ++d) {
    const unsigned v = order_[d];
    for (unsigned k = 0; k < reference_.degree(v); ++k) {
      const unsigned w = reference_.neighbours(v)[k];
      if (depthOf[w] < d) {
        earlier_[d].push_back(w);
        if (anchor_[d] == kNone || depthOf[w] < depthOf[anchor_[d]]) anchor_[d] = w;
      }
    }
  }
  // The leaves of one parent (or the lone atoms) of one class form a group, in order.
  std::map<std::pair<unsigned, unsigned>, size_t> groupOf;  // (parent, colour) -> group
  for (size_t d = coreSize_; d < n_; ++d) {
    const unsigned v = order_[d];
    const unsigned parent = reference_.degree(v) == 0 ? kNone : reference_.neighbours(v)[0];
    const auto at = groupOf.emplace(std::make_pair(parent, refColours_[v]), groups_.size());
    if (at.second) groups_.push_back(Group{parent, refColours_[v], {}});
    groups_[at.first->second].members.push_back(v);
  }
}

// What each reference atom adds at least, whichever of its class it is paired with: in place
// the squared distance to the nearest; fitted, since the fit turns the comparison about its
// barycentre onto the reference's, the squared difference of their distances to them.
void Search::staticBounds() {
  atomBound_.assign(n_, 0);
  for (unsigned v = 0; v < n_; ++v) {
    double least = std::numeric_limits<double>::infinity();
    for (unsigned w : members_[refColours_[v]]) {
      double d;
      if (kind_ == GraphRmsd::kInPlace) {
        d = squaredDistance(r_[v], c_[w]);
      } else {
        const double gap = std::sqrt(squaredNorm(r_[v])) - cNorm_[w];
        d = gap * gap;
      }
      least = std::min(least, d);
    }
    atomBound_[v] = least;
  }
  restBound_.assign(n_ + 1, 0);
  for (size_t d = n_; d-- > 0;) restBound_[d] = restBound_[d + 1] + atomBound_[order_[d]];
}

bool Search::admissible(size_t depth, unsigned c) const {
  if (usedBy_[c] != kNone || compColours_[c] != refColours_[order_[depth]]) return false;
  // The bonds to atoms already paired map onto bonds, and no other bond is made.
  for (unsigned w : earlier_[depth])
    if (!comparison_.bonded(mapping_[w], c)) return false;
  unsigned pairedNeighbours = 0;
  for (unsigned k = 0; k < comparison_.degree(c); ++k)
    if (usedBy_[comparison_.neighbours(c)[k]] != kNone) ++pairedNeighbours;
  return pairedNeighbours == earlier_[depth].size();
}

void Search::expand(size_t depth) {
  Level& level = levels_[depth];
  level.candidates.clear();
  level.next = 0;
  const unsigned v = order_[depth];
  const unsigned* from;
  size_t count;
  if (anchor_[depth] != kNone) {
    const unsigned image = mapping_[anchor_[depth]];
    from = comparison_.neighbours(image);
    count = comparison_.degree(image);
  } else {
    const std::vector<unsigned>& members = members_[refColours_[v]];
    from = members.data();
    count = members.size();
  }
  work_ += kWorkListed * count;
  for (size_t k = 0; k < count; ++k) {
    const unsigned c = from[k];
    if (!admissible(depth, c)) continue;
    work_ += kWorkBound;
    Candidate candidate;
    candidate.atom = c;
    if (kind_ == GraphRmsd::kInPlace) {
      candidate.partial =
          (depth == 0 ? 0.0 : levels_[depth - 1].partial) + squaredDistance(r_[v], c_[c]);
      candidate.bound = candidate.partial + restBound_[depth + 1];
    } else {
      PairSums sums = depth == 0 ? PairSums() : levels_[depth - 1].sums;
      sums.add(r_[v], c_[c]);
      // Adding a pair raises the largest eigenvalue by at most |r||c|, the pair's own.
      const double parent = depth == 0 ? 0.0 : levels_[depth - 1].partial;
      const double start =
          std::min(0.5 * sums.G, parent + std::sqrt(squaredNorm(r_[v])) * cNorm_[c]);
      candidate.partial = largestEigenvalue(sums.S, start, 0.5 * sums.G);
      candidate.bound = std::max(0.0, sums.G - 2.0 * candidate.partial) + restBound_[depth + 1];
    }
    level.candidates.push_back(candidate);
  }
  std::sort(level.candidates.begin(), level.candidates.end(),
            [](const Candidate& a, const Candidate& b) {
              return a.bound < b.bound || (a.bound == b.bound && a.atom < b.atom);
            });
  if (work_ > workLimit_) stopped_ = true;
}

void Search::groupCandidates(const Group& group, std::vector<unsigned>& out) const {
  out.clear();
  if (group.parent == kNone) {
    for (unsigned w : members_[group.colour])
      if (usedBy_[w] == kNone) out.push_back(w);
    return;
  }
  const unsigned image = mapping_[group.parent];
  for (unsigned k = 0; k < comparison_.degree(image); ++k) {
    const unsigned w = comparison_.neighbours(image)[k];
    if (usedBy_[w] == kNone && compColours_[w] == group.colour) out.push_back(w);
  }
}

double Search::placeLeaves(const double* R) {
  double total = 0;
  std::vector<unsigned> free, columnOf;
  std::vector<double> cost;
  for (const Group& group : groups_) {
    groupCandidates(group, free);
    const size_t k = group.members.size();
    if (free.size() != k) return std::numeric_limits<double>::infinity();
    cost.resize(k * k);
    for (size_t j = 0; j < k; ++j) {
      Coords c = c_[free[j]];
      if (R != nullptr)
        c = Coords(R[0] * c.x + R[1] * c.y + R[2] * c.z, R[3] * c.x + R[4] * c.y + R[5] * c.z,
                   R[6] * c.x + R[7] * c.y + R[8] * c.z);
      for (size_t i = 0; i < k; ++i) cost[k * i + j] = squaredDistance(r_[group.members[i]], c);
    }
    work_ += kWorkListed * k * k * (k + 1);
    total += assignment(cost, k, columnOf);
    for (size_t i = 0; i < k; ++i) {
      mapping_[group.members[i]] = free[columnOf[i]];
      usedBy_[free[columnOf[i]]] = group.members[i];
    }
  }
  return total;
}

void Search::clearLeaves() {
  for (size_t d = coreSize_; d < n_; ++d) {
    const unsigned v = order_[d];
    if (mapping_[v] == kNone) continue;
    usedBy_[mapping_[v]] = kNone;
    mapping_[v] = kNone;
  }
}

void Search::offer(double ssd) {
  if (ssd < best_ - tie_) {
    best_ = ssd;
    bestMapping_ = mapping_;
  }
}

void Search::seedLeaves(size_t depth) {
  constexpr int kMaxRounds = 10;
  const PairSums& core = levels_[depth].sums;
  double K[4][4], values[4], q[4], R[9];
  keyMatrix(core.S, K);
  eigenSystem(K, values, q);
  rotationOf(q, R);
  std::vector<unsigned> previous, images;
  for (int round = 0; round < kMaxRounds; ++round) {
    work_ += kWorkCone;
    if (!std::isfinite(placeLeaves(R))) break;
    PairSums all = core;
    images.clear();
    for (size_t d = coreSize_; d < n_; ++d) {
      const unsigned v = order_[d];
      all.add(r_[v], c_[mapping_[v]]);
      images.push_back(mapping_[v]);
    }
    offer(std::max(0.0, all.G - 2.0 * largestEigenvalue(all.S, 0.5 * all.G, 0.5 * all.G)));
    if (images == previous) break;
    previous = images;
    keyMatrix(all.S, K);
    eigenSystem(K, values, q);
    rotationOf(q, R);
    clearLeaves();
  }
  clearLeaves();
}

// For a turn R(q) whose quaternion lies at angle theta from the pairs' best q1, with
// s = sin(theta): the pairs made deviate by at least their least sum plus 2 (l1 - l2) s^2
// (l1 > l2 the two largest eigenvalues of K), and a comparison point c lies within 2 |c| s of
// R(q1) c. Over each band of s between two steps the smaller s bounds the first term and the
// larger the second; the bound is the least over the bands. Each atom left adds the least, over
// its free candidates, of the larger of this and the difference of barycentre distances.
double Search::coneBound(size_t depth) {
  const Level& level = levels_[depth];
  double K[4][4];
  keyMatrix(level.sums.S, K);
  double values[4], q[4];
  eigenSystem(K, values, q);
  const double made = std::max(0.0, level.sums.G - 2.0 * values[0]);
  const double gap = std::max(0.0, values[0] - values[1]);
  double R[9];
  rotationOf(q, R);

  // Each atom's free candidates, one after another, each an entry (distance from the atom to
  // the candidate turned by R, squared difference of barycentre distances, |c|); an entry of
  // NaN distance ends an atom's list. A leaf whose parent is paired may only take a leaf of the
  // parent's partner.
  cone_.clear();
  work_ += kWorkCone;
  std::vector<unsigned>& free = scratch_;
  for (size_t d = depth + 1; d < n_; ++d) {
    const unsigned v = order_[d];
    const unsigned parent =
        d >= coreSize_ && reference_.degree(v) == 1 ? reference_.neighbours(v)[0] : kNone;
    if (parent != kNone && mapping_[parent] != kNone) {
      groupCandidates(Group{parent, refColours_[v], {}}, free);
    } else {
      free.clear();
      for (unsigned w : members_[refColours_[v]])
        if (usedBy_[w] == kNone) free.push_back(w);
    }
    const double rNorm = std::sqrt(squaredNorm(r_[v]));
    for (unsigned w : free) {
      const Coords& c = c_[w];
      const Coords turned(R[0] * c.x + R[1] * c.y + R[2] * c.z,
                          R[3] * c.x + R[4] * c.y + R[5] * c.z,
                          R[6] * c.x + R[7] * c.y + R[8] * c.z);
      const double radial = rNorm - cNorm_[w];
      cone_.push_back({std::sqrt(squaredDistance(r_[v], turned)), radial * radial, cNorm_[w]});
    }
    work_ += free.size();
    cone_.push_back({std::numeric_limits<double>::quiet_NaN(), 0, 0});
  }
  if (work_ > workLimit_) stopped_ = true;

  double least = std::numeric_limits<double>::infinity();
  constexpr size_t kBands = std::size(kConeSteps) - 1;
  for (size_t band = 0; band < kBands; ++band) {
    const double inner = kConeSteps[band], outer = kConeSteps[band + 1];
    double total = made + 2.0 * gap * inner * inner;
    double atom = std::numeric_limits<double>::infinity();
    for (const ConeEntry& entry : cone_) {
      if (std::isnan(entry.distance)) {
        total += atom;
        if (!(total < least)) break;
        atom = std::numeric_limits<double>::infinity();
        continue;
      }
      const double reach = std::max(0.0, entry.distance - 2.0 * entry.norm * outer);
      atom = std::min(atom, std::max(entry.radial, reach * reach));
    }
    least = std::min(least, total);
    if (least < best_ - tie_) return least;
  }
  return least;
}

// Fitted, the leaves are searched only once every core mapping has been seeded with its best
// leaves (seedLeaves): a first full mapping from a wrong core would bound the search too
// loosely for its leaves' many combinations.
void Search::run() {
  mapping_.assign(n_, kNone);
  usedBy_.assign(comparison_.size(), kNone);
  if (n_ == 0) return;
  const bool leaves = coreSize_ > 0 && coreSize_ < n_;
  if (kind_ == GraphRmsd::kFitted && leaves) search(true);
  search(false);
}

void Search::search(bool coreOnly) {
  const size_t last = coreOnly ? coreSize_ : n_;  // depths searched: [0, last)
  levels_.assign(n_, Level());
  size_t depth = 0;
  expand(0);
  while (true) {
    Level& level = levels_[depth];
    const unsigned v = order_[depth];
    if (mapping_[v] != kNone) {
      usedBy_[mapping_[v]] = kNone;
      mapping_[v] = kNone;
    }
    if (stopped_ || level.next == level.candidates.size()) {
      if (depth == 0) break;
      --depth;
      continue;
    }
    const Candidate candidate = level.candidates[level.next++];
    if (candidate.bound >= best_ - tie_) {  // so is every later one
      level.next = level.candidates.size();
      continue;
    }
    mapping_[v] = candidate.atom;
    usedBy_[candidate.atom] = v;
    level.partial = candidate.partial;
    if (kind_ == GraphRmsd::kFitted) {
      level.sums = depth == 0 ? PairSums() : levels_[depth - 1].sums;
      level.sums.add(r_[v], c_[candidate.atom]);
    }
    if (depth + 1 == n_) {  // a full mapping: its bound is its sum of squared deviations
      offer(candidate.bound);
      continue;
    }
    if (depth + 1 == coreSize_) {
      if (kind_ == GraphRmsd::kInPlace) {  // each leaf group's best places are independent
        offer(candidate.partial + placeLeaves(nullptr));
        clearLeaves();
        continue;
      }
      if (coreOnly) {
        seedLeaves(depth);
        continue;
      }
    }
    if (depth + 1 == last) continue;
    // Where the atom had a choice, the rotation may now hold the atoms left to few places.
    if (kind_ == GraphRmsd::kFitted && depth >= 2 && level.candidates.size() > 1 &&
        best_ < std::numeric_limits<double>::infinity() && coneBound(depth) >= best_ - tie_)
      continue;
    ++depth;
    expand(depth);
  }
}

}  // namespace

// ---- HeavyAtomGraph ------------------------------------------------------------------------

HeavyAtomGraph::HeavyAtomGraph(const Molecule& molecule) {
  std::unordered_map<const Atom*, unsigned> index;
  for (size_t i = 0; i < molecule.numAtoms(); ++i) {
    const Atom& atom = molecule.atom(i);
    if (atom.isHydrogen() || atom.excluded) continue;
    index.emplace(&atom, static_cast<unsigned>(atoms_.size()));
    atoms_.push_back(&atom);
  }
  std::vector<std::pair<unsigned, unsigned>> ends;
  for (size_t b = 0; b < molecule.numBonds(); ++b) {
    const Bond& bond = molecule.bond(b);
    const auto first = index.find(bond.getFirst()), second = index.find(bond.getSecond());
    if (first == index.end() || second == index.end() || first->second == second->second) continue;
    ends.emplace_back(first->second, second->second);
    ends.emplace_back(second->second, first->second);
  }
  // A bond given twice is one bond.
  std::sort(ends.begin(), ends.end());
  ends.erase(std::unique(ends.begin(), ends.end()), ends.end());
  offsets_.assign(atoms_.size() + 1, 0);
  for (const auto& end : ends) ++offsets_[end.first + 1];
  for (size_t v = 0; v < atoms_.size(); ++v) offsets_[v + 1] += offsets_[v];
  neighbours_.reserve(ends.size());
  for (const auto& end : ends) neighbours_.push_back(end.second);
}

unsigned HeavyAtomGraph::element(unsigned v) const {
  return atoms_[v]->getAtomicNum();
}

const Coords& HeavyAtomGraph::position(unsigned v) const {
  return atoms_[v]->getFixedCoords();
}

bool HeavyAtomGraph::bonded(unsigned v, unsigned w) const {
  return std::binary_search(neighbours(v), neighbours(v) + degree(v), w);
}

// ---- GraphMatch ------------------------------------------------------------------------------

std::string GraphMatchResult::describe() const {
  const char* what = "";
  switch (outcome) {
    case Outcome::kMapped:
      return std::string();
    case Outcome::kNoHeavyAtoms:
      what = kTextNoHeavyAtoms;
      break;
    case Outcome::kNoBonds:
      what = kTextNoBonds;
      break;
    case Outcome::kNotIsomorphic:
      what = kTextNotIsomorphic;
      break;
    case Outcome::kStopped:
      what = kTextStopped;
      break;
  }
  std::ostringstream text;
  text << what << " (reference: " << counted(referenceAtoms, "heavy atom") << ", "
       << counted(referenceBonds, "bond")
       << "; comparison: " << counted(comparisonAtoms, "heavy atom") << ", "
       << counted(comparisonBonds, "bond") << "): " << difference;
  return text.str();
}

GraphMatch::GraphMatch(const Molecule& reference, const Molecule& comparison)
    : reference_(reference), comparison_(comparison) {}

namespace {

// The first difference of element counts, or of bond counts; empty when they agree.
std::string countDifference(const HeavyAtomGraph& reference, const HeavyAtomGraph& comparison) {
  std::map<unsigned, long> excess;  // by atomic number: reference count - comparison count
  for (unsigned v = 0; v < reference.size(); ++v) ++excess[reference.element(v)];
  for (unsigned v = 0; v < comparison.size(); ++v) --excess[comparison.element(v)];
  for (const auto& [z, more] : excess) {
    if (more == 0) continue;
    long inReference = 0;
    for (unsigned v = 0; v < reference.size(); ++v) inReference += reference.element(v) == z;
    std::ostringstream text;
    text << symbolOf(z) << " atoms: " << inReference << " in the reference, " << inReference - more
         << " in the comparison";
    return text.str();
  }
  if (reference.numBonds() != comparison.numBonds()) {
    std::ostringstream text;
    text << "bonds between heavy atoms: " << reference.numBonds() << " in the reference, "
         << comparison.numBonds() << " in the comparison";
    return text.str();
  }
  return std::string();
}

}  // namespace

GraphMatchResult GraphMatch::run(const GraphMatchOptions& options) {
  using Outcome = GraphMatchResult::Outcome;
  GraphMatchResult result;
  result.chosenBy = options.choose;
  result.referenceAtoms = reference_.size();
  result.comparisonAtoms = comparison_.size();
  result.referenceBonds = reference_.numBonds();
  result.comparisonBonds = comparison_.numBonds();
  const uint64_t limit = options.workLimit == 0 ? kDefaultWorkLimit : options.workLimit;

  if (reference_.size() == 0 || comparison_.size() == 0) {
    result.outcome = Outcome::kNoHeavyAtoms;
    result.difference =
        reference_.size() == 0 ? "the reference has none" : "the comparison has none";
    return result;
  }
  for (const auto* graph : {&reference_, &comparison_}) {
    if (graph->size() >= 2 && graph->numBonds() == 0) {
      result.outcome = Outcome::kNoBonds;
      result.difference = std::string("no bond joins two heavy atoms of the ") +
                          (graph == &reference_ ? "reference" : "comparison");
      return result;
    }
  }
  result.difference = countDifference(reference_, comparison_);
  if (!result.difference.empty()) {
    result.outcome = Outcome::kNotIsomorphic;
    return result;
  }
  Refinement classes(reference_, comparison_);
  if (!classes.run(result.difference, result.work)) {
    result.outcome = Outcome::kNotIsomorphic;
    return result;
  }

  Search search(reference_, comparison_, classes.referenceColours(), classes.comparisonColours(),
                options.choose, limit, result.work);
  search.run();
  result.work = search.work();
  result.proved = !search.stopped();
  const std::vector<unsigned>& mapping = search.best();
  if (mapping.empty()) {
    result.outcome = search.stopped() ? Outcome::kStopped : Outcome::kNotIsomorphic;
    result.difference = search.stopped() ? kTextNoMappingYet : kTextNoMapping;
    return result;
  }

  std::vector<Coords> rigid, mobile;
  double sum = 0;
  for (unsigned v = 0; v < reference_.size(); ++v) {
    const Atom& a = reference_.atom(v);
    const Atom& b = comparison_.atom(mapping[v]);
    result.reference.push_back(&a);
    result.comparison.push_back(&b);
    rigid.push_back(a.getFixedCoords());
    mobile.push_back(b.getFixedCoords());
    sum += squaredDistance(a.getFixedCoords(), b.getFixedCoords());
  }
  result.inPlaceRmsd = std::sqrt(sum / static_cast<double>(rigid.size()));
  RigidBody fit;
  fit.Load_Coords_To_Rigid(rigid);
  fit.Load_Coords_To_Mobile(mobile);
  result.fittedRmsd = fit.Calc_Rotation(-1.0);
  result.difference.clear();
  return result;
}

GraphMatchResult matchGraphs(const Molecule& reference, const Molecule& comparison,
                             const GraphMatchOptions& options) {
  return GraphMatch(reference, comparison).run(options);
}

}  // namespace VXMole
