// MaxClique: branch and bound over bit sets with a greedy colouring bound.
#include "maxclique.h"

#include <algorithm>
#include <numeric>  // for std::iota

namespace VXMole {

namespace {

constexpr size_t kWordBits = BitMatrix::kWordBits;
// Work of handling one vertex besides its words: finding it, listing it, the loop around.
constexpr uint64_t kVertexWork = 8;

}  // namespace

MaxClique::MaxClique(const BitMatrix& graph, uint64_t workLimit, double timeLimit)
    : graph_(graph), workLimit_(workLimit), timeLimit_(timeLimit) {}

bool MaxClique::outOfBudget() {
  if (stopped_) return true;
  if (work_ > workLimit_) {
    stopped_ = true;
  } else if (work_ >= nextClockReading_) {
    nextClockReading_ = work_ + kClockInterval;
    stopped_ = std::chrono::steady_clock::now() >= deadline_;
  }
  return stopped_;
}

double MaxClique::bytesNeeded(size_t n) {
  return BitMatrix::bytesNeeded(n);
}

std::vector<unsigned> MaxClique::run(const ProgressFn& progress) {
  const size_t n = graph_.size();
  work_ = 0;
  nodes_ = 0;
  stopped_ = false;
  deadline_ = std::chrono::steady_clock::now() +
              std::chrono::duration_cast<std::chrono::steady_clock::duration>(timeLimit_);
  nextClockReading_ = 0;
  proved_ = true;
  current_.clear();
  best_.clear();
  if (n == 0) return {};

  std::vector<size_t> degree(n);
  for (size_t i = 0; i < n; ++i) degree[i] = graph_.count(i);
  order_.resize(n);
  std::iota(order_.begin(), order_.end(), 0u);
  std::stable_sort(order_.begin(), order_.end(),
                   [&degree](unsigned a, unsigned b) { return degree[a] > degree[b]; });
  ranked_ = graph_.permuted(order_);

  const size_t words = ranked_.words();
  levels_.clear();
  levels_.reserve(n + 1);  // levels are never moved while the search holds one
  levels_.emplace_back();
  uncoloured_.assign(words, 0);
  colourClass_.assign(words, 0);
  best_.assign(1, 0);  // any vertex alone is a clique
  greedyStart();

  // First the largest size; then, to break ties, every clique of that size. Visiting ties
  // while the best size still grows would visit every clique of each smaller size too.
  for (const bool ties : {false, true}) {
    if (ties && (!tieScore_ || stopped_)) break;
    breakingTies_ = ties;
    if (ties) bestScore_ = tieScore_(toVertices(best_));
    std::vector<uint64_t>& all = levels_[0].candidates;
    all.assign(words, ~uint64_t{0});
    if (n % kWordBits != 0) all[words - 1] = (uint64_t{1} << (n % kWordBits)) - 1;
    const double from = tieScore_ ? (ties ? 0.5 : 0.0) : 0.0;
    const double share = tieScore_ ? 0.5 : 1.0;
    const ProgressFn phase =
        progress ? ProgressFn([&](double done) { progress(from + share * done); }) : nullptr;
    expand(0, progress ? &phase : nullptr);
    if (!ties) proved_ = !stopped_;
  }
  return toVertices(best_);
}

void MaxClique::greedyStart() {
  const size_t n = ranked_.size();
  const size_t words = ranked_.words();
  std::vector<uint64_t> candidates(words);
  // The descent from the first vertex is always made: the search keeps a clique of its own
  // however soon it stops.
  for (size_t start = 0; start < n && (start == 0 || !outOfBudget()); ++start) {
    const uint64_t* row = ranked_.row(start);
    std::copy(row, row + words, candidates.begin());
    current_.assign(1, static_cast<unsigned>(start));
    for (size_t w = 0; w < words;) {
      if (candidates[w] == 0) {
        ++w;
        continue;
      }
      const auto v = static_cast<unsigned>(w * kWordBits + __builtin_ctzll(candidates[w]));
      current_.push_back(v);
      const uint64_t* next = ranked_.row(v);
      for (size_t x = w; x < words; ++x) candidates[x] &= next[x];
      candidates[w] &= ~(uint64_t{1} << (v % kWordBits));
      work_ += words - w + kVertexWork;
    }
    if (current_.size() > best_.size()) best_ = current_;
  }
  current_.clear();
}

std::vector<unsigned> MaxClique::toVertices(const std::vector<unsigned>& ranks) const {
  std::vector<unsigned> clique;
  clique.reserve(ranks.size());
  for (unsigned rank : ranks) clique.push_back(order_[rank]);
  std::sort(clique.begin(), clique.end());
  return clique;
}

void MaxClique::offer() {
  if (current_.size() > best_.size()) {
    best_ = current_;
  } else if (breakingTies_ && current_.size() == best_.size()) {
    work_ += current_.size() * current_.size();  // about what a score costs
    const double score = tieScore_(toVertices(current_));
    if (score < bestScore_) {
      best_ = current_;
      bestScore_ = score;
    }
  }
}

void MaxClique::colour(Level& level, size_t least) {
  const size_t words = ranked_.words();
  level.vertices.clear();
  level.colours.clear();
  std::copy(level.candidates.begin(), level.candidates.end(), uncoloured_.begin());
  size_t firstUncoloured = 0;
  for (unsigned k = 1;; ++k) {
    while (firstUncoloured < words && uncoloured_[firstUncoloured] == 0) ++firstUncoloured;
    if (firstUncoloured == words) return;
    // Colour class k: the uncoloured vertices taken in rank order, each one not joined to any
    // taken before it.
    std::copy(uncoloured_.begin() + firstUncoloured, uncoloured_.end(),
              colourClass_.begin() + firstUncoloured);
    for (size_t w = firstUncoloured; w < words; ++w) {
      while (colourClass_[w] != 0) {
        const unsigned bit = static_cast<unsigned>(__builtin_ctzll(colourClass_[w]));
        const auto v = static_cast<unsigned>(w * kWordBits + bit);
        const uint64_t* row = ranked_.row(v);
        colourClass_[w] &= ~(uint64_t{1} << bit);
        uncoloured_[w] &= ~(uint64_t{1} << bit);
        for (size_t x = w; x < words; ++x) colourClass_[x] &= ~row[x];
        work_ += words - w + kVertexWork;
        if (k >= least) {
          level.vertices.push_back(v);
          level.colours.push_back(k);
        }
      }
    }
  }
}

void MaxClique::expand(size_t depth, const ProgressFn* progress) {
  ++nodes_;
  const size_t words = ranked_.words();
  Level& level = levels_[depth];
  const size_t least = needed() > current_.size() ? needed() - current_.size() : 1;
  colour(level, least);
  if (outOfBudget()) return;
  if (levels_.size() == depth + 1) {
    levels_.emplace_back();
    levels_[depth + 1].candidates.resize(words);
  }
  Level& next = levels_[depth + 1];
  const size_t listed = level.vertices.size();
  for (size_t at = listed; at-- > 0;) {
    if (current_.size() + level.colours[at] < needed()) return;
    const unsigned v = level.vertices[at];
    const uint64_t* row = ranked_.row(v);
    uint64_t any = 0;
    for (size_t w = 0; w < words; ++w) any |= next.candidates[w] = level.candidates[w] & row[w];
    work_ += words + kVertexWork;
    current_.push_back(v);
    if (any == 0) {
      offer();
    } else {
      expand(depth + 1, progress);
    }
    current_.pop_back();
    if (stopped_) return;
    level.candidates[v / kWordBits] &= ~(uint64_t{1} << (v % kWordBits));
    if (depth == 0 && progress != nullptr)
      (*progress)(static_cast<double>(listed - at) / static_cast<double>(listed));
  }
}

}  // namespace VXMole
