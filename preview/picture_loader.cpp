#include "preview/picture_loader.h"

#include <QImageReader>

#include "preview/jpeg_decoder.h"
#include "preview/metafile_decoders.h"
#include "preview/picture_file_bytes.h"
#include "preview/picture_qt_reader.h"

namespace salvorine {
namespace {

// Files read whole into memory before decoding. Metafiles get less room: their
// SVG and rendering take many times the file's size.
constexpr std::size_t kMaxJpegFileSize = 256u << 20;
constexpr std::size_t kMaxMetafileSize = 32u << 20;

// What follows the last dot of the file name, in lower case (ASCII only, so
// that no locale changes the answer).
std::string Extension(const std::string& path) {
  const std::size_t dot = path.rfind('.');
  const std::size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string extension = path.substr(dot + 1);
  for (char& letter : extension) {
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter - 'A' + 'a');
  }
  return extension;
}

// Formats Qt decodes itself, when the plugins that read them are installed.
bool QtReadsWithoutHelp(const std::string& extension) {
  static const char* const kFormats[] = {"png", "gif", "tif", "tiff", "webp"};
  for (const char* format : kFormats) {
    if (extension == format) return QImageReader::supportedImageFormats().contains(format);
  }
  return false;
}

}  // namespace

QImage LoadPicture(const std::string& path) {
  const std::string extension = Extension(path);
  if (extension == "bmp" || extension == "ico") return ReadWithQtReader(path, extension.c_str());
  if (QtReadsWithoutHelp(extension)) return ReadWithQtReader(path, extension.c_str());
  if (extension == "jpg" || extension == "jpeg") return DecodeJpeg(path, ReadPictureFile(path, kMaxJpegFileSize));
  if (extension == "emf") return DecodeEmf(path, ReadPictureFile(path, kMaxMetafileSize));
  if (extension == "wmf") return DecodeWmf(path, ReadPictureFile(path, kMaxMetafileSize));
  throw PictureError(path, extension.empty() ? "no extension that names a picture decoder"
                                             : "no picture decoder for ." + extension + " files");
}

}  // namespace salvorine
