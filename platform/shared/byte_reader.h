// The one way the file checks walk a file's bytes: each read says whether the bytes
// were there, and none reads past the end, however the sizes in the file lie.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

inline uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
inline uint32_t Be16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
inline uint32_t Be32(const uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Byte(uint8_t* out) {
    if (pos_ >= size_) return false;
    *out = data_[pos_++];
    return true;
  }
  // Two bytes, the low one first.
  bool Le16(int* out) {
    if (size_ - pos_ < 2) return false;
    *out = int(platform::Le16(data_ + pos_));
    pos_ += 2;
    return true;
  }
  bool Skip(uint64_t n) {
    if (n > size_ - pos_) return false;
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
  const uint8_t* Here() const { return data_ + pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

}  // namespace platform
