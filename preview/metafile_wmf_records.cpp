#include "preview/metafile_wmf_records.h"

#include <algorithm>
#include <cstdint>

#include "preview/metafile_dib_check.h"
#include "preview/metafile_fields.h"
#include "preview/picture_error.h"

namespace salvorine {
namespace {

using std::uint16_t;
using std::uint32_t;
using std::uint64_t;

constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr uint64_t kPlaceableSize = 22;
constexpr uint64_t kHeaderSize = 18;
constexpr uint64_t kParameters = 6;  // record size (4 bytes) and function (2 bytes) come first

enum class Verdict { kKeep, kDrop, kHollowBrush, kStop };

// Whether a bitmap-drawing record carries a bitmap: the bitmap-less form has
// exactly the size that the high byte of its function number tells.
bool CarriesBitmap(MetafileFields record, uint16_t function) {
  return record.Size() != 2ull * ((function >> 8) + 3);
}

bool IsSoundPolyPolygon(MetafileFields record) {
  if (!record.Holds(kParameters, 2)) return false;
  const uint64_t polygons = record.U16(kParameters);
  if (!record.Holds(kParameters + 2, 2 * polygons)) return false;
  uint64_t points = 0;
  for (uint64_t index = 0; index < polygons; ++index) points += record.U16(kParameters + 2 + 2 * index);
  return record.Holds(kParameters + 2 + 2 * polygons, 4 * points);
}

bool IsSoundExtTextOut(MetafileFields record) {
  if (!record.Holds(kParameters, 8)) return false;
  const uint64_t length = record.U16(kParameters + 4);
  const uint16_t options = record.U16(kParameters + 6);
  const uint64_t rectangle = (options & 0x0006) ? 8 : 0;  // ETO_OPAQUE, ETO_CLIPPED
  return record.Holds(kParameters + 8 + rectangle, length);
}

// Records whose bitmap, a packed DIB, starts at `dib_at`.
Verdict BitmapVerdict(MetafileFields record, uint64_t dib_at) {
  if (!record.Holds(dib_at, 0)) return Verdict::kDrop;
  return IsSoundPackedDib(record.Slice(dib_at, record.Size() - dib_at)) ? Verdict::kKeep : Verdict::kDrop;
}

Verdict Check(MetafileFields record, uint16_t function) {
  const auto keep_if = [](bool sound) { return sound ? Verdict::kKeep : Verdict::kStop; };
  const auto holds = [&record](uint64_t length) { return record.Holds(kParameters, length); };
  const auto counted = [&record](uint64_t count_at, uint64_t item_size) {
    return record.Holds(count_at, 2) && record.Holds(count_at + 2, item_size * record.U16(count_at));
  };
  switch (function) {
    case 0x0324:  // POLYGON
    case 0x0325:  // POLYLINE
      return keep_if(counted(kParameters, 4));
    case 0x0538:  // POLYPOLYGON
      return keep_if(IsSoundPolyPolygon(record));
    case 0x0521:  // TEXTOUT: length, text padded to even, then the position
      return keep_if(holds(2) && record.Holds(kParameters + 2, (record.U16(kParameters) + 1ull) / 2 * 2 + 4));
    case 0x0A32:  // EXTTEXTOUT
      return keep_if(IsSoundExtTextOut(record));
    case 0x02FA:  // CREATEPENINDIRECT
      return keep_if(holds(10));
    case 0x02FC:  // CREATEBRUSHINDIRECT
      return keep_if(holds(8));
    case 0x02FB:  // CREATEFONTINDIRECT
      return keep_if(holds(18));
    case 0x00F7:  // CREATEPALETTE
    case 0x0037:  // SETPALENTRIES
    case 0x0436:  // ANIMATEPALETTE
      return keep_if(holds(2) && counted(kParameters + 2, 4));
    case 0x06FF:  // CREATEREGION
      return keep_if(holds(22));
    case 0x0626:  // ESCAPE
      return keep_if(holds(2) && counted(kParameters + 2, 1));
    case 0x0142:  // DIBCREATEPATTERNBRUSH: style, colour usage, bitmap
      return BitmapVerdict(record, kParameters + 4) == Verdict::kKeep ? Verdict::kKeep : Verdict::kHollowBrush;
    case 0x01F9:  // CREATEPATTERNBRUSH with an old device-dependent bitmap
      return Verdict::kHollowBrush;
    case 0x0F43:  // STRETCHDIB
      return BitmapVerdict(record, kParameters + 22);
    case 0x0D33:  // SETDIBTODEV
      return BitmapVerdict(record, kParameters + 18);
    case 0x0B41:  // DIBSTRETCHBLT
      return CarriesBitmap(record, function) ? BitmapVerdict(record, kParameters + 20) : keep_if(holds(22));
    case 0x0940:  // DIBBITBLT
      return CarriesBitmap(record, function) ? BitmapVerdict(record, kParameters + 16) : keep_if(holds(18));
    case 0x0922:  // BITBLT and STRETCHBLT with old device-dependent bitmaps
    case 0x0B23:
      return CarriesBitmap(record, function) ? Verdict::kDrop : Verdict::kKeep;
    default:
      return Verdict::kKeep;
  }
}

void AppendHollowBrush(std::vector<unsigned char>& out) {
  AppendU32(out, 7);
  AppendU16(out, 0x02FC);
  AppendU16(out, 1);  // BS_NULL
  AppendU32(out, 0);  // colour
  AppendU16(out, 0);  // hatch
}

// The XOR of the placeable header's first ten words.
uint16_t PlaceableChecksum(const std::vector<unsigned char>& out) {
  uint16_t sum = 0;
  for (std::size_t at = 0; at < 20; at += 2) sum ^= static_cast<uint16_t>(out[at] | out[at + 1] << 8);
  return sum;
}

}  // namespace

std::vector<unsigned char> SoundWmfRecords(const std::string& path, std::span<const unsigned char> bytes) {
  const MetafileFields file(bytes);
  std::vector<unsigned char> out;
  // Room for both headers at once; without it GCC 12 at -O3 warns that the
  // second insert reads past the first allocation (-Wstringop-overread), which
  // it cannot: both ranges are checked by Holds() before they are copied.
  out.reserve(std::min<std::size_t>(bytes.size(), kPlaceableSize + kHeaderSize));
  uint64_t offset = 0;
  if (file.Holds(0, 4) && file.U32(0) == kPlaceableKey) {
    if (!file.Holds(0, kPlaceableSize)) throw PictureError(path, "damaged WMF header");
    out.assign(bytes.begin(), bytes.begin() + kPlaceableSize);
    const uint16_t checksum = PlaceableChecksum(out);
    out[20] = static_cast<unsigned char>(checksum & 0xFF);
    out[21] = static_cast<unsigned char>(checksum >> 8);
    offset = kPlaceableSize;
  }
  if (!file.Holds(offset, kHeaderSize)) throw PictureError(path, "not a WMF file");
  const uint16_t type = file.U16(offset);
  if ((type != 1 && type != 2) || file.U16(offset + 2) != kHeaderSize / 2) {
    throw PictureError(path, "not a WMF file");
  }
  const std::size_t header_at = out.size();
  const MetafileFields header = file.Slice(offset, kHeaderSize);
  out.insert(out.end(), header.Bytes().begin(), header.Bytes().end());
  offset += kHeaderSize;

  uint32_t largest = 3;
  for (; file.Holds(offset, kParameters); ) {
    const uint64_t size = 2ull * file.U32(offset);
    const uint16_t function = file.U16(offset + 4);
    if (function == 0 || size < kParameters || !file.Holds(offset, size)) break;
    const MetafileFields record = file.Slice(offset, size);
    const Verdict verdict = Check(record, function);
    if (verdict == Verdict::kStop) break;
    if (verdict == Verdict::kKeep) {
      out.insert(out.end(), record.Bytes().begin(), record.Bytes().end());
      largest = std::max(largest, static_cast<uint32_t>(size / 2));
    } else if (verdict == Verdict::kHollowBrush) {
      AppendHollowBrush(out);
      largest = std::max(largest, 7u);
    }
    offset += size;
  }

  AppendU32(out, 3);
  AppendU16(out, 0);
  PutU32(out, header_at + 6, static_cast<uint32_t>((out.size() - header_at) / 2));
  PutU32(out, header_at + 12, largest);
  return out;
}

}  // namespace salvorine
