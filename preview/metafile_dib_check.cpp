#include "preview/metafile_dib_check.h"

#include <optional>

namespace salvorine {
namespace {

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kRgb = 0, kBitFields = 3, kJpeg = 4, kPng = 5;

// Bytes of header plus colour table, or nothing when the header is unsound.
std::optional<std::uint64_t> InfoSize(MetafileFields info) {
  if (!info.Holds(0, kInfoHeaderSize)) return std::nullopt;
  const std::uint32_t header_size = info.U32(0);
  const std::int32_t width = info.I32(4);
  const std::int32_t height = info.I32(8);
  const std::uint16_t bit_count = info.U16(14);
  const std::uint32_t compression = info.U32(16);
  const std::uint32_t colours_used = info.U32(32);

  if (header_size < kInfoHeaderSize) return std::nullopt;
  if (width <= 0 || width > kMaxDibSide || height == 0 || height < -kMaxDibSide || height > kMaxDibSide) {
    return std::nullopt;
  }
  const std::uint64_t rows = height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(height))
                                        : static_cast<std::uint64_t>(height);
  if (static_cast<std::uint64_t>(width) * rows > kMaxDibPixels) return std::nullopt;

  switch (compression) {
    case kRgb:
      if (bit_count != 1 && bit_count != 4 && bit_count != 8 && bit_count != 16 && bit_count != 24 &&
          bit_count != 32) {
        return std::nullopt;
      }
      break;
    case kBitFields:
      if (bit_count != 16 && bit_count != 32) return std::nullopt;
      break;
    case kJpeg:
    case kPng:
      break;
    default:
      return std::nullopt;
  }

  std::uint64_t table = colours_used;
  if (bit_count >= 1 && bit_count <= 8) {
    const std::uint32_t most = 1u << bit_count;
    if (colours_used > most) return std::nullopt;
    if (colours_used == 0) table = most;
  } else if (colours_used > 256) {
    return std::nullopt;
  }
  std::uint64_t size = header_size + 4 * table;
  if (compression == kBitFields && header_size == kInfoHeaderSize) size += 12;  // the three colour masks
  if (!info.Holds(0, size)) return std::nullopt;
  return size;
}

bool HoldsPixels(MetafileFields info, MetafileFields bits) {
  const std::uint32_t compression = info.U32(16);
  if (compression == kJpeg || compression == kPng) return bits.Size() > 0;
  const std::int32_t height = info.I32(8);
  const std::uint64_t rows = height < 0 ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(height))
                                        : static_cast<std::uint64_t>(height);
  const std::uint64_t stride = (static_cast<std::uint64_t>(info.I32(4)) * info.U16(14) + 31) / 32 * 4;
  return bits.Holds(0, stride * rows);
}

}  // namespace

bool IsSoundDib(MetafileFields info, MetafileFields bits) {
  return InfoSize(info).has_value() && HoldsPixels(info, bits);
}

bool IsSoundPackedDib(MetafileFields dib) {
  const std::optional<std::uint64_t> info_size = InfoSize(dib);
  if (!info_size) return false;
  return HoldsPixels(dib, dib.Slice(*info_size, dib.Size() - *info_size));
}

}  // namespace salvorine
