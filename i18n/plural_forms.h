#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace salvorine {

// Which of `forms` plural forms a count takes. Two forms follow English
// (one: 1; other), three follow Russian (one: 1, 21, 101; few: 2-4, 22-24;
// many: 0, 5-20, 25-30 and the teens); one form is used for every count.
int PluralFormIndex(std::int64_t count, int forms);

// `text` with each "{N:form|form...}" replaced by the form the count of %N
// (counts' N-th, from 1) takes, as a language file writes a word that agrees
// with a number: "%1 {1:file|files}". A group naming no count given is kept
// as written; a text without groups comes back unchanged.
std::string WithPluralForms(std::string_view text, std::initializer_list<std::int64_t> counts);

}  // namespace salvorine
