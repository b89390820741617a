#include <libwmf/api.h>
#include <libwmf/svg.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "preview/metafile_svg_conversions.h"
#include "preview/metafile_wmf_svg_repair.h"
#include "preview/picture_error.h"

namespace salvorine {
namespace {

// The SVG libwmf writes for a metafile of bounded size stays far below this;
// more means a record loop gone wild.
constexpr std::size_t kMaxSvgBytes = 256u << 20;
// Scanning and playing the records of a sound file takes well under a second;
// this only cuts short pathological ones. libwmf checks it between records.
constexpr auto kMaxPlayTime = std::chrono::seconds(20);

// Where libwmf's SVG device writes, and what stops it early.
struct SvgOutput {
  std::string text;
  bool overflowed = false;
  std::chrono::steady_clock::time_point deadline;
  bool timed_out = false;
};

int AppendSvg(char* text, void* context) {
  auto* output = static_cast<SvgOutput*>(context);
  const std::size_t length = std::strlen(text);
  if (output->overflowed || output->text.size() + length > kMaxSvgBytes) {
    output->overflowed = true;
    return EOF;
  }
  try {
    output->text.append(text, length);
  } catch (const std::bad_alloc&) {
    output->overflowed = true;  // reported as an error once wmf_play returns
    return EOF;
  }
  return 0;
}

int ClearSvg(void* context) {
  static_cast<SvgOutput*>(context)->text.clear();
  return 0;
}

// Called by libwmf after each record; non-zero ends the play.
int StopWhenOverdue(void* context, float) {
  auto* output = static_cast<SvgOutput*>(context);
  output->timed_out = std::chrono::steady_clock::now() > output->deadline;
  return output->timed_out || output->overflowed ? 1 : 0;
}

// One libwmf instance, destroyed with all it allocated however decoding ends.
class WmfSession {
 public:
  explicit WmfSession(const std::string& path) {
    wmfAPI_Options options{};
    options.function = wmf_svg_function;
    // Failures become exceptions here; libwmf's own reports would only go to
    // stderr and stdout.
    const unsigned long flags =
        WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
    if (wmf_api_create(&api_, flags, &options) != wmf_E_None || api_ == nullptr) {
      throw PictureError(path, "cannot start the WMF converter");
    }
  }
  ~WmfSession() { wmf_api_destroy(api_); }
  WmfSession(const WmfSession&) = delete;
  WmfSession& operator=(const WmfSession&) = delete;

  wmfAPI* Get() const { return api_; }

 private:
  wmfAPI* api_ = nullptr;
};

// libwmf maps the extent of what the records draw (in points, for placeable
// files) onto the SVG's width and height. Keeps that extent's proportions, at
// 96 dpi, within `max_side`.
void DrawingSize(const wmfD_Rect& box, int max_side, unsigned& width, unsigned& height) {
  const double points_to_pixels = 96.0 / 72.0;
  const double w = (static_cast<double>(box.BR.x) - box.TL.x) * points_to_pixels;
  const double h = (static_cast<double>(box.BR.y) - box.TL.y) * points_to_pixels;
  const double scale = std::min(1.0, max_side / std::max(w, h));
  width = static_cast<unsigned>(std::max(1L, std::lround(w * scale)));
  height = static_cast<unsigned>(std::max(1L, std::lround(h * scale)));
}

std::string Convert(const std::string& path, std::vector<unsigned char>& records, int max_side) {
  const WmfSession session(path);
  wmfAPI* api = session.Get();
  if (wmf_mem_open(api, records.data(), static_cast<long>(records.size())) != wmf_E_None) {
    throw PictureError(path, "the WMF converter cannot read the records");
  }
  SvgOutput output;
  output.deadline = std::chrono::steady_clock::now() + kMaxPlayTime;
  wmf_status_function(api, &output, StopWhenOverdue);

  wmfD_Rect box{};
  if (wmf_scan(api, 0, &box) != wmf_E_None) {
    if (output.timed_out) throw PictureError(path, "the WMF drawing takes too long to convert");
    throw PictureError(path, "the WMF converter cannot lay out the drawing");
  }
  if (!(box.BR.x > box.TL.x) || !(box.BR.y > box.TL.y) || !std::isfinite(box.BR.x - box.TL.x) ||
      !std::isfinite(box.BR.y - box.TL.y)) {
    throw PictureError(path, "the WMF drawing is empty");
  }

  wmfStream stream{&output, AppendSvg, ClearSvg};
  wmf_svg_t* device = WMF_SVG_GetData(api);
  device->out = &stream;
  device->bbox = box;
  device->flags |= WMF_SVG_INLINE_IMAGES;
  DrawingSize(box, max_side, device->width, device->height);

  const wmf_error_t played = wmf_play(api, 0, &box);
  device->out = nullptr;
  if (output.timed_out) throw PictureError(path, "the WMF drawing takes too long to convert");
  if (output.overflowed) throw PictureError(path, "the WMF drawing converts to too much SVG");
  if (played != wmf_E_None) throw PictureError(path, "the WMF converter failed on the records");
  return RepairLibwmfSvg(std::move(output.text));
}

}  // namespace

std::string WmfToSvg(const std::string& path, const std::vector<unsigned char>& records, int max_side) {
  std::vector<unsigned char> copy = records;  // libwmf wants writable input, though it only reads
  // libwmf does not promise to be re-entrant.
  static std::mutex converter;
  const std::lock_guard lock(converter);
  return Convert(path, copy, max_side);
}

}  // namespace salvorine
