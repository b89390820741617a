#include "recovery/damage_report.h"

namespace salvorine {

std::string EscapedField(const std::string& text) {
  std::string field;
  field.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '\t': field += "\\t"; break;
      case '\n': field += "\\n"; break;
      case '\r': field += "\\r"; break;
      case '\\': field += "\\\\"; break;
      default: field += c;
    }
  }
  return field;
}

std::string ReportText(const std::vector<ReportRow>& rows) {
  std::string text = "path\tsize\trecovered\tdamaged\tstate\tmap\texisting\n";
  for (const ReportRow& row : rows) {
    text += EscapedField(row.path) + "\t" + std::to_string(row.size) + "\t" + std::to_string(row.recovered) + "\t" +
            std::to_string(row.damaged) + "\t" + std::string(RowStateWord(row.state)) + "\t" +
            EscapedField(row.map_path) + "\t" + EscapedField(row.existing) + "\n";
  }
  return text;
}

}  // namespace salvorine
