// Deterministic file content for the damaged-media test bench.
//
// Byte i of a file with seed S is PatternByte(S, i). Content is computed, never
// stored, so files of many GiB cost nothing; tests recompute the expected bytes
// with the same functions. Every aligned 8-byte block is one 64-bit hash of the
// seed and the block index, so no short period repeats and two seeds differ.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace salvorine::damaged_media {

namespace pattern_detail {

// The finaliser of SplitMix64: a cheap bijective mix with good avalanche.
constexpr uint64_t Mix64(uint64_t z) {
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

constexpr uint64_t kGoldenGamma = 0x9E3779B97F4A7C15ULL;

constexpr uint64_t StreamBase(uint64_t seed) { return Mix64(seed ^ 0x5A17F00DC0FFEE11ULL); }

constexpr uint64_t BlockWord(uint64_t base, uint64_t block) {
  return Mix64(base + block * kGoldenGamma);
}

// Stores the word so that memory byte k is (word >> 8k) & 0xff on any host.
inline void StoreWord(uint64_t word, uint8_t* out) {
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  std::memcpy(out, &word, sizeof word);
}

}  // namespace pattern_detail

constexpr uint8_t PatternByte(uint64_t seed, uint64_t offset) {
  const uint64_t word =
      pattern_detail::BlockWord(pattern_detail::StreamBase(seed), offset / 8);
  return static_cast<uint8_t>(word >> (8 * (offset % 8)));
}

// Writes bytes [offset, offset + count) of the stream with this seed to out.
inline void FillPattern(uint64_t seed, uint64_t offset, uint8_t* out, size_t count) {
  const uint64_t base = pattern_detail::StreamBase(seed);
  uint64_t block = offset / 8;

  // Leading bytes up to the next 8-byte boundary.
  const size_t lead = static_cast<size_t>(offset % 8);
  if (lead != 0 && count != 0) {
    const uint64_t word = pattern_detail::BlockWord(base, block);
    const size_t n = count < 8 - lead ? count : 8 - lead;
    for (size_t k = 0; k < n; ++k) {
      out[k] = static_cast<uint8_t>(word >> (8 * (lead + k)));
    }
    out += n;
    count -= n;
    ++block;
  }

  for (; count >= 8; count -= 8, out += 8, ++block) {
    pattern_detail::StoreWord(pattern_detail::BlockWord(base, block), out);
  }

  if (count != 0) {
    const uint64_t word = pattern_detail::BlockWord(base, block);
    for (size_t k = 0; k < count; ++k) {
      out[k] = static_cast<uint8_t>(word >> (8 * k));
    }
  }
}

}  // namespace salvorine::damaged_media
