// BitMatrix: rows of bit words, their counts and renumbering.
#include "bitmatrix.h"

namespace VXMole {

BitMatrix::BitMatrix(size_t n)
    : n_(n), words_((n + kWordBits - 1) / kWordBits), bits_(n * words_, 0) {}

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
  for (size_t k = 0; k < n_; ++k) {
    const uint64_t* from = row(order[k]);
    for (size_t l = 0; l < n_; ++l) {
      if ((from[order[l] / kWordBits] >> (order[l] % kWordBits)) & 1) copy.set(k, l);
    }
  }
  return copy;
}

double BitMatrix::bytesNeeded(size_t n) {
  const double words = static_cast<double>((n + kWordBits - 1) / kWordBits);
  return static_cast<double>(n) * words * sizeof(uint64_t);
}

}  // namespace VXMole
