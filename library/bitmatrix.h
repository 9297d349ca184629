// BitMatrix: a square matrix of bits, one row of 64-bit words per vertex, for graphs whose
// adjacency is searched with set operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>      // for placement new
#include <utility>  // for std::forward
#include <vector>

namespace VXMole {

// Bit j of row i is bit (j mod 64) of word (j / 64) of that row. Bits past the last column are
// always clear.
class BitMatrix {
 public:
  static constexpr size_t kWordBits = 64;

  BitMatrix() = default;
  // n x n bits, all clear.
  explicit BitMatrix(size_t n);
  // n x n bits of no set value, for a maker that writes every row before any is read: the
  // memory is touched only as rows are written, so that the time of a large matrix's memory
  // is spent, and can be measured, row by row.
  enum Unset { kUnset };
  BitMatrix(size_t n, Unset);

  size_t size() const { return n_; }
  size_t words() const { return words_; }
  uint64_t* row(size_t i) { return bits_.data() + i * words_; }
  const uint64_t* row(size_t i) const { return bits_.data() + i * words_; }

  bool test(size_t i, size_t j) const { return (row(i)[j / kWordBits] >> (j % kWordBits)) & 1; }
  void set(size_t i, size_t j) { row(i)[j / kWordBits] |= uint64_t{1} << (j % kWordBits); }
  // Sets (i, j) and (j, i).
  void join(size_t i, size_t j);
  // Number of bits set in row i.
  size_t count(size_t i) const;

  // The matrix with rows and columns renumbered: entry (k, l) of the copy is entry
  // (order[k], order[l]) of this one.
  BitMatrix permuted(const std::vector<unsigned>& order) const;

  // Memory of an n x n matrix, in bytes.
  static double bytesNeeded(size_t n);

 private:
  size_t n_ = 0;      // rows and columns
  size_t words_ = 0;  // words per row
  // Allocates every element without a value (resize does not zero them).
  template <typename T>
  struct UnsetAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
      using other = UnsetAllocator<U>;
    };
    UnsetAllocator() = default;
    template <typename U>
    explicit UnsetAllocator(const UnsetAllocator<U>&) {}
    template <typename U>
    void construct(U* p) {
      ::new (static_cast<void*>(p)) U;
    }
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
      ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
  };
  std::vector<uint64_t, UnsetAllocator<uint64_t>> bits_;  // n rows of words_ words
};

}  // namespace VXMole
