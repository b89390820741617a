#include "preview/metafile_wmf_svg_repair.h"

namespace salvorine {
namespace {

// libwmf ends the start tag of a text element with this, then writes the text
// and "</text>\n".
constexpr char kTextStart[] = "<text ";
constexpr char kTextContent[] = "\n\t>";
constexpr char kTextEnd[] = "</text>\n";
constexpr char kImageStart[] = "<image ";
constexpr char kImageTransform[] = "\ttransform=\"";

std::string EscapedLatin1(const std::string& text) {
  std::string escaped;
  for (const char letter : text) {
    const auto byte = static_cast<unsigned char>(letter);
    if (letter == '&') {
      escaped += "&amp;";
    } else if (letter == '<') {
      escaped += "&lt;";
    } else if (letter == '>') {
      escaped += "&gt;";
    } else if (byte < 0x20 && letter != '\t') {
      escaped += ' ';  // control characters are not allowed in XML
    } else if (byte >= 0x80) {
      escaped += static_cast<char>(0xC0 | byte >> 6);
      escaped += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      escaped += letter;
    }
  }
  return escaped;
}

void RepairTexts(std::string& svg) {
  for (std::size_t at = svg.find(kTextStart); at != std::string::npos; at = svg.find(kTextStart, at)) {
    const std::size_t content = svg.find(kTextContent, at);
    if (content == std::string::npos) return;
    const std::size_t first = content + sizeof kTextContent - 1;
    const std::size_t end = svg.find(kTextEnd, first);
    if (end == std::string::npos) return;
    const std::string escaped = EscapedLatin1(svg.substr(first, end - first));
    svg.replace(first, end - first, escaped);
    at = first + escaped.size() + sizeof kTextEnd - 1;
  }
}

void DropImageTransforms(std::string& svg) {
  for (std::size_t at = svg.find(kImageStart); at != std::string::npos; at = svg.find(kImageStart, at + 1)) {
    const std::size_t tag_end = svg.find('>', at);
    const std::size_t transform = svg.find(kImageTransform, at);
    if (transform == std::string::npos || transform > tag_end) continue;
    const std::size_t value_end = svg.find('"', transform + sizeof kImageTransform - 1);
    if (value_end == std::string::npos) return;
    svg.erase(transform, value_end + 1 - transform);
  }
}

}  // namespace

std::string RepairLibwmfSvg(std::string svg) {
  RepairTexts(svg);
  DropImageTransforms(svg);
  return svg;
}

}  // namespace salvorine
