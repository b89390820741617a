#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

namespace salvorine {

// Little-endian fields at byte offsets of a metafile or one of its records.
// Offsets are 64-bit so that sums of untrusted 32-bit counts cannot wrap.
// Callers compare sizes before reading, so a read past the end is a fault in
// the caller and throws std::out_of_range.
class MetafileFields {
 public:
  explicit MetafileFields(std::span<const unsigned char> bytes) : bytes_(bytes) {}

  std::uint64_t Size() const { return bytes_.size(); }
  std::span<const unsigned char> Bytes() const { return bytes_; }

  // Whether `length` bytes starting at `offset` lie within.
  bool Holds(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }

  std::uint16_t U16(std::uint64_t offset) const {
    return static_cast<std::uint16_t>(Byte(offset) | Byte(offset + 1) << 8);
  }
  std::uint32_t U32(std::uint64_t offset) const {
    return U16(offset) | static_cast<std::uint32_t>(U16(offset + 2)) << 16;
  }
  std::int16_t I16(std::uint64_t offset) const { return static_cast<std::int16_t>(U16(offset)); }
  std::int32_t I32(std::uint64_t offset) const { return static_cast<std::int32_t>(U32(offset)); }

  // The `length` bytes starting at `offset`.
  MetafileFields Slice(std::uint64_t offset, std::uint64_t length) const {
    if (!Holds(offset, length)) throw std::out_of_range("metafile slice past the end of its record");
    return MetafileFields(bytes_.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)));
  }

 private:
  unsigned Byte(std::uint64_t offset) const {
    if (offset >= bytes_.size()) throw std::out_of_range("metafile field read past the end of its record");
    return bytes_[static_cast<std::size_t>(offset)];
  }

  std::span<const unsigned char> bytes_;
};

inline void AppendU16(std::vector<unsigned char>& out, std::uint16_t value) {
  out.push_back(static_cast<unsigned char>(value & 0xFF));
  out.push_back(static_cast<unsigned char>(value >> 8));
}

inline void AppendU32(std::vector<unsigned char>& out, std::uint32_t value) {
  AppendU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
  AppendU16(out, static_cast<std::uint16_t>(value >> 16));
}

inline void PutU32(std::vector<unsigned char>& out, std::size_t offset, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.at(offset++) = static_cast<unsigned char>(value >> shift);
}

}  // namespace salvorine
