#include "i18n/plural_forms.h"

#include <vector>

namespace salvorine {
namespace {

std::vector<std::string_view> Split(std::string_view forms) {
  std::vector<std::string_view> parts;
  for (std::size_t bar; (bar = forms.find('|')) != std::string_view::npos; forms.remove_prefix(bar + 1)) {
    parts.push_back(forms.substr(0, bar));
  }
  parts.push_back(forms);
  return parts;
}

}  // namespace

int PluralFormIndex(std::int64_t count, int forms) {
  const std::int64_t n = count < 0 ? -count : count;
  if (forms <= 1) return 0;
  if (forms == 2) return n == 1 ? 0 : 1;
  const std::int64_t tens = n % 100, units = n % 10;
  if (units == 1 && tens != 11) return 0;
  if (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) return 1;
  return 2;
}

std::string WithPluralForms(std::string_view text, std::initializer_list<std::int64_t> counts) {
  std::string shown;
  shown.reserve(text.size());
  while (!text.empty()) {
    const std::size_t open = text.find('{');
    const std::size_t close = open == std::string_view::npos ? open : text.find('}', open);
    // "{N:" with N a count given; anything else is plain text.
    const bool group = close != std::string_view::npos && close - open >= 3 && text[open + 2] == ':' &&
                       text[open + 1] >= '1' && static_cast<std::size_t>(text[open + 1] - '0') <= counts.size();
    if (!group) {
      const std::size_t plain = open == std::string_view::npos ? text.size() : open + 1;
      shown.append(text.substr(0, plain));
      text.remove_prefix(plain);
      continue;
    }
    shown.append(text.substr(0, open));
    const std::int64_t count = counts.begin()[text[open + 1] - '1'];
    const std::vector<std::string_view> forms = Split(text.substr(open + 3, close - open - 3));
    shown.append(forms[static_cast<std::size_t>(PluralFormIndex(count, static_cast<int>(forms.size())))]);
    text.remove_prefix(close + 1);
  }
  return shown;
}

}  // namespace salvorine
