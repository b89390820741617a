#include "recovery/damage_cells.h"

#include <algorithm>

namespace salvorine {

CellShade DamageCell::Shade() const {
  if (reading) return CellShade::kReading;
  if (BytesIn(RescueState::kBad) > 0) return CellShade::kBad;
  if (BytesIn(RescueState::kUntried) > 0) return CellShade::kUntried;
  return CellShade::kFinished;
}

namespace {

// The first byte of cell `index` of `count` over `size` bytes, floor(size * index / count),
// computed in parts so that a huge file times many cells cannot overflow.
std::int64_t CellStart(std::int64_t size, std::int64_t count, std::int64_t index) {
  return size / count * index + size % count * index / count;
}

}  // namespace

std::vector<DamageCell> DamageCells(const std::vector<RescueMap::Segment>& segments, std::int64_t size, int count,
                                    std::int64_t reading_start, std::int64_t reading_end) {
  if (size <= 0 || count <= 0) return {};
  const std::int64_t cells = std::min<std::int64_t>(count, size);
  std::vector<DamageCell> result(static_cast<std::size_t>(cells));
  for (std::int64_t i = 0; i < cells; ++i) {
    DamageCell& cell = result[static_cast<std::size_t>(i)];
    cell.start = CellStart(size, cells, i);
    cell.end = CellStart(size, cells, i + 1);
    cell.reading = cell.start < reading_end && reading_start < cell.end;
  }
  // Segments come in file order, so the cell index only moves forward.
  std::size_t index = 0;
  for (const RescueMap::Segment& segment : segments) {
    const std::int64_t start = std::max<std::int64_t>(segment.start, 0);
    const std::int64_t end = std::min(segment.end, size);
    while (index < result.size() && result[index].end <= start) ++index;
    for (std::size_t i = index; i < result.size() && result[i].start < end; ++i) {
      DamageCell& cell = result[i];
      cell.bytes[static_cast<std::size_t>(segment.state)] += std::min(end, cell.end) - std::max(start, cell.start);
    }
  }
  return result;
}

}  // namespace salvorine
