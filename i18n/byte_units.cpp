#include "i18n/byte_units.h"

#include "i18n/extra_message.h"
#include "i18n/failure_wording.h"

namespace salvorine {

ByteUnits ByteUnitsFrom(const std::string& language_file) {
  const auto text = [&language_file](int key, const char* english) {
    return ExtraMessage(language_file, key, english);
  };
  return {{text(220, "%1 B"), text(221, "%1 KB"), text(222, "%1 MB"), text(223, "%1 GB"), text(224, "%1 TB")},
          text(225, ".")};
}

std::string TenthsText(std::int64_t tenths, const std::string& decimal_mark) {
  return std::to_string(tenths / 10) + decimal_mark + std::to_string(tenths % 10);
}

std::string ReadableBytes(std::int64_t bytes, const ByteUnits& units) {
  if (bytes < 1000) return WithValue(units.units[0], std::to_string(bytes < 0 ? 0 : bytes));
  std::int64_t unit = 1000;
  for (std::size_t index = 1; index < units.units.size(); ++index, unit *= 1000) {
    // Rounded to tenths of the unit, then to whole ones; a figure that rounds to 1000 takes the next unit.
    const std::int64_t tenths = (bytes + unit / 20) / (unit / 10);
    if (tenths < 100) {
      const bool whole_unit = tenths % 10 == 0;
      return WithValue(units.units[index],
                       whole_unit ? std::to_string(tenths / 10) : TenthsText(tenths, units.decimal_mark));
    }
    const std::int64_t whole = (bytes + unit / 2) / unit;
    if (whole < 1000 || index + 1 == units.units.size()) return WithValue(units.units[index], std::to_string(whole));
  }
  return {};  // not reached: the largest unit takes any figure
}

}  // namespace salvorine
