// ByteBuffer: heap or large-block storage, growth and release.
#include "bytebuffer.h"

#include <cstring>  // for std::memcpy
#include <new>
#include <utility>

#include "largeblock.h"

namespace VXMole {

ByteBuffer::ByteBuffer(std::string_view bytes) {
  append(bytes.data(), bytes.size());
}

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)),
      large_(std::exchange(other.large_, false)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
    large_ = std::exchange(other.large_, false);
  }
  return *this;
}

ByteBuffer::~ByteBuffer() {
  release();
}

void ByteBuffer::reserve(size_t bytes) {
  if (bytes <= capacity_) return;
  const bool large = bytes >= kLargeBytes;
  char* grown = large ? mapLargeBlock(bytes) : static_cast<char*>(::operator new(bytes));
  if (size_ > 0) std::memcpy(grown, data_, size_);
  const size_t size = size_;
  release();
  data_ = grown;
  size_ = size;
  capacity_ = bytes;
  large_ = large;
}

void ByteBuffer::append(const char* bytes, size_t n) {
  if (n == 0) return;
  if (n > capacity_ - size_) {
    const size_t needed = size_ + n;
    reserve(needed > capacity_ + capacity_ / 2 ? needed : capacity_ + capacity_ / 2);
  }
  std::memcpy(data_ + size_, bytes, n);
  size_ += n;
}

void ByteBuffer::release() {
  if (data_ != nullptr) {
    if (large_) {
      unmapLargeBlock(data_, capacity_);
    } else {
      ::operator delete(data_);
    }
  }
  data_ = nullptr;
  size_ = 0;
  capacity_ = 0;
  large_ = false;
}

}  // namespace VXMole
