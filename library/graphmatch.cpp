// GraphMatch: the branch-and-bound search for the isomorphism of lowest RMSD between two
// heavy-atom bond graphs, fitted (bounded through QCP's key matrix) or in place.
#include "graphmatch.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <queue>
#include <sstream>
#include <tuple>
#include <utility>

#include "assignment.h"
#include "atome.h"
#include "keymatrix.h"
#include "rigidbody.h"

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

// Work, in units of some 10 ns: each candidate listed, each bound computed (Newton's method on
// the quartic), each cone bound (the eigensystem of K) besides one unit per candidate it weighs.
constexpr uint64_t kWorkListed = 1;
constexpr uint64_t kWorkBound = 8;
constexpr uint64_t kWorkCone = 50;
// The share of the work limit that colour refinement may take; the search has the rest.
constexpr uint64_t kRefinementShare = 2;  // one half

// The cone bound splits the rotations about the pairs' best one by s = sin(theta), theta the
// angle between their unit quaternions, at these values.
constexpr double kConeSteps[] = {0.0, 1.0 / 64, 1.0 / 32, 1.0 / 16, 1.0 / 8, 1.0 / 4, 1.0 / 2, 1.0};

// "1 bond", "2 bonds".
std::string counted(size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

double squaredNorm(const Coords& p) {
  return p.x * p.x + p.y * p.y + p.z * p.z;
}

double squaredDistance(const Coords& a, const Coords& b) {
  const double dx = a.x - b.x, dy = a.y - b.y, dz = a.z - b.z;
  return dx * dx + dy * dy + dz * dz;
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
  Coords referenceCentre_;     // the reference's barycentre, as read
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
  referenceCentre_ = rMean;
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
// barycentre onto the reference's, the squared difference of their distances to them. In a
// class of more than kNearestByScan atoms (refinement cut short on a long chain) both kinds take
// the nearest distance to one point (the reference barycentre in place: |r - c| >= ||r - p| -
// |c - p||), by binary search among the class's sorted distances.
void Search::staticBounds() {
  constexpr size_t kNearestByScan = 64;
  atomBound_.assign(n_, 0);
  const Coords centre = kind_ == GraphRmsd::kFitted ? Coords() : referenceCentre_;
  std::vector<std::vector<double>> sorted(members_.size());  // colour -> sorted |c - p|
  for (unsigned v = 0; v < n_; ++v) {
    const std::vector<unsigned>& members = members_[refColours_[v]];
    double least = std::numeric_limits<double>::infinity();
    if (members.size() > kNearestByScan) {
      std::vector<double>& norms = sorted[refColours_[v]];
      if (norms.empty()) {
        for (unsigned w : members) norms.push_back(std::sqrt(squaredDistance(c_[w], centre)));
        std::sort(norms.begin(), norms.end());
        work_ += kWorkListed * members.size();
      }
      const double norm = std::sqrt(squaredDistance(r_[v], centre));
      const auto above = std::lower_bound(norms.begin(), norms.end(), norm);
      if (above != norms.end()) least = (*above - norm) * (*above - norm);
      if (above != norms.begin()) least = std::min(least, (norm - above[-1]) * (norm - above[-1]));
      work_ += kWorkListed;
    } else {
      for (unsigned w : members) {
        double d;
        if (kind_ == GraphRmsd::kInPlace) {
          d = squaredDistance(r_[v], c_[w]);
        } else {
          const double gap = std::sqrt(squaredNorm(r_[v])) - cNorm_[w];
          d = gap * gap;
        }
        least = std::min(least, d);
      }
      work_ += kWorkListed * members.size();
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
      candidate.partial = largestKeyEigenvalue(sums.S, start, 0.5 * sums.G);
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
  keyEigenSystem(K, values, q);
  quaternionRotation(q, R);
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
    offer(std::max(0.0, all.G - 2.0 * largestKeyEigenvalue(all.S, 0.5 * all.G, 0.5 * all.G)));
    if (images == previous) break;
    previous = images;
    keyMatrix(all.S, K);
    keyEigenSystem(K, values, q);
    quaternionRotation(q, R);
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
  keyEigenSystem(K, values, q);
  const double made = std::max(0.0, level.sums.G - 2.0 * values[0]);
  const double gap = std::max(0.0, values[0] - values[1]);
  double R[9];
  quaternionRotation(q, R);

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

GraphMatch::GraphMatch(const Molecule& reference, const Molecule& comparison,
                       const std::vector<bool>& referenceAtoms,
                       const std::vector<bool>& comparisonAtoms)
    : reference_(reference, referenceAtoms), comparison_(comparison, comparisonAtoms) {}

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
  // The classes serve every run of the same work limit.
  if (!classes_ || classesLimit_ != limit) {
    classes_.emplace(reference_, comparison_);
    classesLimit_ = limit;
    classesWork_ = 0;
    classesDifference_.clear();
    classesOutcome_ = classes_->refine(limit / kRefinementShare, classesWork_, classesDifference_);
  }
  result.work = classesWork_;
  result.classesSettled = classesOutcome_ != SymmetryClasses::Outcome::kCut;
  if (classesOutcome_ == SymmetryClasses::Outcome::kUnbalanced) {
    result.outcome = Outcome::kNotIsomorphic;
    result.difference = classesDifference_;
    return result;
  }
  const SymmetryClasses& classes = *classes_;

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
