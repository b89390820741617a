#pragma once

#include <cstdint>
#include <map>

namespace salvorine {

// How far apart the probes into unread stretches may lie, position by
// position: `coarse` everywhere until Refine narrows it where a small island
// of readable data showed that the damage there is finer than that.
class ProbeSpacing {
 public:
  explicit ProbeSpacing(std::int64_t coarse) : steps_{{0, coarse}} {}

  // Lowers the spacing over [start, end) to at most `spacing` (start >= 0).
  void Refine(std::int64_t start, std::int64_t end, std::int64_t spacing);
  // The smallest spacing anywhere in [start, end) (start < end).
  std::int64_t Over(std::int64_t start, std::int64_t end) const;

 private:
  std::int64_t At(std::int64_t position) const { return std::prev(steps_.upper_bound(position))->second; }

  // A step function: each key's spacing holds up to the next key.
  std::map<std::int64_t, std::int64_t> steps_;
};

}  // namespace salvorine
