#include "preview/metafile_decoders.h"

#include "preview/metafile_emf_records.h"
#include "preview/metafile_svg_conversions.h"
#include "preview/metafile_svg_image.h"
#include "preview/metafile_wmf_records.h"

namespace salvorine {
namespace {

QByteArray ToByteArray(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

QImage DecodeEmf(const std::string& path, std::span<const unsigned char> bytes) {
  return RenderMetafileSvg(path, ToByteArray(EmfToSvg(path, SoundEmfRecords(path, bytes))));
}

QImage DecodeWmf(const std::string& path, std::span<const unsigned char> bytes) {
  return RenderMetafileSvg(path, ToByteArray(WmfToSvg(path, SoundWmfRecords(path, bytes), kMaxMetafileSide)));
}

}  // namespace salvorine
