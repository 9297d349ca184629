// BitMatrix: rows of bit words, their counts and renumbering.
#include "bitmatrix.h"

namespace VXMole {

BitMatrix::BitMatrix(size_t n)
    : n_(n), words_((n + kWordBits - 1) / kWordBits), bits_(n * words_, 0) {}

BitMatrix::BitMatrix(size_t n, Unset) : n_(n), words_((n + kWordBits - 1) / kWordBits) {
  bits_.resize(n * words_);
}

void BitMatrix::join(size_t i, size_t j) {
  set(i, j);
  set(j, i);
}

size_t BitMatrix::count(size_t i) const {
  size_t total = 0;
  const uint64_t* r = row(i);
  for (size_t w = 0; w < words_; ++w) total += static_cast<size_t>(__builtin_popcountll(r[w]));
  return total;
}

BitMatrix BitMatrix::permuted(const std::vector<unsigned>& order) const {
  BitMatrix copy(n_);
  // Where each vertex goes; the bits set are visited, not every entry.
  std::vector<unsigned> place(n_);
  for (size_t k = 0; k < n_; ++k) place[order[k]] = static_cast<unsigned>(k);
  for (size_t k = 0; k < n_; ++k) {
    const uint64_t* from = row(order[k]);
    uint64_t* to = copy.row(k);
    for (size_t w = 0; w < words_; ++w) {
      for (uint64_t bits = from[w]; bits != 0; bits &= bits - 1) {
        const unsigned l = place[w * kWordBits + static_cast<unsigned>(__builtin_ctzll(bits))];
        to[l / kWordBits] |= uint64_t{1} << (l % kWordBits);
      }
    }
  }
  return copy;
}

double BitMatrix::bytesNeeded(size_t n) {
  const double words = static_cast<double>((n + kWordBits - 1) / kWordBits);
  return static_cast<double>(n) * words * sizeof(uint64_t);
}

}  // namespace VXMole
