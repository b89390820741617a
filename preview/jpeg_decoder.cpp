#include "preview/jpeg_decoder.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <csetjmp>
#include <jpeglib.h>

#include <QColor>
#include <vector>

#include "preview/picture_error.h"

namespace salvorine {
namespace {

// Honest progressive files use a dozen scans or so; thousands of tiny scans,
// each one a full pass over the picture, would keep the preview busy for minutes.
constexpr int kMaxScans = 100;

// Everything one decoding touches. It lives outside the function that calls
// setjmp, so its values are well defined after a longjmp back there.
struct Decoding {
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  jpeg_progress_mgr progress{};
  std::jmp_buf jump{};
  char message[JMSG_LENGTH_MAX] = {};
  QImage image;
  std::vector<JSAMPLE> cmyk_row;
  bool cmyk_inverted = false;
  const JOCTET* scan_start = nullptr;  // the first byte after the first scan's header
  bool damaged_before_data = false;    // the first damage came before any picture data
};

Decoding& DecodingOf(j_common_ptr info) { return *static_cast<Decoding*>(info->client_data); }

// libjpeg's default handler exits the process; this one jumps back to RunDecoder.
[[noreturn]] void JumpOnError(j_common_ptr info) {
  Decoding& decoding = DecodingOf(info);
  (*info->err->format_message)(info, decoding.message);
  std::longjmp(decoding.jump, 1);
}

// Warnings (damaged data, premature end) are expected here; libjpeg still
// counts them, but nothing is printed.
void IgnoreMessage(j_common_ptr) {}

// Notes whether the first warning came before any picture data was read: then
// libjpeg fills the whole picture with grey and nothing of it is real.
void NoteWarning(j_common_ptr info, int level) {
  if (level >= 0) return;
  Decoding& decoding = DecodingOf(info);
  if (info->err->num_warnings++ > 0) return;
  const JOCTET* reached = reinterpret_cast<j_decompress_ptr>(info)->src->next_input_byte;
  decoding.damaged_before_data = decoding.scan_start != nullptr && reached <= decoding.scan_start;
}

void StopEndlessScans(j_common_ptr info) {
  auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
  if (decompress->input_scan_number <= kMaxScans) return;
  Decoding& decoding = DecodingOf(info);
  std::snprintf(decoding.message, sizeof decoding.message, "more than %d scans", kMaxScans);
  std::longjmp(decoding.jump, 1);
}

bool Fail(Decoding& decoding, const char* reason) {
  std::snprintf(decoding.message, sizeof decoding.message, "%s", reason);
  return false;
}

// Adobe's CMYK JPEGs store inverted inks; other writers store them plainly.
void CmykToRgb(const JSAMPLE* cmyk, uchar* rgb, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int channel = 0; channel < 3; ++channel) {
      const unsigned ink = inverted ? cmyk[channel] : 255u - cmyk[channel];
      rgb[channel] = static_cast<uchar>(ink * k / 255u);
    }
  }
}

// Runs libjpeg over `bytes`, filling decoding.image row by row. Returns false
// when it stopped on an error, which decoding.message then describes; the rows
// decoded before it stay in the image.
bool RunDecoder(Decoding& decoding, std::span<const unsigned char> bytes) {
  if (setjmp(decoding.jump) != 0) return false;

  jpeg_decompress_struct& info = decoding.info;
  jpeg_create_decompress(&info);  // clears every field but err and client_data
  info.progress = &decoding.progress;
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  decoding.scan_start = info.src->next_input_byte;

  const unsigned long long pixels = 1ull * info.image_width * info.image_height;
  if (info.image_width > kMaxJpegSide || info.image_height > kMaxJpegSide || pixels > kMaxJpegPixels) {
    std::snprintf(decoding.message, sizeof decoding.message, "picture too large (%ux%u)",
                  info.image_width, info.image_height);
    return false;
  }

  QImage::Format format = QImage::Format_RGB888;
  switch (info.jpeg_color_space) {
    case JCS_GRAYSCALE:
      info.out_color_space = JCS_GRAYSCALE;
      format = QImage::Format_Grayscale8;
      break;
    case JCS_CMYK:
    case JCS_YCCK:
      info.out_color_space = JCS_CMYK;
      decoding.cmyk_inverted = info.saw_Adobe_marker != 0;
      break;
    default:
      info.out_color_space = JCS_RGB;
      break;
  }

  jpeg_start_decompress(&info);
  if (info.out_color_space == JCS_CMYK) decoding.cmyk_row.resize(4ull * info.output_width);

  decoding.image = QImage(static_cast<int>(info.output_width), static_cast<int>(info.output_height), format);
  if (decoding.image.isNull()) return Fail(decoding, "not enough memory for the picture");
  decoding.image.fill(QColor(128, 128, 128));

  while (info.output_scanline < info.output_height) {
    uchar* line = decoding.image.scanLine(static_cast<int>(info.output_scanline));
    JSAMPROW row = decoding.cmyk_row.empty() ? line : decoding.cmyk_row.data();
    if (jpeg_read_scanlines(&info, &row, 1) != 1) return Fail(decoding, "decoder stalled");
    if (!decoding.cmyk_row.empty()) CmykToRgb(row, line, info.output_width, decoding.cmyk_inverted);
  }
  jpeg_finish_decompress(&info);
  return true;
}

}  // namespace

QImage DecodeJpeg(const std::string& path, std::span<const unsigned char> bytes) {
  Decoding decoding;
  decoding.info.err = jpeg_std_error(&decoding.errors);
  decoding.errors.error_exit = JumpOnError;
  decoding.errors.output_message = IgnoreMessage;
  decoding.errors.emit_message = NoteWarning;
  decoding.info.client_data = &decoding;
  decoding.progress.progress_monitor = StopEndlessScans;

  const bool finished = RunDecoder(decoding, bytes);
  const JDIMENSION rows = decoding.info.output_scanline;
  jpeg_destroy_decompress(&decoding.info);

  if (!finished && rows == 0) {
    throw PictureError(path, std::string("cannot decode JPEG: ") + decoding.message);
  }
  if (decoding.damaged_before_data) throw PictureError(path, "cannot decode JPEG: no picture data");
  return decoding.image;
}

}  // namespace salvorine
