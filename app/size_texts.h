#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "i18n/byte_units.h"

namespace salvorine {

// How the window shows a byte count in one language: in units a person
// reads ("1.8 KB") where it shows it, exactly ("1808 bytes") in a tooltip.
class SizeTexts {
 public:
  // English.
  SizeTexts();
  // The texts of `language_file`, English where it lacks them.
  explicit SizeTexts(const std::string& language_file);

  QString Readable(std::int64_t bytes) const;
  QString Exact(std::int64_t bytes) const;
  const ByteUnits& Units() const { return units_; }

 private:
  ByteUnits units_;
  std::string exact_;  // %1 with its counted word
};

}  // namespace salvorine
