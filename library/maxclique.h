// MaxClique: a maximum clique of a graph given as a bit matrix, by branch and bound with a
// greedy colouring bound over bit sets.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <utility>  // for std::move
#include <vector>

#include "bitmatrix.h"
#include "paircoords.h"  // for ProgressFn

namespace VXMole {

// The search of Tomita and Kameda (MCQ, 2007) in the bit-set form of San Segundo, Rodriguez-
// Losada and Jimenez (BBMC, 2011). Vertices are renumbered by decreasing degree (ties: the
// lower number first); at each node the candidates are coloured greedily in that order, a
// vertex of colour k can add at most k vertices, and branches are taken from the highest colour
// down.
//
// Among cliques of the largest size, the first one the search meets is kept (it starts from the
// largest of a greedy descent from each vertex in rank order): a later one replaces it only
// when it is strictly larger. Given a tie score, a second pass then visits every clique of that
// size, pruning only branches that cannot reach it, and keeps the one of lowest score (the first
// met among equal scores). The search order is fixed, so the same graph always gives the same
// clique.
//
// The work is bounded twice: it is counted in word operations on bit sets (a row's words and a
// few more for each vertex handled, a fit for each tie scored) over the greedy start and both
// passes, and the clock is read every kClockInterval of that work. Once the total passes the
// work limit, or the time passes the time limit, the search stops with the best clique found so
// far; proved() is false when the first pass was stopped, that is when the size itself is not
// proved the largest.
class MaxClique {
 public:
  // Some 5 to 10 seconds of search on one core of a current server (1.2 to 2 s per 2e9, measured
  // on random graphs of 300 to 5,000 vertices).
  static constexpr uint64_t kDefaultWorkLimit = 10'000'000'000ULL;
  // Seconds of search at most, whatever the work counted, so that a search whose count of
  // work falls short of its time (many ties, each scored by a fit) keeps its bound too.
  static constexpr double kDefaultTimeLimit = 8.0;
  // Work between two readings of the clock: a few milliseconds.
  static constexpr uint64_t kClockInterval = uint64_t{1} << 22;

  // Scores a clique (vertex numbers of the graph, ascending); the lower the better.
  using TieScore = std::function<double(const std::vector<unsigned>&)>;

  explicit MaxClique(const BitMatrix& graph, uint64_t workLimit = kDefaultWorkLimit,
                     double timeLimit = kDefaultTimeLimit);

  // Chooses among cliques of the largest size by this score.
  void breakTiesBy(TieScore score) { tieScore_ = std::move(score); }

  // The largest clique found, as vertex numbers of the graph in ascending order; a single
  // vertex when the graph has no edge, empty when it has no vertex. Progress is the share of
  // the first-level branches done.
  std::vector<unsigned> run(const ProgressFn& progress = nullptr);

  // Whether the last run proved its clique maximum (it did not reach its limits in the first
  // pass), and whether it ended without reaching them at all (ties included).
  bool proved() const { return proved_; }
  bool completed() const { return !stopped_; }
  uint64_t nodes() const { return nodes_; }

  // Memory of a search on n vertices, in bytes: the renumbered matrix and the node levels.
  static double bytesNeeded(size_t n);

 private:
  // The candidates of one level, and their colouring: vertices in increasing colour, only
  // those whose colour could still beat the best clique.
  struct Level {
    std::vector<uint64_t> candidates;  // ranks, as bits
    std::vector<unsigned> vertices;    // ranks
    std::vector<unsigned> colours;     // 1, 2, ...: colour of the vertex at the same place
  };

  // A first clique to beat: the largest of the greedy descents from each vertex, each taking
  // the common neighbour of lowest rank until none is left.
  void greedyStart();
  void expand(size_t depth, const ProgressFn* progress);
  // Whether the work or the time is used up; sets stopped_ when it is.
  bool outOfBudget();
  // Keeps the current clique when it beats the best one.
  void offer();
  // The size a clique must reach to replace the best one: one more, or as many when ties are
  // broken by score. Branches that cannot reach it are pruned, colours below it not listed.
  size_t needed() const { return best_.size() + (breakingTies_ ? 0 : 1); }
  std::vector<unsigned> toVertices(const std::vector<unsigned>& ranks) const;
  // Colours the level's candidates, listing those of colour `least` and above.
  void colour(Level& level, size_t least);

  const BitMatrix& graph_;
  uint64_t workLimit_;
  std::chrono::duration<double> timeLimit_;         // seconds
  std::chrono::steady_clock::time_point deadline_;  // set by run
  uint64_t nextClockReading_ = 0;                   // the work at which the clock is read
  TieScore tieScore_;                               // empty: the first largest clique met is kept
  BitMatrix ranked_;                                // the graph renumbered by decreasing degree
  std::vector<unsigned> order_;                     // rank -> vertex of the graph
  std::vector<Level> levels_;  // one per depth of the search, made as it goes deeper
  std::vector<uint64_t> uncoloured_, colourClass_;  // the colouring's working sets
  std::vector<unsigned> current_;                   // ranks of the clique being grown
  std::vector<unsigned> best_;                      // ranks of the largest clique found
  double bestScore_ = 0;                            // its tie score
  uint64_t work_ = 0;                               // word operations so far
  uint64_t nodes_ = 0;
  bool stopped_ = false;       // the work limit was reached
  bool breakingTies_ = false;  // the second pass: cliques of the best size are scored
  bool proved_ = false;
};

}  // namespace VXMole
