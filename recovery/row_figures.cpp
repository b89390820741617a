#include "recovery/row_figures.h"

#include <algorithm>

namespace salvorine {

std::int64_t UnreadBytes(const RowFigures& figures) {
  return std::max<std::int64_t>(0, figures.size - figures.recovered - figures.damaged);
}

}  // namespace salvorine
