// PairCoords: the coordinates of tentative atom pairs, one array per axis, and the rule that
// two pairs agree, tested for many pairs at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "bitmatrix.h"
#include "coords.h"

namespace VXMole {

// Called now and then by long computations with the fraction of the work done, in [0, 1].
using ProgressFn = std::function<void(double)>;
// Asked now and then by long computations whether to stop.
using StopFn = std::function<bool()>;

// Pair k joins a reference atom at reference(k) with a comparison atom at comparison(k). Two
// pairs agree when the distance between their reference atoms and the distance between their
// comparison atoms differ by less than kTolerance: |dR - dC| < 1.0, with dR and dC computed as
// Coords::calcDist computes them. Every test here gives that decision exactly, bit for bit:
// the vector kernels work in single precision without square roots and decide only where
// their error bound leaves no doubt; the rest goes to the exact rule.
class PairCoords {
 public:
  static constexpr double kTolerance = 1.0;  // Å
  // Bits of a mask word: pair 64 w + b is bit b of word w.
  static constexpr size_t kWordBits = 64;

  // Instruction sets of the kernels; the best one the processor offers is used.
  enum class Kernel { kScalar, kAvx2, kAvx512 };

  PairCoords();

  // Memory n pairs take, in bytes: their coordinates in double precision, padded to whole mask
  // words, and the single-precision copy the vector kernels make of them.
  static double bytesNeeded(size_t n);

  void reserve(size_t n);
  void add(const Coords& reference, const Coords& comparison);
  size_t size() const { return n_; }
  // Words of a mask that covers every pair.
  size_t words() const { return (n_ + kWordBits - 1) / kWordBits; }
  Coords reference(size_t k) const { return Coords(rx_[k], ry_[k], rz_[k]); }
  Coords comparison(size_t k) const { return Coords(cx_[k], cy_[k], cz_[k]); }

  // The pairs in another order: pair k of the copy is pair order[k] of this one.
  PairCoords permuted(const std::vector<unsigned>& order) const;

  // The rule for one couple of pairs (a pair agrees with itself).
  bool agree(size_t i, size_t j) const;
  static bool agree(const Coords& reference1, const Coords& comparison1, const Coords& reference2,
                    const Coords& comparison2);

  // For every pair, how many other pairs agree with it: its degree in the correspondence
  // graph. Reports its progress now and then when given a function.
  std::vector<uint32_t> agreementCounts(const ProgressFn& progress = nullptr) const;

  // Clears, in words [firstWord, endWord) of `mask`, the bits of the pairs that do not agree
  // with pair i; returns whether any bit is left there. Only words and bytes with a bit set
  // are tested. Bits past the last pair must be clear.
  bool keepAgreeing(size_t i, uint64_t* mask, size_t firstWord, size_t endWord) const;

  // The correspondence graph as a bit matrix: bit (i, j) set when pairs i and j differ and
  // agree. Made row by row; when `stop` (asked every few rows) says so, the making ends there
  // and an empty matrix is returned. `rowsMade` receives the count of rows made.
  BitMatrix agreementMatrix(const ProgressFn& progress = nullptr, const StopFn& stop = nullptr,
                            size_t* rowsMade = nullptr) const;

  Kernel kernel() const { return kernel_; }
  // Chooses the kernel (tests compare them); one the processor lacks falls back to the best
  // it has below it.
  void useKernel(Kernel kernel);
  static Kernel bestKernel();

 private:
  // The coordinates in single precision for the vector kernels, each molecule's centred on its
  // mean, and the bounds of their quick rule; made when a kernel first needs them.
  struct Singles {
    std::vector<float> rx, ry, rz, cx, cy, cz;  // Å, padded like the doubles
    float sureInside = 0;   // (a - b)^2 below this times (a + b + 2 min(a, b)): the pairs agree
    float sureOutside = 0;  // (a - b)^2 above this times (a + b): they do not
    bool usable = false;    // false when coordinates lie too far out for single precision
    size_t madeFor = 0;     // the number of pairs they were made for
  };
  const Singles& singles() const;

  size_t n_ = 0;  // number of pairs
  // Reference and comparison atom coordinates (Å), one array per axis, each padded with
  // zeros to a whole number of mask words so that kernels read whole vectors.
  std::vector<double> rx_, ry_, rz_, cx_, cy_, cz_;
  mutable Singles singles_;  // a cache of the coordinates above
  Kernel kernel_;
};

}  // namespace VXMole
