// ByteBuffer: the bytes of an input held in memory, in one large block when they are many.
#pragma once

#include <cstddef>
#include <string_view>

namespace VXMole {

// A growable array of bytes that owns its storage. Beyond kLargeBytes the storage is one large
// block (mapLargeBlock), which the kernel backs with huge pages where it offers them: a 100 MB
// file is then a few dozen page mappings, not tens of thousands. Move-only.
class ByteBuffer {
 public:
  static constexpr size_t kLargeBytes = size_t{1} << 20;

  ByteBuffer() = default;
  // A copy of `bytes`.
  explicit ByteBuffer(std::string_view bytes);
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;
  ~ByteBuffer();

  const char* data() const { return data_; }
  char* data() { return data_; }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  bool empty() const { return size_ == 0; }
  std::string_view view() const { return std::string_view(data_, size_); }
  char operator[](size_t i) const { return data_[i]; }

  // Room for `bytes` bytes in all, without a further allocation; the bytes held are kept.
  // Throws std::bad_alloc.
  void reserve(size_t bytes);
  // Appends n bytes, growing the room by at least half when it is short.
  void append(const char* bytes, size_t n);
  // Counts n more bytes as held: those the caller wrote past the end, within the room.
  void grow(size_t n) { size_ = n < capacity_ - size_ ? size_ + n : capacity_; }
  // Keeps the first n bytes (n at most the size); the room stays.
  void truncate(size_t n) { size_ = n < size_ ? n : size_; }
  // Gives the storage back: empty, without room.
  void release();

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
  bool large_ = false;  // the storage is a large block, else a heap block
};

}  // namespace VXMole
