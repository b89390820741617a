#include <emf2svg.h>

#include <cstdlib>
#include <memory>
#include <mutex>

#include "preview/metafile_svg_conversions.h"
#include "preview/picture_error.h"

namespace salvorine {
namespace {

// Zeros after the last record, so that a read past it by the converter finds
// a terminator instead of foreign memory.
constexpr std::size_t kPadding = 4096;

}  // namespace

std::string EmfToSvg(const std::string& path, const std::vector<unsigned char>& records) {
  std::vector<char> contents(records.begin(), records.end());
  contents.resize(records.size() + kPadding, '\0');

  generatorOptions options{};
  options.nameSpace = nullptr;  // plain <svg> elements, no prefix
  options.svgDelimiter = true;  // a whole document, with its <svg> root
  options.emfplus = false;      // comments, where EMF+ lives, are stripped anyway
  char* svg = nullptr;
  std::size_t svg_length = 0;
  int converted = 0;
  {
    // libemf2svg does not promise to be re-entrant.
    static std::mutex converter;
    const std::lock_guard lock(converter);
    converted = emf2svg(contents.data(), records.size(), &svg, &svg_length, &options);
  }
  const std::unique_ptr<char, decltype(&std::free)> owned(svg, &std::free);
  if (converted == 0 || svg == nullptr || svg_length == 0) throw PictureError(path, "the EMF converter failed");
  return std::string(svg, svg_length);
}

}  // namespace salvorine
