#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace salvorine {

struct TextStyle {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  int half_points = 24;    // \fsN: font size in half-points
  std::string font;        // family name from the font table, UTF-8; empty when unknown
  std::uint32_t color = 0; // 0xRRGGBB from the colour table, when has_color
  bool has_color = false;  // false: automatic colour

  bool operator==(const TextStyle&) const = default;
};

// Text of one style. A line break inside a paragraph (\line) is a '\n' in
// `text`, a tab is '\t'.
struct TextRun {
  std::string text;  // UTF-8
  TextStyle style;
};

// Neighbouring runs of a paragraph always differ in style.
struct Paragraph {
  std::vector<TextRun> runs;
};

struct RichDocument {
  std::vector<Paragraph> paragraphs;
};

// True when `bytes` starts as an RTF document does ("{\rtf").
bool LooksLikeRtf(std::string_view bytes);

// The visible text of an RTF document with its character formatting.
// Damaged input is read as far as it makes sense: unreadable bytes are
// skipped, a truncated document yields what came before the cut, and groups
// nested deeper than 512 are skipped. Runs in time linear in the input.
RichDocument ReadRtf(std::string_view bytes);

}  // namespace salvorine
