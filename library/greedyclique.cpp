// GreedyClique: degree ranking and greedy descents over bit sets of candidate pairs.
#include "greedyclique.h"

#include <algorithm>
#include <numeric>  // for std::iota

namespace VXMole {

namespace {

constexpr size_t kWordBits = PairCoords::kWordBits;

bool hasBit(const std::vector<uint64_t>& bits, size_t k) {
  return (bits[k / kWordBits] >> (k % kWordBits)) & 1;
}

// The degree count is the first half of the work, the descents the second. A descent at rank
// p has about (n - p)^2 / 2 tests left to do at most.
double descentDone(size_t p, size_t n) {
  const double left = static_cast<double>(n - p) / static_cast<double>(n);
  return 0.5 + 0.5 * (1.0 - left * left);
}

}  // namespace

double GreedyClique::bytesNeeded(size_t n) {
  // The pairs again in rank order (in double and single precision), degrees (padded to whole
  // words), the rank order, the clique, and two bit sets.
  const double padded = static_cast<double>((n + kWordBits - 1) / kWordBits * kWordBits);
  return padded * (6 * (sizeof(double) + sizeof(float)) + sizeof(uint32_t)) +
         static_cast<double>(n) * 2 * sizeof(unsigned) + padded / 4;
}

std::vector<unsigned> GreedyClique::run(const ProgressFn& progress) {
  const size_t n = pairs_.size();
  degrees_ = pairs_.agreementCounts(
      progress ? ProgressFn([&progress](double done) { progress(0.5 * done); }) : nullptr);

  order_.resize(n);
  std::iota(order_.begin(), order_.end(), 0u);
  std::sort(order_.begin(), order_.end(), [this](unsigned a, unsigned b) {
    return degrees_[a] != degrees_[b] ? degrees_[a] > degrees_[b] : a > b;
  });
  if (n < 2) return {};
  const PairCoords ranked = pairs_.permuted(order_);

  // Bit k: the pair of rank k.
  const size_t words = ranked.words();
  std::vector<uint64_t> seen(words, 0);
  std::vector<uint64_t> candidates(words, 0);
  const uint64_t lastWord =
      n % kWordBits == 0 ? ~uint64_t{0} : (uint64_t{1} << (n % kWordBits)) - 1;
  std::vector<unsigned> clique;
  for (size_t start = 0; start + 1 < n; ++start) {
    if (hasBit(seen, start)) continue;
    if (progress) progress(descentDone(start, n));
    // The later neighbours of the start: every later rank, kept where it agrees.
    const size_t first = start / kWordBits;
    std::fill(candidates.begin() + first, candidates.end(), ~uint64_t{0});
    candidates[words - 1] &= lastWord;
    candidates[first] &= ~uint64_t{0} << (start % kWordBits) << 1;
    if (!ranked.keepAgreeing(start, candidates.data(), first, words)) continue;
    for (size_t w = first; w < words; ++w) seen[w] |= candidates[w];

    clique.assign(1, static_cast<unsigned>(start));
    size_t lowest = first;  // no candidate lies in an earlier word
    while (true) {
      while (candidates[lowest] == 0) ++lowest;
      const size_t taken =
          lowest * kWordBits + static_cast<size_t>(__builtin_ctzll(candidates[lowest]));
      candidates[lowest] &= candidates[lowest] - 1;
      clique.push_back(static_cast<unsigned>(taken));
      if (progress && clique.size() % 64 == 0) progress(descentDone(taken, n));
      if (!ranked.keepAgreeing(taken, candidates.data(), lowest, words)) break;
    }
    if (clique.size() >= kMinSize) {
      for (unsigned& member : clique) member = order_[member];
      return clique;
    }
  }
  return {};
}

}  // namespace VXMole
