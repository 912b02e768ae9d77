// The one way the file checks walk a file's bytes: each read says whether the bytes
// were there, and none reads past the end, however the sizes in the file lie.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace platform {

class ByteReader {
 public:
  enum class Order { kLittleEndian, kBigEndian };

  ByteReader(const uint8_t* data, size_t size, Order order = Order::kLittleEndian)
      : data_(data), size_(size), order_(order) {}

  bool Byte(uint8_t* out) {
    if (pos_ >= size_) return false;
    *out = data_[pos_++];
    return true;
  }
  // Two or four bytes as one number, in the reader's byte order.
  template <typename T>
  bool U16(T* out) {
    uint32_t value;
    if (!Number(2, &value)) return false;
    *out = T(value);
    return true;
  }
  bool U32(uint32_t* out) { return Number(4, out); }
  // Whether the next bytes are tag's (four of them), passing over them if so.
  bool Tag(const char* tag) {
    if (size_ - pos_ < 4 || std::memcmp(data_ + pos_, tag, 4) != 0) return false;
    pos_ += 4;
    return true;
  }
  bool Skip(uint64_t n) {
    if (n > size_ - pos_) return false;
    pos_ += size_t(n);
    return true;
  }
  // The next n bytes, passed over: where they lie.
  bool Bytes(uint64_t n, const uint8_t** out) {
    if (n > size_ - pos_) return false;
    *out = data_ + pos_;
    pos_ += size_t(n);
    return true;
  }
  // The next n bytes, passed over, as a reader of their own in the same order.
  bool Take(uint64_t n, ByteReader* part) {
    if (n > size_ - pos_) return false;
    *part = ByteReader(data_ + pos_, size_t(n), order_);
    pos_ += size_t(n);
    return true;
  }
  // A variable-length quantity: at most four bytes, seven bits each, the high bit
  // set on all but the last.
  bool Quantity(uint32_t* out) {
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
      uint8_t b;
      if (!Byte(&b)) return false;
      value = value << 7 | (b & 0x7F);
      if (!(b & 0x80)) {
        *out = value;
        return true;
      }
    }
    return false;
  }
  bool AtEnd() const { return pos_ >= size_; }
  size_t Left() const { return size_ - pos_; }

 private:
  bool Number(int bytes, uint32_t* out) {
    if (size_ - pos_ < size_t(bytes)) return false;
    uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) {
      const uint32_t b = data_[pos_ + (order_ == Order::kBigEndian ? i : bytes - 1 - i)];
      value = value << 8 | b;
    }
    pos_ += size_t(bytes);
    *out = value;
    return true;
  }

  const uint8_t* data_;
  size_t size_;
  Order order_;
  size_t pos_ = 0;
};

}  // namespace platform
