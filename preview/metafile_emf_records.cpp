#include "preview/metafile_emf_records.h"

#include <cstdint>

#include "preview/metafile_dib_check.h"
#include "preview/metafile_fields.h"
#include "preview/picture_error.h"

namespace salvorine {
namespace {

using std::uint32_t;
using std::uint64_t;

constexpr uint32_t kHeaderType = 1;
constexpr uint32_t kEofType = 14;
constexpr uint32_t kHeaderSize = 88;
constexpr uint32_t kEmfSignature = 0x464D4520;  // " EMF"
constexpr uint32_t kEofSize = 20;

enum class Verdict { kKeep, kDrop, kStop };

// Text given as glyph indices of some font: to draw it, libemf2svg looks the
// font up and then finalizes fontconfig for the whole process, pulling the
// fonts from under Qt, which later aborts. Such text is left out.
constexpr uint32_t kGlyphIndexText = 0x10;  // ETO_GLYPH_INDEX

// Fixed part of each record type the converter draws or tracks, in bytes;
// 0 for types it does not know.
uint32_t MinimumSize(uint32_t type) {
  switch (type) {
    case 28: case 33: case 52: case 59: case 60: case 61: case 65: case 66: case 68: case 70:
      return 8;
    case 16: case 17: case 18: case 19: case 20: case 21: case 22: case 24: case 25: case 34: case 37:
    case 40: case 48: case 57: case 58: case 67: case 98: case 100: case 101: case 115:
      return 12;
    case 9: case 10: case 11: case 12: case 13: case 26: case 27: case 49: case 51: case 54:
      return 16;
    case 14: case 15: case 50:
      return 20;
    case 29: case 30: case 31: case 32: case 39: case 42: case 43: case 53: case 62: case 63: case 64:
      return 24;
    case 2: case 3: case 4: case 5: case 6: case 38: case 41: case 56: case 73: case 74: case 85: case 86:
    case 87: case 88: case 89: case 92:
      return 28;
    case 7: case 8: case 23: case 35: case 44: case 71: case 90: case 91: case 93: case 94:
      return 32;
    case 36: case 108:
      return 36;
    case 45: case 46: case 47: case 55: case 72:
      return 40;
    case 104:
      return 48;
    case 95:
      return 52;
    case 83: case 84:
      return 60;
    case 80:
      return 76;
    case 81:
      return 80;
    case 76:
      return 100;
    case 82:
      return 104;
    case 77: case 114: case 116:
      return 108;
    case 78:
      return 128;
    case 79:
      return 140;
    case 75:
      return 16;
    default:
      return 0;
  }
}

// `count` points of `point_size` bytes each, starting at `at`.
bool HoldsPoints(MetafileFields record, uint64_t at, uint64_t count, uint64_t point_size) {
  return record.Holds(at, count * point_size);
}

// Poly-polylines and poly-polygons: polygon count, point count, the points of
// each polygon, then the points.
bool IsSoundPolyPoly(MetafileFields record, uint64_t point_size) {
  const uint64_t polygons = record.U32(24);
  const uint64_t points = record.U32(28);
  if (!record.Holds(32, 4 * polygons + point_size * points)) return false;
  uint64_t listed = 0;
  for (uint64_t index = 0; index < polygons; ++index) listed += record.U32(32 + 4 * index);
  return listed <= points;
}

// A RGNDATA of `size_at` bytes at `data_at`: a 32-byte header, then its rectangles.
bool IsSoundRegion(MetafileFields record, uint64_t size_at, uint64_t data_at, bool may_be_empty) {
  const uint64_t size = record.U32(size_at);
  if (size == 0) return may_be_empty;
  if (size < 32 || !record.Holds(data_at, size)) return false;
  return 32 + 16 * static_cast<uint64_t>(record.U32(data_at + 8)) <= size;
}

bool IsSoundExtTextOut(MetafileFields record, uint64_t char_size) {
  const uint64_t chars = record.U32(44);
  const uint32_t options = record.U32(52);
  const bool has_rectangle = (options & 0x100) == 0;  // ETO_NO_RECT
  const uint64_t dx_at = has_rectangle ? 72 : 56;
  if (!record.Holds(dx_at, 4)) return false;
  if (chars > 0 && !record.Holds(record.U32(48), chars * char_size)) return false;
  const uint64_t dx_offset = record.U32(dx_at);
  const uint64_t dx_size = (options & 0x2000) ? 8 : 4;  // ETO_PDY: x and y per character
  return dx_offset == 0 || record.Holds(dx_offset, chars * dx_size);
}

bool IsSoundSmallTextOut(MetafileFields record) {
  const uint64_t chars = record.U32(16);
  const uint32_t options = record.U32(20);
  const uint64_t text_at = (options & 0x100) ? 36 : 52;  // ETO_NO_RECT
  const uint64_t char_size = (options & 0x200) ? 1 : 2;  // ETO_SMALL_CHARS
  return record.Holds(text_at, chars * char_size);
}

// A bitmap described by offset/size pairs at `fields_at`: header offset, header
// size, pixel offset, pixel size. Absent bitmaps are fine.
bool IsSoundBitmap(MetafileFields record, uint64_t fields_at) {
  const uint64_t info_at = record.U32(fields_at), info_size = record.U32(fields_at + 4);
  const uint64_t bits_at = record.U32(fields_at + 8), bits_size = record.U32(fields_at + 12);
  if (info_size == 0 && bits_size == 0) return true;
  if (!record.Holds(info_at, info_size) || !record.Holds(bits_at, bits_size)) return false;
  return IsSoundDib(record.Slice(info_at, info_size), record.Slice(bits_at, bits_size));
}

Verdict Check(MetafileFields record, uint32_t type) {
  const uint32_t minimum = MinimumSize(type);
  if (minimum == 0 || record.Size() < minimum) return Verdict::kStop;
  const auto keep_if = [](bool sound) { return sound ? Verdict::kKeep : Verdict::kStop; };
  const auto drop_unless = [](bool sound) { return sound ? Verdict::kKeep : Verdict::kDrop; };
  switch (type) {
    case 2: case 3: case 4: case 5: case 6:
      return keep_if(HoldsPoints(record, 28, record.U32(24), 8));
    case 85: case 86: case 87: case 88: case 89:
      return keep_if(HoldsPoints(record, 28, record.U32(24), 4));
    case 56:
      return keep_if(HoldsPoints(record, 28, record.U32(24), 9));
    case 92:
      return keep_if(HoldsPoints(record, 28, record.U32(24), 5));
    case 7: case 8:
      return keep_if(IsSoundPolyPoly(record, 8));
    case 90: case 91:
      return keep_if(IsSoundPolyPoly(record, 4));
    case 49:
      return keep_if(HoldsPoints(record, 16, record.U16(14), 4));
    case 50:
      return keep_if(HoldsPoints(record, 20, record.U32(16), 4));
    case 70:  // comments: private data and EMF+ records, which are not drawn
      return Verdict::kDrop;
    case 71:
      return keep_if(IsSoundRegion(record, 24, 32, false));
    case 72:
      return keep_if(IsSoundRegion(record, 24, 40, false));
    case 73: case 74:
      return keep_if(IsSoundRegion(record, 24, 28, false));
    case 75:
      return keep_if(IsSoundRegion(record, 8, 16, true));
    case 83:
    case 84:
      if (!IsSoundExtTextOut(record, type == 83 ? 1 : 2)) return Verdict::kStop;
      return (record.U32(52) & kGlyphIndexText) ? Verdict::kDrop : Verdict::kKeep;
    case 108:
      if (!IsSoundSmallTextOut(record)) return Verdict::kStop;
      return (record.U32(20) & kGlyphIndexText) ? Verdict::kDrop : Verdict::kKeep;
    case 95:
      if (!HoldsPoints(record, 52, record.U32(48), 4)) return Verdict::kStop;
      return drop_unless(IsSoundBitmap(record, 12));
    case 93: case 94:
      return drop_unless(IsSoundBitmap(record, 16));
    case 76: case 77: case 114: case 116:
      return drop_unless(IsSoundBitmap(record, 84));
    case 78:
      return drop_unless(IsSoundBitmap(record, 84) && IsSoundBitmap(record, 112));
    case 79:
      return drop_unless(IsSoundBitmap(record, 96) && IsSoundBitmap(record, 124));
    case 80: case 81:
      return drop_unless(IsSoundBitmap(record, 48));
    default:
      return Verdict::kKeep;
  }
}

// A copy of the header record with description and pixel format references
// that point outside it cleared.
std::vector<unsigned char> CopyHeader(MetafileFields header) {
  std::vector<unsigned char> copy(header.Bytes().begin(), header.Bytes().end());
  if (!header.Holds(header.U32(64), 2ull * header.U32(60))) {
    PutU32(copy, 60, 0);
    PutU32(copy, 64, 0);
  }
  if (header.Size() >= 100 && !header.Holds(header.U32(92), header.U32(88))) {
    PutU32(copy, 88, 0);
    PutU32(copy, 92, 0);
  }
  return copy;
}

}  // namespace

std::vector<unsigned char> SoundEmfRecords(const std::string& path, std::span<const unsigned char> bytes) {
  const MetafileFields file(bytes);
  if (!file.Holds(0, kHeaderSize) || file.U32(0) != kHeaderType || file.U32(40) != kEmfSignature) {
    throw PictureError(path, "not an EMF file");
  }
  const uint32_t header_size = file.U32(4);
  if (header_size < kHeaderSize || header_size % 4 != 0 || !file.Holds(0, header_size)) {
    throw PictureError(path, "damaged EMF header");
  }

  std::vector<unsigned char> out = CopyHeader(file.Slice(0, header_size));
  uint32_t records = 1;
  for (uint64_t offset = header_size; file.Holds(offset, 8);) {
    const uint32_t type = file.U32(offset);
    const uint32_t size = file.U32(offset + 4);
    if (type == kEofType || type == kHeaderType || size < 8 || size % 4 != 0 || !file.Holds(offset, size)) break;
    const MetafileFields record = file.Slice(offset, size);
    const Verdict verdict = Check(record, type);
    if (verdict == Verdict::kStop) break;
    if (verdict == Verdict::kKeep) {
      out.insert(out.end(), record.Bytes().begin(), record.Bytes().end());
      ++records;
    }
    offset += size;
  }

  for (const uint32_t field : {kEofType, kEofSize, 0u, 16u, kEofSize}) AppendU32(out, field);
  ++records;
  PutU32(out, 48, static_cast<uint32_t>(out.size()));
  PutU32(out, 52, records);
  return out;
}

}  // namespace salvorine
