#include "recovery/run_summary.h"

#include <vector>

#include "recovery/split_text.h"

namespace salvorine {
namespace {

// `text` with %1 and %2 replaced by `first` and `second`.
std::string WithValues(std::string text, const std::string& first, const std::string& second = {}) {
  if (const auto at = text.find("%1"); at != std::string::npos) text.replace(at, 2, first);
  if (const auto at = text.find("%2"); at != std::string::npos) text.replace(at, 2, second);
  return text;
}

}  // namespace

std::string ByteAmountText(std::int64_t bytes, const std::string& units) {
  const std::vector<std::string> names = SplitText(units, ',');
  std::size_t unit = 0;
  std::int64_t amount = bytes;
  while (amount >= 1000 && unit + 1 < names.size()) {
    amount /= 1000;
    ++unit;
  }
  return std::to_string(amount) + " " + names[unit];
}

std::string UnfinishedSummary(const JobTable& table, const MessageTable& messages) {
  int stopped = 0;
  int not_reached = 0;
  std::int64_t unread = 0;
  for (int row = 1; row < table.RowCount(); ++row) {
    const RowFigures& figures = table.Figures(row);
    if (figures.state == RowState::kStopped || figures.state == RowState::kSkipped) {
      ++stopped;
      unread += figures.unread;
    } else if (figures.state == RowState::kPending) {
      ++not_reached;
    }
  }
  std::string text;
  if (stopped > 0) {
    text = WithValues(messages.Text(kStoppedSummaryText), std::to_string(stopped),
                      ByteAmountText(unread, messages.Text(kByteUnitsText)));
  }
  if (not_reached > 0) {
    if (!text.empty()) text += "; ";
    text += WithValues(messages.Text(kNotReachedSummaryText), std::to_string(not_reached));
  }
  return text;
}

}  // namespace salvorine
