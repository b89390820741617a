#include "preview/rtf_reader.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <unordered_map>
#include <utility>

#include "preview/code_pages.h"

namespace salvorine {
namespace {

constexpr std::size_t kMaxDepth = 512;
constexpr int kDefaultHalfPoints = 24;
constexpr int kMaxHalfPoints = 3276;  // 1638 pt, the largest size word processors offer
constexpr long long kMaxParameter = 0x7FFFFFFF;

enum class Destination : std::uint8_t { kText, kSkip, kFontTable, kColorTable };

// What one group knows; a closing brace brings back the enclosing group's.
struct GroupState {
  Destination destination = Destination::kText;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool hidden = false;
  int half_points = kDefaultHalfPoints;
  int font = -1;  // index into the font table; negative: the default font (\deff)
  int color = 0;  // index into the colour table; 0 is automatic
  int unicode_skip = 1;  // \ucN: fallback characters that follow each \uN
};

struct Font {
  std::string name;
  int code_page = 0;  // 0: the document's
};

// Words up to kColor change how text looks or decodes.
enum class Word : std::uint8_t {
  kCodePage,  // \ansi, \mac, \pc, \pca: a fixed code page, in `value`
  kAnsiCodePage,
  kBold,
  kItalic,
  kUnderline,
  kUnderlineNone,
  kHidden,
  kPlain,
  kFontSize,
  kFont,
  kFontCharset,
  kDefaultFont,
  kColor,
  kRed,
  kGreen,
  kBlue,
  kFontTable,
  kColorTable,
  kSkipDestination,
  kParagraph,
  kRow,
  kCharacter,  // stands for the one character in `value`
  kUnicode,
  kUnicodeSkip,
};

struct Keyword {
  std::string_view name;
  Word word;
  char32_t value = 0;
};

// Sorted by name for binary search. Destinations that hold no text the
// preview shows (pictures, objects, document properties, headers, field
// instructions, ...) are skipped with everything inside them.
constexpr std::array kKeywords = {
    Keyword{"aftncn", Word::kSkipDestination},
    Keyword{"aftnsep", Word::kSkipDestination},
    Keyword{"aftnsepc", Word::kSkipDestination},
    Keyword{"annotation", Word::kSkipDestination},
    Keyword{"ansi", Word::kCodePage, 1252},
    Keyword{"ansicpg", Word::kAnsiCodePage},
    Keyword{"atnauthor", Word::kSkipDestination},
    Keyword{"atnid", Word::kSkipDestination},
    Keyword{"b", Word::kBold},
    Keyword{"bkmkend", Word::kSkipDestination},
    Keyword{"bkmkstart", Word::kSkipDestination},
    Keyword{"blue", Word::kBlue},
    Keyword{"bullet", Word::kCharacter, U'\u2022'},
    Keyword{"cell", Word::kCharacter, U'\t'},
    Keyword{"cf", Word::kColor},
    Keyword{"colorschememapping", Word::kSkipDestination},
    Keyword{"colortbl", Word::kColorTable},
    Keyword{"comment", Word::kSkipDestination},
    Keyword{"datastore", Word::kSkipDestination},
    Keyword{"deff", Word::kDefaultFont},
    Keyword{"docvar", Word::kSkipDestination},
    Keyword{"emdash", Word::kCharacter, U'\u2014'},
    Keyword{"emspace", Word::kCharacter, U'\u2003'},
    Keyword{"endash", Word::kCharacter, U'\u2013'},
    Keyword{"enspace", Word::kCharacter, U'\u2002'},
    Keyword{"f", Word::kFont},
    Keyword{"falt", Word::kSkipDestination},
    Keyword{"fcharset", Word::kFontCharset},
    Keyword{"filetbl", Word::kSkipDestination},
    Keyword{"fldinst", Word::kSkipDestination},
    Keyword{"fontemb", Word::kSkipDestination},
    Keyword{"fontfile", Word::kSkipDestination},
    Keyword{"fonttbl", Word::kFontTable},
    Keyword{"footer", Word::kSkipDestination},
    Keyword{"footerf", Word::kSkipDestination},
    Keyword{"footerl", Word::kSkipDestination},
    Keyword{"footerr", Word::kSkipDestination},
    Keyword{"footnote", Word::kSkipDestination},
    Keyword{"fs", Word::kFontSize},
    Keyword{"ftncn", Word::kSkipDestination},
    Keyword{"ftnsep", Word::kSkipDestination},
    Keyword{"ftnsepc", Word::kSkipDestination},
    Keyword{"generator", Word::kSkipDestination},
    Keyword{"green", Word::kGreen},
    Keyword{"header", Word::kSkipDestination},
    Keyword{"headerf", Word::kSkipDestination},
    Keyword{"headerl", Word::kSkipDestination},
    Keyword{"headerr", Word::kSkipDestination},
    Keyword{"i", Word::kItalic},
    Keyword{"info", Word::kSkipDestination},
    Keyword{"latentstyles", Word::kSkipDestination},
    Keyword{"ldblquote", Word::kCharacter, U'\u201C'},
    Keyword{"line", Word::kCharacter, U'\n'},
    Keyword{"listoverridetable", Word::kSkipDestination},
    Keyword{"listtable", Word::kSkipDestination},
    Keyword{"lquote", Word::kCharacter, U'\u2018'},
    Keyword{"mac", Word::kCodePage, 10000},
    Keyword{"mmathPr", Word::kSkipDestination},
    Keyword{"nestcell", Word::kCharacter, U'\t'},
    Keyword{"nestrow", Word::kRow},
    Keyword{"nonshppict", Word::kSkipDestination},
    Keyword{"objdata", Word::kSkipDestination},
    Keyword{"object", Word::kSkipDestination},
    Keyword{"page", Word::kParagraph},
    Keyword{"panose", Word::kSkipDestination},
    Keyword{"par", Word::kParagraph},
    Keyword{"pc", Word::kCodePage, 437},
    Keyword{"pca", Word::kCodePage, 850},
    Keyword{"pgdsctbl", Word::kSkipDestination},
    Keyword{"pict", Word::kSkipDestination},
    Keyword{"plain", Word::kPlain},
    Keyword{"pn", Word::kSkipDestination},
    Keyword{"private", Word::kSkipDestination},
    Keyword{"qmspace", Word::kCharacter, U'\u2005'},
    Keyword{"rdblquote", Word::kCharacter, U'\u201D'},
    Keyword{"red", Word::kRed},
    Keyword{"revtbl", Word::kSkipDestination},
    Keyword{"row", Word::kRow},
    Keyword{"rquote", Word::kCharacter, U'\u2019'},
    Keyword{"rsidtbl", Word::kSkipDestination},
    Keyword{"sect", Word::kParagraph},
    Keyword{"stylesheet", Word::kSkipDestination},
    Keyword{"tab", Word::kCharacter, U'\t'},
    Keyword{"tc", Word::kSkipDestination},
    Keyword{"template", Word::kSkipDestination},
    Keyword{"themedata", Word::kSkipDestination},
    Keyword{"txe", Word::kSkipDestination},
    Keyword{"u", Word::kUnicode},
    Keyword{"uc", Word::kUnicodeSkip},
    Keyword{"ul", Word::kUnderline},
    Keyword{"uld", Word::kUnderline},
    Keyword{"uldash", Word::kUnderline},
    Keyword{"uldashd", Word::kUnderline},
    Keyword{"uldashdd", Word::kUnderline},
    Keyword{"uldb", Word::kUnderline},
    Keyword{"ulhwave", Word::kUnderline},
    Keyword{"ulldash", Word::kUnderline},
    Keyword{"ulnone", Word::kUnderlineNone},
    Keyword{"ulth", Word::kUnderline},
    Keyword{"ulthd", Word::kUnderline},
    Keyword{"ulthdash", Word::kUnderline},
    Keyword{"ulthdashd", Word::kUnderline},
    Keyword{"ulthdashdd", Word::kUnderline},
    Keyword{"ulthldash", Word::kUnderline},
    Keyword{"ululdbwave", Word::kUnderline},
    Keyword{"ulw", Word::kUnderline},
    Keyword{"ulwave", Word::kUnderline},
    Keyword{"userprops", Word::kSkipDestination},
    Keyword{"v", Word::kHidden},
    Keyword{"xe", Word::kSkipDestination},
    Keyword{"xmlnstbl", Word::kSkipDestination},
    Keyword{"zwj", Word::kCharacter, U'\u200D'},
    Keyword{"zwnj", Word::kCharacter, U'\u200C'},
};
static_assert(std::is_sorted(kKeywords.begin(), kKeywords.end(),
                             [](const Keyword& a, const Keyword& b) { return a.name < b.name; }));

const Keyword* FindKeyword(std::string_view name) {
  const auto* it = std::lower_bound(kKeywords.begin(), kKeywords.end(), name,
                                    [](const Keyword& k, std::string_view n) { return k.name < n; });
  return it != kKeywords.end() && it->name == name ? it : nullptr;
}

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Control characters carry nothing visible; tab and line break come from
// their own control words.
bool IsVisible(char32_t c) { return c >= 0x20 ? c != 0x7F : c == U'\t' || c == U'\n'; }

void TrimSpaces(std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) {
    s.clear();
    return;
  }
  s.erase(s.find_last_not_of(' ') + 1);
  s.erase(0, first);
}

class RtfParser {
 public:
  explicit RtfParser(std::string_view in) : in_(in) {}

  RichDocument Read() {
    while (pos_ < in_.size()) {
      const char c = in_[pos_++];
      switch (c) {
        case '{': OpenGroup(); break;
        case '}': CloseGroup(); break;
        case '\\': ReadControl(); break;
        case '\0': case '\r': case '\n': break;
        default: TextByte(static_cast<unsigned char>(c));
      }
    }
    FlushHighSurrogate();
    if (!paragraph_.runs.empty()) document_.paragraphs.push_back(std::move(paragraph_));
    return std::move(document_);
  }

 private:
  // Groups past the depth cap are only counted, so their contents cannot
  // touch the state of the group they sit in.
  void OpenGroup() {
    skip_ = 0;
    if (overflow_ > 0 || stack_.size() >= kMaxDepth) {
      ++overflow_;
      return;
    }
    stack_.push_back(state_);
  }

  void CloseGroup() {
    skip_ = 0;
    if (overflow_ > 0) {
      --overflow_;
      return;
    }
    if (stack_.empty()) return;
    const Destination closing = state_.destination;
    state_ = stack_.back();
    stack_.pop_back();
    if (closing == Destination::kFontTable) CommitFont();
    if (closing == Destination::kColorTable && color_started_) CommitColor();
    style_stale_ = true;
  }

  void ReadControl() {
    if (pos_ >= in_.size()) return;
    if (!IsLetter(in_[pos_])) {
      ControlSymbol(in_[pos_++]);
      return;
    }
    const std::size_t start = pos_;
    while (pos_ < in_.size() && IsLetter(in_[pos_])) ++pos_;
    const std::string_view name = in_.substr(start, pos_ - start);

    bool negative = false;
    if (pos_ + 1 < in_.size() && in_[pos_] == '-' && IsDigit(in_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    bool has_parameter = false;
    long long value = 0;
    while (pos_ < in_.size() && IsDigit(in_[pos_])) {
      has_parameter = true;
      value = std::min(value * 10 + (in_[pos_++] - '0'), kMaxParameter);
    }
    if (pos_ < in_.size() && in_[pos_] == ' ') ++pos_;
    const int parameter = static_cast<int>(negative ? -value : value);

    if (name == "bin") {  // binary data may hold any byte, braces included
      const std::size_t length = parameter > 0 ? static_cast<std::size_t>(parameter) : 0;
      pos_ += std::min(length, in_.size() - pos_);
    }
    if (overflow_ > 0 || Skipped()) return;
    ControlWord(name, has_parameter, parameter);
  }

  void ControlSymbol(char c) {
    char32_t character = 0;
    switch (c) {
      case '\'': {  // a broken escape drops the hex digit it has
        const int high = pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
        if (high < 0) return;
        const int low = ++pos_ < in_.size() ? HexValue(in_[pos_]) : -1;
        if (low < 0) return;
        ++pos_;
        TextByte(static_cast<unsigned char>(high * 16 + low));
        return;
      }
      case '*':
        if (overflow_ == 0) state_.destination = Destination::kSkip;
        return;
      case '\\': case '{': case '}': character = static_cast<unsigned char>(c); break;
      case '~': character = U'\u00A0'; break;
      case '_': character = U'\u2011'; break;
      case '\r': case '\n':
        if (!Skipped()) EndParagraph();
        return;
      default: break;  // \- (optional hyphen) and unknown symbols show nothing
    }
    if (Skipped() || character == 0) return;
    Emit(character);
  }

  // One character of text, plain or \'hh.
  void TextByte(unsigned char byte) {
    if (Skipped() || overflow_ > 0 || state_.destination == Destination::kSkip) return;
    const char32_t c = DecodeByte(state_.destination == Destination::kFontTable ? FontEntryPage() : TextPage(), byte);
    if (IsVisible(c) && c != U'\n') Emit(c);
  }

  // After \uN the next \ucN characters are the fallback for readers without
  // Unicode; any character or control counts as one, and a brace ends them.
  bool Skipped() {
    if (skip_ == 0) return false;
    --skip_;
    return true;
  }

  void ControlWord(std::string_view name, bool has_parameter, int parameter) {
    const Keyword* keyword = FindKeyword(name);
    if (keyword == nullptr) return;
    const bool on = !has_parameter || parameter != 0;
    switch (keyword->word) {
      case Word::kCodePage: document_code_page_ = static_cast<int>(keyword->value); break;
      case Word::kAnsiCodePage:
        if (parameter > 0) document_code_page_ = parameter;
        break;
      case Word::kBold: state_.bold = on; break;
      case Word::kItalic: state_.italic = on; break;
      case Word::kUnderline: state_.underline = on; break;
      case Word::kUnderlineNone: state_.underline = false; break;
      case Word::kHidden: state_.hidden = on; break;
      case Word::kPlain:
        state_.bold = state_.italic = state_.underline = state_.hidden = false;
        state_.half_points = kDefaultHalfPoints;
        state_.font = -1;
        state_.color = 0;
        break;
      case Word::kFontSize:
        state_.half_points = parameter > 0 ? std::min(parameter, kMaxHalfPoints) : kDefaultHalfPoints;
        break;
      case Word::kFont:
        if (state_.destination == Destination::kFontTable) {
          StartFont(parameter);
        } else {
          state_.font = parameter;
        }
        break;
      case Word::kFontCharset:
        if (state_.destination == Destination::kFontTable) font_entry_.code_page = CodePageOfCharset(parameter);
        break;
      case Word::kDefaultFont: default_font_ = parameter; break;
      case Word::kColor: state_.color = parameter; break;
      case Word::kRed: SetColorComponent(16, parameter); break;
      case Word::kGreen: SetColorComponent(8, parameter); break;
      case Word::kBlue: SetColorComponent(0, parameter); break;
      case Word::kFontTable:
        state_.destination = Destination::kFontTable;
        font_number_.reset();
        break;
      case Word::kColorTable:
        state_.destination = Destination::kColorTable;
        colors_.clear();
        color_ = 0;
        color_started_ = false;
        break;
      case Word::kSkipDestination: state_.destination = Destination::kSkip; break;
      case Word::kParagraph: EndParagraph(); break;
      case Word::kRow: EndRow(); break;
      case Word::kCharacter: Emit(keyword->value); break;
      case Word::kUnicode:
        if (has_parameter) UnicodeCharacter(parameter);
        skip_ = state_.unicode_skip;
        break;
      case Word::kUnicodeSkip: state_.unicode_skip = std::max(parameter, 0); break;
    }
    if (keyword->word <= Word::kColor) style_stale_ = true;
  }

  // \uN gives a UTF-16 code unit, negative above 32767.
  void UnicodeCharacter(int parameter) {
    const auto unit = static_cast<char16_t>(parameter < 0 ? parameter + 65536 : parameter);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      FlushHighSurrogate();
      if (InText()) high_surrogate_ = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF && high_surrogate_ != 0) {
      const char32_t c = 0x10000 + ((char32_t{high_surrogate_} - 0xD800) << 10) + (unit - 0xDC00u);
      high_surrogate_ = 0;
      Emit(c);
    } else if (unit >= 0x20 || unit == U'\t') {
      Emit(unit);
    }
  }

  void FlushHighSurrogate() {
    if (high_surrogate_ == 0) return;
    high_surrogate_ = 0;
    Emit(U'\uFFFD');
  }

  bool InText() const { return !stack_.empty() && overflow_ == 0 && state_.destination == Destination::kText; }

  void Emit(char32_t c) {
    if (stack_.empty() || overflow_ > 0) return;
    switch (state_.destination) {
      case Destination::kText:
        if (state_.hidden || !IsVisible(c)) return;
        if (high_surrogate_ != 0) FlushHighSurrogate();
        AppendUtf8(CurrentRun().text, c);
        return;
      case Destination::kFontTable:
        if (c == U';') {
          CommitFont();
        } else if (font_number_) {
          AppendUtf8(font_entry_.name, c);
        }
        return;
      case Destination::kColorTable:
        if (c == U';') CommitColor();
        return;
      case Destination::kSkip: return;
    }
  }

  void EndParagraph() {
    if (!InText()) return;
    FlushHighSurrogate();
    document_.paragraphs.push_back(std::move(paragraph_));
    paragraph_ = {};
    run_current_ = false;
  }

  // The last cell of a row ends with a tab that separates nothing.
  void EndRow() {
    if (!InText()) return;
    if (!paragraph_.runs.empty() && paragraph_.runs.back().text.ends_with('\t')) {
      paragraph_.runs.back().text.pop_back();
      if (paragraph_.runs.back().text.empty()) paragraph_.runs.pop_back();
      run_current_ = false;
    }
    EndParagraph();
  }

  TextRun& CurrentRun() {
    ResolveStyle();
    if (!run_current_) {
      if (paragraph_.runs.empty() || paragraph_.runs.back().style != style_) paragraph_.runs.push_back({{}, style_});
      run_current_ = true;
    }
    return paragraph_.runs.back();
  }

  // Recomputed only after a control word or brace, not for every character.
  void ResolveStyle() {
    if (!style_stale_) return;
    style_stale_ = false;
    run_current_ = false;
    style_.bold = state_.bold;
    style_.italic = state_.italic;
    style_.underline = state_.underline;
    style_.half_points = state_.half_points;
    const auto font = fonts_.find(state_.font >= 0 ? state_.font : default_font_);
    style_.font = font != fonts_.end() ? font->second.name : std::string();
    const int font_page = font != fonts_.end() ? font->second.code_page : 0;
    text_page_ = FindCodePage(font_page != 0 ? font_page : document_code_page_);
    const bool known = state_.color > 0 && static_cast<std::size_t>(state_.color) < colors_.size() &&
                       colors_[static_cast<std::size_t>(state_.color)].has_value();
    style_.has_color = known;
    style_.color = known ? *colors_[static_cast<std::size_t>(state_.color)] : 0;
  }

  const HighHalf* TextPage() {
    ResolveStyle();
    return text_page_;
  }

  const HighHalf* FontEntryPage() const {
    return FindCodePage(font_entry_.code_page != 0 ? font_entry_.code_page : document_code_page_);
  }

  void StartFont(int number) {
    CommitFont();
    font_number_ = number;
  }

  void CommitFont() {
    if (font_number_) {
      TrimSpaces(font_entry_.name);
      fonts_.insert_or_assign(*font_number_, std::move(font_entry_));
    }
    font_number_.reset();
    font_entry_ = {};
  }

  void SetColorComponent(int shift, int value) {
    if (state_.destination != Destination::kColorTable) return;
    const auto component = static_cast<std::uint32_t>(std::clamp(value, 0, 255));
    color_ = (color_ & ~(0xFFu << shift)) | (component << shift);
    color_started_ = true;
  }

  // An entry without components is the automatic colour.
  void CommitColor() {
    colors_.push_back(color_started_ ? std::optional<std::uint32_t>(color_) : std::nullopt);
    color_ = 0;
    color_started_ = false;
  }

  std::string_view in_;
  std::size_t pos_ = 0;
  std::vector<GroupState> stack_;
  GroupState state_;
  std::size_t overflow_ = 0;  // groups opened beyond kMaxDepth and not yet closed
  int skip_ = 0;
  char16_t high_surrogate_ = 0;

  int document_code_page_ = 1252;
  int default_font_ = 0;
  std::unordered_map<int, Font> fonts_;
  std::optional<int> font_number_;  // the font table entry being read
  Font font_entry_;
  std::vector<std::optional<std::uint32_t>> colors_;
  std::uint32_t color_ = 0;  // the colour table entry being read
  bool color_started_ = false;

  bool style_stale_ = true;
  bool run_current_ = false;  // the paragraph's last run has style_
  TextStyle style_;
  const HighHalf* text_page_ = nullptr;
  Paragraph paragraph_;
  RichDocument document_;
};

}  // namespace

bool LooksLikeRtf(std::string_view bytes) { return bytes.starts_with("{\\rtf"); }

RichDocument ReadRtf(std::string_view bytes) { return RtfParser(bytes).Read(); }

}  // namespace salvorine
