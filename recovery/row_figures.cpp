#include "recovery/row_figures.h"

#include <algorithm>

namespace salvorine {

std::int64_t UnreadBytes(const RowFigures& figures, RowState state) {
  switch (state) {
    case RowState::kPending: return figures.size;
    case RowState::kStopped: return std::max<std::int64_t>(0, figures.size - figures.recovered - figures.damaged);
    default: return 0;
  }
}

}  // namespace salvorine
