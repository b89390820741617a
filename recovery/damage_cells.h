#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "recovery/rescue_map.h"

namespace salvorine {

// What a cell of the damage map shows, from the least to the most alarming.
enum class CellShade {
  kFinished,  // every byte read and written
  kUntried,   // some byte not tried yet, none failed
  kBad,       // some byte failed to read
  kReading,   // the read in progress covers part of it
};

// One cell of a file's damage map: an equal share of its bytes and how many
// of them are in each state.
struct DamageCell {
  std::int64_t start = 0;
  std::int64_t end = 0;  // start < end
  std::array<std::int64_t, 3> bytes{};  // indexed by RescueState; sums to end - start
  bool reading = false;

  std::int64_t BytesIn(RescueState state) const { return bytes[static_cast<std::size_t>(state)]; }
  CellShade Shade() const;
};

// Cuts [0, size) into `count` cells (fewer when the file has fewer bytes),
// cell i covering [size * i / count, size * (i + 1) / count), and sums the
// bytes of `segments` (in file order, covering [0, size)) per cell in one
// sweep: the cost is segments + cells, whatever the file's size. The cells
// that overlap [reading_start, reading_end) are marked as being read.
std::vector<DamageCell> DamageCells(const std::vector<RescueMap::Segment>& segments, std::int64_t size, int count,
                                    std::int64_t reading_start = 0, std::int64_t reading_end = 0);

}  // namespace salvorine
