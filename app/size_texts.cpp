#include "app/size_texts.h"

#include "i18n/extra_message.h"
#include "i18n/plural_forms.h"
#include "i18n/run_view_texts.h"
#include "widgets/text_bytes.h"

namespace salvorine {

// No language file: every text falls back to its English one.
SizeTexts::SizeTexts() : SizeTexts(std::string()) {}

SizeTexts::SizeTexts(const std::string& language_file)
    : units_(ByteUnitsFrom(language_file)),
      exact_(ExtraMessage(language_file, kExactBytesText.key, kExactBytesText.english)) {}

QString SizeTexts::Readable(std::int64_t bytes) const { return Shown(ReadableBytes(bytes, units_)); }

QString SizeTexts::Exact(std::int64_t bytes) const {
  return Shown(WithPluralForms(exact_, {bytes})).arg(bytes);
}

}  // namespace salvorine
